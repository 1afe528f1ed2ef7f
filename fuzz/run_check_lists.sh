#!/usr/bin/env bash
# Fuzzes hashcalc-cli's check-list reader for SECONDS (default 60): `./dev.sh fuzz-lists` does
# the work.
# Usage: fuzz/run_check_lists.sh [SECONDS [CORPUS_DIR [LIBFUZZER_OPTION...]]]
exec "$(dirname "$0")/../dev.sh" fuzz-lists "$@"
