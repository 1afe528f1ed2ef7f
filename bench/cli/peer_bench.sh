# What the peer comparisons share, sourced by them: a check for the tools they need, one 1 GiB
# file of random bytes held in the page cache, and the best of several timed runs. The sourcing
# script sets `runs` (how many runs each figure is the best of) first.

# require_tools TOOL...: stops the script with a hint when one of them is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" > /dev/null || { echo "missing $tool (./dev.sh bench-cli installs it)" >&2; exit 1; }
  done
}

# make_one_gib_file: sets `work` (a folder removed when the script ends) and `file` (1 GiB of
# random bytes in it, read once so that it sits in the page cache).
make_one_gib_file() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/hashcalc-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  file=$work/one_gib
  head -c $((1 << 30)) /dev/urandom > "$file"
  cat "$file" > /dev/null
}

# best_time COMMAND...: "WALL CPU PEAK" of the run with the shortest wall time among $runs
# runs: its seconds, its processor seconds (user and system, all threads) and its peak memory
# in KiB. Processor time is the steadier figure when other work shares the machine.
best_time() {
  local record=$work/time best="" line
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S %M" -o "$record" "$@" > /dev/null
    line=$(awk '{ printf "%.2f %.2f %d", $1, $2 + $3, $4 }' "$record")
    if [ -z "$best" ] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best"
}
