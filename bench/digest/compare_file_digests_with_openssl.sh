#!/usr/bin/env bash
# Times SHA-512 and SHA3-256 on 1 MiB with file_digests_bench and `openssl speed -evp` (both
# measure processor time), taking the best of several alternating runs of each, and prints the
# time ratio ours / OpenSSL for every form; then the rates of CRC-32C and cksum. A shared
# machine makes single runs vary by a third: the best of five is what the figures mean.
# Usage: compare_file_digests_with_openssl.sh [path/to/file_digests_bench]   (a Release build)
set -euo pipefail
bench=${1:-build/bench/digest/file_digests_bench}
runs=${RUNS:-5}

# Bytes per second of one benchmark, best of one run of three repetitions.
ours_once() {
  local pattern
  pattern=$(printf '%s' "$1" | sed 's/[][\.*^$+?(){}|]/\\&/g')
  "$bench" --benchmark_filter="^$pattern\$" --benchmark_repetitions=3 --benchmark_min_time=0.5 \
           --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$1\"" '$1 == name && $6 + 0 > best { best = $6 + 0 }
                               END { printf "%.0f\n", best }'
}

theirs_once() {
  openssl speed -seconds 1 -evp "$1" -bytes 1048576 2>/dev/null |
    awk -v name="$1" '$1 == name { sub(/k$/, "", $2); printf "%.0f\n", $2 * 1000 }'
}

best() { sort -n | tail -1; }

compare() {
  local algorithm=$1 openssl_name=$2 forms form ours theirs
  forms=$("$bench" --benchmark_list_tests | grep "^File/$algorithm/")
  theirs=$(for _ in $(seq "$runs"); do theirs_once "$openssl_name"; done | best)
  for form in $forms; do
    ours=$(for _ in $(seq "$runs"); do ours_once "$form"; done | best)
    awk -v label="$form" -v ours="$ours" -v theirs="$theirs" 'BEGIN {
      printf "%-28s ours %7.1f MB/s   openssl %7.1f MB/s   time ratio %.2f\n",
             label, ours / 1e6, theirs / 1e6, theirs / ours }'
  done
}

compare SHA512 sha512
compare SHA3_256 sha3-256
for form in $("$bench" --benchmark_list_tests | grep -E '^File/(CRC32C|Cksum)/'); do
  rate=$(for _ in $(seq "$runs"); do ours_once "$form"; done | best)
  awk -v label="$form" -v rate="$rate" 'BEGIN { printf "%-28s %7.2f GB/s\n", label, rate / 1e9 }'
done
