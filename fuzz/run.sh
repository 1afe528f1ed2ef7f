#!/usr/bin/env bash
# Builds the module fuzz target with clang and runs it for SECONDS (default 60) on one core.
# Usage: fuzz/run.sh [SECONDS [CORPUS_DIR [LIBFUZZER_OPTION...]]]
# Without CORPUS_DIR it works on a throwaway copy of the seed modules; with one, the seeds are
# added to that folder and what the run finds stays there. Any sanitizer report stops the run
# (long runs that should go on past a finding pass -fork=1 -ignore_crashes=1).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
corpus=${2:-}
options=("${@:3}")
build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  -DHASHCALC_FUZZ=ON -DHASHCALC_WINDOW=OFF -DHASHCALC_TESTS=OFF -DHASHCALC_BENCHMARKS=OFF > /dev/null
cmake --build "$build" -j2 --target load_module_fuzzer
if [ -n "$corpus" ]; then
  work=$corpus
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
cp fuzz/corpus/*.xm "$work"/
mkdir -p "$build/fuzz-findings"
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
  "$build/fuzz/load_module_fuzzer" "$work" -max_total_time="$seconds" -max_len=16384 \
  -rss_limit_mb=2048 -timeout=30 -artifact_prefix="$build/fuzz-findings/" -print_final_stats=1 \
  ${options[@]+"${options[@]}"}
