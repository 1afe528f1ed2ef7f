#!/usr/bin/env bash
# Runs a Windows program under Wine for the build and the tests: run_under_wine.sh LOADER
# PROGRAM [ARGUMENT]...
#
# Debian's Wine has no preloader, and now and then a process dies in the loader before the
# program runs: it ends with a failure status and prints nothing. Such a start is made once
# more, with a note on standard error. A program that printed anything, or that succeeded,
# is never run again, so a real failure of the program is reported as it happened.
set -uo pipefail
loader=$1
shift

output=$(mktemp)
trap 'rm -f "$output"' EXIT

for attempt in 1 2; do
  "$loader" "$@" >"$output"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$output" ] || [ "$attempt" -eq 2 ]; then
    break
  fi
  echo "run_under_wine: $1 ended with status $status before printing anything;" \
       "starting it once more" >&2
done
cat "$output"
exit "$status"
