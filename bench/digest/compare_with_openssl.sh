#!/usr/bin/env bash
# Times our digests on 1 MiB with digest_bench and `openssl speed` in the same run, and prints
# each time ratio (ours / OpenSSL): the one-shot routines and the streams on their portable
# code against OpenSSL without its SHA instructions (the fair bar for scalar code), and the
# streams on the SHA instructions against OpenSSL as it runs by default. Then the three CRCs'
# rates on both paths. Timings are noisy on a shared machine: run it twice.
# Usage: compare_with_openssl.sh [path/to/digest_bench]   (a Release build)
set -euo pipefail
bench=${1:-build-bench/bench/digest/digest_bench}
seconds=${SECONDS_PER_RUN:-2}

# Bytes per second of one benchmark (the best of three runs). The one-shot routines follow the
# processor-specific switch, so they are timed with HASHCALC_NO_HARDWARE=1 (PORTABLE=1).
ours() {
  local name=$1 pattern
  pattern=$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|]/\\&/g')
  env ${PORTABLE:+HASHCALC_NO_HARDWARE=1} "$bench" --benchmark_filter="^$pattern\$" --benchmark_repetitions=3 \
           --benchmark_min_time="$seconds" --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$name\"" '$1 == name && $6 + 0 > best { best = $6 + 0 }
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
    printf "%-42s ours %7.1f MB/s   openssl %7.1f MB/s   time ratio %.2f\n",
           label, ours / 1e6, theirs / 1e6, theirs / ours }'
}

rate() {
  local name=$1
  awk -v label="$name" -v ours="$(ours "$name")" 'BEGIN {
    printf "%-42s %7.2f GB/s\n", label, ours / 1e9 }'
}

without_sha=':~0x20000000'
compare MD4/1048576 "MD4" md4 "" -provider legacy -provider default
compare MD5/1048576 "MD5" md5
compare RIPEMD160/1048576 "RIPEMD-160" ripemd160
PORTABLE=1 compare SHA1/1048576 "SHA-1 (no SHA instructions)" sha1 "$without_sha"
PORTABLE=1 compare SHA256/1048576 "SHA-256 (no SHA instructions)" sha256 "$without_sha"
compare Stream/MD4/portable "MD4 stream" md4 "" -provider legacy -provider default
compare Stream/MD5/portable "MD5 stream" md5
compare Stream/RIPEMD160/portable "RIPEMD-160 stream" ripemd160
compare Stream/SHA1/portable "SHA-1 stream (no SHA instructions)" sha1 "$without_sha"
compare Stream/SHA256/portable "SHA-256 stream (no SHA instructions)" sha256 "$without_sha"
if "$bench" --benchmark_list_tests | grep -q '^Stream/SHA1/hardware$'; then
  compare Stream/SHA1/hardware "SHA-1 stream (SHA instructions)" sha1
  compare Stream/SHA256/hardware "SHA-256 stream (SHA instructions)" sha256
fi
for crc in CRC16 CRC32 CRC32b; do
  rate "Stream/$crc/portable"
  if "$bench" --benchmark_list_tests | grep -q "^Stream/$crc/hardware\$"; then
    rate "Stream/$crc/hardware"
  fi
done
