#!/usr/bin/env bash
# Rewrites the golden traces in tests/sequencer/golden from the current sequencer.
# Usage: tests/sequencer/update_golden.sh [BUILD_DIR]   (default: build, configured as
# ./dev.sh configures it; another BUILD_DIR is used as it is configured)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ $# -ge 1 ] || (cd "$root" && cmake --preset dev > /dev/null)
cmake --build "$build" -j2 --target sequencer_tests
SEQUENCER_UPDATE_GOLDEN=1 "$build/tests/sequencer/sequencer_tests" \
  --gtest_filter='GoldenTraces.PurposeMadeSongsMatchTheirTraces'
git -C "$root" status --short tests/sequencer/golden
