#!/usr/bin/env bash
# Builds the check-list fuzz target of hashcalc-cli with clang and runs it for SECONDS
# (default 60) on one core, from the seed lists in fuzz/corpus/check_lists. CI runs it as is.
# Usage: fuzz/run_check_lists.sh [SECONDS [CORPUS_DIR [LIBFUZZER_OPTION...]]]
# Without CORPUS_DIR it works on a throwaway copy of the seeds; with one, the seeds are added to
# that folder and what the run finds stays there. Any sanitizer report or failed read-back
# stops the run, the input kept in build-fuzz-check-lists/fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
corpus=${2:-}
options=("${@:3}")
build=build-fuzz-check-lists
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  -DHASHCALC_FUZZ=ON -DHASHCALC_WINDOW=OFF -DHASHCALC_TESTS=OFF -DHASHCALC_BENCHMARKS=OFF > /dev/null
cmake --build "$build" -j2 --target check_list_fuzzer
if [ -n "$corpus" ]; then
  work=$corpus
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
cp fuzz/corpus/check_lists/* "$work"/
mkdir -p "$build/fuzz-findings"
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
  "$build/fuzz/check_list_fuzzer" "$work" -max_total_time="$seconds" -max_len=4096 \
  -rss_limit_mb=2048 -timeout=30 -artifact_prefix="$build/fuzz-findings/check_list_" \
  -print_final_stats=1 ${options[@]+"${options[@]}"}
