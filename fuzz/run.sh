#!/usr/bin/env bash
# Fuzzes the module loader and player for SECONDS (default 60): `./dev.sh fuzz` does the work.
# Usage: fuzz/run.sh [SECONDS [CORPUS_DIR [LIBFUZZER_OPTION...]]]
exec "$(dirname "$0")/../dev.sh" fuzz "$@"
