#!/usr/bin/env bash
# Times hashcalc-cli against openssl dgst and rhash on one 1 GiB file held in the page cache,
# all in one run so the ratios share the machine's load, and measures the peak memory of a
# 5 GiB sparse input. Each time is the best of RUNS runs (default 3).
# Usage: compare_with_peers.sh [path/to/hashcalc-cli]   (a Release or RelWithDebInfo build)
#   SKIP_MD2=1   leave out the run of all twelve, which MD2 makes last about two minutes
set -euo pipefail
cli=$(realpath "${1:-build/tools/hashcalc-cli/hashcalc-cli}")
runs=${RUNS:-3}
for tool in openssl rhash /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "missing $tool (./dev.sh bench-cli installs it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/hashcalc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/one_gib
head -c $((1 << 30)) /dev/urandom > "$file"
cat "$file" > /dev/null  # into the page cache

# Seconds of the fastest of $runs runs of a command; its output is discarded.
best_time() {
  local times="" start end
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    times="$times $start $end"
  done
  echo "$times" | awk '{ best = -1
    for (i = 1; i < NF; i += 2) if (best < 0 || $(i + 1) - $i < best) best = $(i + 1) - $i
    printf "%.3f", best }'
}

# compare LABEL TARGET -- OUR COMMAND -- THEIR COMMAND
compare() {
  local label=$1 target=$2 ours=() theirs=()
  shift 3
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  theirs=("$@")
  local our_time their_time
  our_time=$(best_time "${ours[@]}")
  their_time=$(best_time "${theirs[@]}")
  awk -v label="$label" -v ours="$our_time" -v theirs="$their_time" -v target="$target" 'BEGIN {
    ratio = ours / theirs
    printf "%-44s ours %6.2f s  theirs %6.2f s  ratio %.2f (target <= %s) %s\n",
           label, ours, theirs, ratio, target, ratio <= target ? "ok" : "MISSED" }'
}

echo "1 GiB in the page cache, best of $runs; ratio = our time / their time"
legacy=(-provider legacy -provider default)
compare "MD4 alone vs openssl dgst" 1.1 -- "$cli" -a md4 "$file" -- openssl dgst -md4 "${legacy[@]}" "$file"
for algorithm in md5 sha1 sha256 ripemd160; do
  compare "${algorithm^^} alone vs openssl dgst" 1.1 -- \
    "$cli" -a "$algorithm" "$file" -- openssl dgst "-$algorithm" "$file"
done
compare "six together vs rhash" 0.7 -- \
  "$cli" -a md4,md5,sha1,sha256,ripemd160,crc32 "$file" -- \
  rhash --md4 --md5 --sha1 --sha256 --ripemd160 --crc32 "$file"

rate() {  # LABEL COMMAND...: throughput on the 1 GiB file
  local label=$1 seconds
  shift
  seconds=$(best_time "$@")
  awk -v label="$label" -v s="$seconds" 'BEGIN {
    printf "%-44s %6.2f s  %7.1f MB/s\n", label, s, 1073741824 / s / 1e6 }'
}
for algorithm in crc16 crc32 crc32b; do
  rate "${algorithm^^} alone (target >= 2000 MB/s)" "$cli" -a "$algorithm" "$file"
done
rate "all but MD2 (eleven)" "$cli" -a md5,md4,sha0,sha1,sha256,ripemd128,ripemd160,ripemd256,crc16,crc32,crc32b "$file"
if [ -z "${SKIP_MD2:-}" ]; then
  runs=1 rate "all twelve (MD2 bounds it; one run)" "$cli" "$file"
fi

sparse=$work/five_gib
truncate -s 5G "$sparse"
peak=$(/usr/bin/time -f %M "$cli" -a md5,md4,sha1,sha256,ripemd160,crc32 "$sparse" 2>&1 >/dev/null | tail -1)
awk -v kib="$peak" 'BEGIN {
  printf "%-44s %6.1f MiB (target < 64 MiB) %s\n", "peak memory, 5 GiB sparse input", kib / 1024,
         kib < 65536 ? "ok" : "MISSED" }'
