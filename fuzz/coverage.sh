#!/usr/bin/env bash
# Line coverage of the sequencer, effects and mixer reached by a corpus of modules: builds the
# fuzz target with clang's source-based coverage, runs every module of CORPUS_DIR once and
# prints llvm-cov's line figures for those files.
# Usage: fuzz/coverage.sh CORPUS_DIR [CORPUS_DIR...]
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: fuzz/coverage.sh CORPUS_DIR..." >&2; exit 2; }
if ! command -v llvm-cov > /dev/null || ! command -v llvm-profdata > /dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends llvm > /dev/null
fi
build=build-coverage
cmake --preset coverage > /dev/null
cmake --build --preset coverage -j2 > /dev/null
profiles=$(mktemp -d)
trap 'rm -rf "$profiles"' EXIT
LLVM_PROFILE_FILE="$profiles/run.profraw" ASAN_OPTIONS=detect_leaks=0 \
  "$build/fuzz/load_module_fuzzer" -runs=0 "$@" > "$profiles/log.txt" 2>&1 \
  || { tail -20 "$profiles/log.txt"; exit 1; }
llvm-profdata merge -sparse "$profiles/run.profraw" -o "$profiles/merged.profdata"
llvm-cov report "$build/fuzz/load_module_fuzzer" -instr-profile="$profiles/merged.profdata" \
  player/effects.cpp player/sequencer.cpp player/mixer.cpp player/mix_kernels.cpp player/loader.cpp
