#!/usr/bin/env bash
# Runs two builds of hashcalc-cli on the same inputs and fails unless they print the same
# bytes (line endings aside) and exit alike: the published test texts, every length from 0 to
# 1100 bytes of a pattern covering all byte values, and a million 'a's. The Windows build is
# checked this way against the Linux one, which is itself checked against Crypto++.
# Usage: compare_cli_sweep.sh REFERENCE_CLI 'OTHER_CLI_COMMAND'   (the second may start with
# an emulator, e.g. 'wine64 hashcalc-cli.exe')
set -euo pipefail
# The inputs are made in a folder of their own: programs named by relative paths are found
# from where the script was started.
reference=$(realpath "$1")
read -r -a other <<< "$2"
for i in "${!other[@]}"; do
  [ -e "${other[$i]}" ] && other[$i]=$(realpath "${other[$i]}")
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 1100 bytes running through all 256 values, then every prefix of it as a file of its own.
for value in $(seq 0 255); do printf "\\$(printf '%03o' "$value")"; done > byte_values
for round in 1 2 3 4 5; do cat byte_values; done | head -c 1100 > pattern
inputs=()
for length in $(seq 0 1100); do
  name=$(printf 'len_%04d' "$length")
  head -c "$length" pattern > "$name"
  inputs+=("$name")
done
head -c 1000000 /dev/zero | tr '\0' 'a' > million_a
inputs+=(million_a)

texts=("" "a" "abc" "message digest" "abcdefghijklmnopqrstuvwxyz"
       "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"
       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
       "12345678901234567890123456789012345678901234567890123456789012345678901234567890"
       "The quick brown fox jumps over the lazy dog")

# Both programs get identical argument lists; several inputs per run where the tool takes
# them, one run per input otherwise.
runs=()
if "$reference" -s a -s b >/dev/null 2>&1; then
  arguments=()
  for text in "${texts[@]}"; do arguments+=(-s "$text"); done
  runs=("$(printf '%q ' "${arguments[@]}" "${inputs[@]}")")
else
  for text in "${texts[@]}"; do runs+=("-s $(printf '%q' "$text")"); done
  for input in "${inputs[@]}"; do runs+=("$input"); done
fi
# The rows beyond the window's twelve, which the tool computes only when -a names them.
if "$reference" -a sha512 -s a >/dev/null 2>&1; then
  further=sha224,sha384,sha512,sha512-256,sha3-224,sha3-256,sha3-384,sha3-512
  further+=,blake2b,blake2s,blake3,crc32c,cksum
  for run in "${runs[@]}"; do runs+=("-a $further $run"); done
fi

differences=0
for run in "${runs[@]}"; do
  eval "arguments=($run)"
  expected_status=0
  "$reference" "${arguments[@]}" > expected 2>/dev/null || expected_status=$?
  actual_status=0
  "${other[@]}" "${arguments[@]}" 2>/dev/null | tr -d '\r' > actual || actual_status=$?
  if [ "$expected_status" != "$actual_status" ] || ! cmp -s expected actual; then
    echo "differs for: ${run:0:200}" >&2
    diff expected actual | head -20 >&2 || true
    differences=$((differences + 1))
  fi
done
lines=$(wc -l < expected)
if [ "$differences" -ne 0 ]; then
  echo "compare_cli_sweep: $differences of ${#runs[@]} runs differ" >&2
  exit 1
fi
echo "compare_cli_sweep: ${#runs[@]} runs, ${#texts[@]} texts and ${#inputs[@]} files: identical output"
