#!/usr/bin/env bash
# Processor time (user + system) of our BLAKE2b and BLAKE3 beside b2sum and `b3sum
# --num-threads 1` on one file of random bytes held in the page cache, the best of three runs
# each, and the time ratio ours / theirs. Our side is blake_file, which reads the file in
# 64 KiB pieces as a file hasher does. Checks that both sides print the same digest. b3sum
# comes from the Debian package b3sum. Timings are noisy on a shared machine: run it twice.
# Usage: compare_blake.sh [MEGABYTES] [path/to/blake_file]
set -euo pipefail
megabytes=${1:-1024}
ours=${2:-build/bench/digest/blake_file}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((megabytes * 1048576)) /dev/urandom > "$work/data"
cat "$work/data" > /dev/null

# Seconds of processor time of the fastest of three runs of a command.
cpu_seconds() {
  local best="" spent
  for _ in 1 2 3; do
    spent=$( { /usr/bin/time -f '%U %S' "$@" > /dev/null; } 2>&1 | awk '{ print $1 + $2 }')
    if [ -z "$best" ] || awk -v s="$spent" -v b="$best" 'BEGIN { exit !(s < b) }'; then
      best=$spent
    fi
  done
  echo "$best"
}

compare() {
  local label=$1 algorithm=$2 target=$3
  shift 3
  local mine theirs
  mine=$("$ours" "$algorithm" "$work/data" | cut -d' ' -f1)
  theirs=$("$@" "$work/data" | cut -d' ' -f1)
  if [ "$mine" != "$theirs" ]; then
    echo "$label: digests differ: $mine against $theirs" >&2
    exit 1
  fi
  local our_time their_time
  our_time=$(cpu_seconds "$ours" "$algorithm" "$work/data")
  their_time=$(cpu_seconds "$@" "$work/data")
  awk -v label="$label" -v o="$our_time" -v t="$their_time" -v target="$target" 'BEGIN {
    printf "%-34s ours %6.2f s   theirs %6.2f s   ratio %.2f (target at most %s)\n",
           label, o, t, o / t, target }'
}

echo "$megabytes MiB, processor time:"
compare "BLAKE2b-512 against b2sum" blake2b 1.0 b2sum
compare "BLAKE3 against b3sum, one thread" blake3 1.2 b3sum --num-threads 1
