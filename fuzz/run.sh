#!/usr/bin/env bash
# Builds the module loader's fuzz target with clang and runs it for SECONDS (default 60)
# on a copy of the seed corpus. Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  -DHASHCALC_FUZZ=ON -DHASHCALC_WINDOW=OFF -DHASHCALC_TESTS=OFF -DHASHCALC_BENCHMARKS=OFF > /dev/null
cmake --build "$build" -j2 --target load_module_fuzzer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp fuzz/corpus/* "$work"/
mkdir -p "$build/fuzz-findings"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/fuzz/load_module_fuzzer" "$work" -max_total_time="$seconds" -max_len=8192 \
  -rss_limit_mb=2048 -artifact_prefix="$build/fuzz-findings/" -print_final_stats=1
