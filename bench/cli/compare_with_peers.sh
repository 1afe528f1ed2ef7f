#!/usr/bin/env bash
# Times hashcalc-cli against openssl dgst and rhash on one 1 GiB file held in the page cache,
# all in one run so the ratios share the machine's load, and measures the peak memory of a
# 5 GiB sparse input. Each time is the best of RUNS runs (default 3).
# Usage: compare_with_peers.sh [path/to/hashcalc-cli]   (a Release or RelWithDebInfo build)
#   SKIP_MD2=1   leave out the run of all twelve, which MD2 makes last about two minutes
set -euo pipefail
cli=$(realpath "${1:-build/cli/hashcalc-cli}")
runs=${RUNS:-3}
# shellcheck source=peer_bench.sh
source "$(dirname "$0")/peer_bench.sh"
require_tools openssl rhash /usr/bin/time
make_one_gib_file

# compare LABEL TARGET -- OUR COMMAND -- THEIR COMMAND
compare() {
  local label=$1 target=$2 ours=() theirs=()
  shift 3
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  theirs=("$@")
  local our_times their_times
  our_times=$(best_time "${ours[@]}")
  their_times=$(best_time "${theirs[@]}")
  awk -v label="$label" -v target="$target" -v ours="$our_times" -v theirs="$their_times" 'BEGIN {
    split(ours, o, " "); split(theirs, t, " "); ratio = o[1] / t[1]
    printf "%-34s ours %6.2f s (cpu %6.2f)  theirs %6.2f s (cpu %6.2f)  ratio %.2f (<= %s %s)\n",
           label, o[1], o[2], t[1], t[2], ratio, target, ratio <= target ? "ok" : "MISSED" }'
}

echo "1 GiB in the page cache, best of $runs runs; ratio = our wall time / theirs"
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
  local label=$1 times
  shift
  times=$(best_time "$@")
  awk -v label="$label" -v times="$times" 'BEGIN {
    split(times, t, " ")
    printf "%-34s %6.2f s (cpu %6.2f)  %7.1f MB/s\n", label, t[1], t[2], 1073741824 / t[1] / 1e6 }'
}
for algorithm in crc16 crc32 crc32b; do
  rate "${algorithm^^} alone" "$cli" -a "$algorithm" "$file"
done
# The checksums on 1 MiB in memory, from the digest benchmark when the build has it.
digest_bench=$(dirname "$cli")/../../bench/digest/digest_bench
if [ -x "$digest_bench" ]; then
  "$digest_bench" --benchmark_filter='^CRC(16|32|32b)/1048576$' --benchmark_format=csv \
      --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk -F, '$1 ~ /_median"$/ { gsub(/"/, "", $1); sub(/_median$/, "", $1)
      printf "%-34s %7.1f MB/s in memory (>= 2000 %s)\n", $1, $6 / 1e6, ($6 >= 2e9 ? "ok" : "MISSED") }'
fi
rate "all but MD2 (eleven)" "$cli" -a md5,md4,sha0,sha1,sha256,ripemd128,ripemd160,ripemd256,crc16,crc32,crc32b "$file"
if [ -z "${SKIP_MD2:-}" ]; then
  runs=1 rate "all twelve (MD2 bounds it; one run)" "$cli" "$file"
fi

sparse=$work/five_gib
truncate -s 5G "$sparse"
peak=$(/usr/bin/time -f %M "$cli" -a md5,md4,sha1,sha256,ripemd160,crc32 "$sparse" 2>&1 >/dev/null | tail -1)
awk -v kib="$peak" 'BEGIN {
  printf "%-34s %6.1f MiB (< 64 MiB %s)\n", "peak memory, 5 GiB sparse input", kib / 1024,
         kib < 65536 ? "ok" : "MISSED" }'
