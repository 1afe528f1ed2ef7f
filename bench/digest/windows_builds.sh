#!/usr/bin/env bash
# Digest speed of the Windows builds beside the Linux one, in the same run: each algorithm of
# hashcalc-cli over one file, for the Linux program, the x86_64 program under Wine and the
# i686 program under 32-bit Wine (where the machine can run it). Wine runs the programs' code
# natively, so the figures compare code generation, not emulation. The time of a run on an
# empty file (process and Wine start) is taken off. Prints MB/s per build.
# Usage: windows_builds.sh [MEGABYTES]   after ./dev.sh windows (uses build-windows/)
set -euo pipefail
cd "$(dirname "$0")/../.."
megabytes=${1:-64}
out=$PWD/build-windows
export WINEPREFIX=$out/wine-prefix WINEDEBUG=-all

declare -A command=(
  [linux]="$out/linux-cli/cli/hashcalc-cli"
  [x86_64]="/usr/lib/wine/wine64 $out/x86_64/cli/hashcalc-cli.exe"
  [i686]="wine $out/i686/cli/hashcalc-cli.exe")
builds=(linux x86_64)
/usr/lib/wine/wine --version >/dev/null 2>&1 && builds+=(i686)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((megabytes * 1048576)) /dev/urandom > "$work/data"
: > "$work/empty"

# Seconds of the fastest of three runs.
best_of_three() {
  local best="" start end elapsed
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v e="$elapsed" -v b="$best" 'BEGIN { exit !(e < b) }'; then
      best=$elapsed
    fi
  done
  echo "$best"
}

# One algorithm at a time where the tool can be told which; all twelve together otherwise.
algorithms=(md5 md2 md4 sha0 sha1 sha256 ripemd128 ripemd160 ripemd256 crc16 crc32 crc32b)
selector=(-a)
if ! "${command[linux]}" -a md5 "$work/empty" >/dev/null 2>&1; then
  algorithms=(all)
  selector=()
fi

printf '%-10s' "MB/s"
for build in "${builds[@]}"; do printf '%10s' "$build"; done
echo
for algorithm in "${algorithms[@]}"; do
  choice=()
  [ ${#selector[@]} -gt 0 ] && choice=("${selector[@]}" "$algorithm")
  printf '%-10s' "$algorithm"
  for build in "${builds[@]}"; do
    read -r -a program <<< "${command[$build]}"
    start_cost=$(best_of_three "${program[@]}" "${choice[@]}" "$work/empty")
    total=$(best_of_three "${program[@]}" "${choice[@]}" "$work/data")
    awk -v mb="$megabytes" -v t="$total" -v s="$start_cost" 'BEGIN { printf "%10.0f", mb * 1.048576 / (t - s) }'
  done
  echo
done
