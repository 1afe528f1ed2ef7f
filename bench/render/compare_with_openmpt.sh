#!/usr/bin/env bash
# Processor time of xmrender against openmpt123 on three real XM modules from a Debian game
# (8, 10 and 14 channels), 300 seconds each: both render 44100 Hz 16-bit stereo with linear
# interpolation into a new file. Prints the times, the ratio ours / openmpt123 per module and
# the median ratio; the target is 0.5 or less.
# Usage: bench/render/compare_with_openmpt.sh [REPEATS]   (default 3; the best run counts)
set -euo pipefail
cd "$(dirname "$0")/../.."
repeats=${1:-3}
seconds=300
modules_dir=/usr/share/games/heroes/mod
modules=(heroes01.xm heroes06.xm endscroll.xm)

need=()
[ -d "$modules_dir" ] || need+=(heroes-sound-tracks)
command -v openmpt123 > /dev/null || need+=(openmpt123)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" > /dev/null
fi

build=build-bench
cmake --preset bench > /dev/null
cmake --build --preset bench -j2 --target xmrender > /dev/null
xmrender=$build/xmrender/xmrender

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# cpu_seconds COMMAND...: user plus system time of the command, in seconds. Output goes to a
# file that does not exist yet, so that no run pays for discarding an earlier one.
cpu_seconds() {
  local times
  times=$( { TIMEFORMAT='%3U %3S'; time "$@" > /dev/null 2>&1; } 2>&1 )
  rm -f "$work"/out.*
  awk '{ printf "%.3f", $1 + $2 }' <<< "$times"
}

best() { tr ' ' '\n' | sort -g | head -n 1; }

printf '%-14s %9s %11s %7s\n' module ours openmpt123 ratio
ratios=()
for module in "${modules[@]}"; do
  path=$modules_dir/$module
  ours=()
  theirs=()
  for ((i = 0; i < repeats; i++)); do
    ours+=("$(cpu_seconds "$xmrender" "$path" "$work/out.wav" "$seconds")")
    theirs+=("$(cpu_seconds sh -c 'exec openmpt123 --quiet --batch --samplerate 44100 --no-float \
      --filter 2 --dither 0 --repeat -1 --end-time "$1" --stdout "$2" > "$3"' sh \
      "$seconds" "$path" "$work/out.raw")")
  done
  our_best=$(echo "${ours[@]}" | best)
  their_best=$(echo "${theirs[@]}" | best)
  ratio=$(awk -v a="$our_best" -v b="$their_best" 'BEGIN { printf "%.2f", a / b }')
  ratios+=("$ratio")
  printf '%-14s %8ss %10ss %7s\n' "$module" "$our_best" "$their_best" "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | sed -n "$(( (${#ratios[@]} + 1) / 2 ))p")
echo "median ratio (ours / openmpt123): $median"
