#!/usr/bin/env bash
# Times MD4, MD5, RIPEMD-160, SHA-1 and SHA-256 on 1 MiB with digest_bench and with
# `openssl speed` in the same run, and prints each time ratio (ours / OpenSSL). SHA-1 and
# SHA-256 are compared with OpenSSL's SHA instructions switched off, the fair bar for scalar
# code. Usage: compare_with_openssl.sh [path/to/digest_bench]   (a Release build)
set -euo pipefail
bench=${1:-build/bench/digest/digest_bench}
seconds=${SECONDS_PER_RUN:-2}

# Bytes per second of one of our routines on 1 MiB (the best of three runs).
ours() {
  "$bench" --benchmark_filter="^$1/1048576\$" --benchmark_repetitions=3 \
           --benchmark_min_time="$seconds" --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$1/1048576\"" '$1 == name && $6 + 0 > best { best = $6 + 0 }
                                        END { printf "%.0f", best }'
}

# Bytes per second of `openssl speed` on 1 MiB blocks: theirs ALGORITHM [IA32CAP [ARGS...]].
theirs() {
  local algorithm=$1 capabilities=${2:-}
  shift 2 || shift $#
  env ${capabilities:+OPENSSL_ia32cap=$capabilities} \
      openssl speed "$@" -seconds "$seconds" -evp "$algorithm" -bytes 1048576 2>/dev/null |
    awk -v name="$algorithm" '$1 == name { sub(/k$/, "", $2); printf "%.0f", $2 * 1000 }'
}

compare() {
  local ours_name=$1 label=$2 ours_rate theirs_rate
  shift 2
  ours_rate=$(ours "$ours_name")
  theirs_rate=$(theirs "$@")
  awk -v label="$label" -v ours="$ours_rate" -v theirs="$theirs_rate" 'BEGIN {
    printf "%-30s ours %7.1f MB/s   openssl %7.1f MB/s   time ratio %.2f\n",
           label, ours / 1e6, theirs / 1e6, theirs / ours }'
}

without_sha=':~0x20000000'
compare MD4 "MD4" md4 "" -provider legacy -provider default
compare MD5 "MD5" md5
compare RIPEMD160 "RIPEMD-160" ripemd160
compare SHA1 "SHA-1 (no SHA instructions)" sha1 "$without_sha"
compare SHA256 "SHA-256 (no SHA instructions)" sha256 "$without_sha"
