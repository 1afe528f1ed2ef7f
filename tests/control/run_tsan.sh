#!/usr/bin/env bash
# The player control tests under ThreadSanitizer: live playback with its pause, resume and
# stop, the start/pause/resume/stop stress run and the starts that fail part way, on SDL's
# dummy driver (the playback tests pick the disk driver for one case themselves). A race report, a hang (caught by the
# timeout) or a failed case fails the script.
#   tests/control/run_tsan.sh [build-dir]      (default: build-tsan at the top of the tree)
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build-tsan}

cmake -S . -B "$dir" -DHASHCALC_THREAD_SANITIZE=ON -DHASHCALC_WINDOW=OFF \
      -DHASHCALC_BENCHMARKS=OFF -DHASHCALC_WERROR=ON > /dev/null
cmake --build "$dir" -j2 --target control_tests control_stress_tests control_failure_tests

export SDL_AUDIODRIVER=dummy
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# The wall-time cases (RealTime.*) belong to the stress run, not to a sanitizer's.
for test in control_tests control_stress_tests control_failure_tests; do
  echo "== $test"
  timeout 240 "$dir/tests/control/$test" --gtest_filter='-RealTime.*'
done
