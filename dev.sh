#!/usr/bin/env bash
# One entry point for building, running, testing and checking on Debian 12. Each build folder
# is made from a preset of CMakePresets.json (`cmake --preset NAME` does the same by hand).
#   ./dev.sh run        install what is missing, build (build/), start the program
#   ./dev.sh test       install what is missing, build, run the whole test suite
#   ./dev.sh sanitize   the whole suite again under AddressSanitizer and UBSan (build-asan/)
#   ./dev.sh stress     the cases that assert on wall time, one at a time
#   ./dev.sh tsan       the player control tests under ThreadSanitizer (build-tsan/)
#   ./dev.sh fuzz [SECONDS [CORPUS_DIR [LIBFUZZER_OPTION...]]]
#                       fuzz the module loader and player with libFuzzer (build-fuzz/), 60 s by
#                       default; without CORPUS_DIR on a throwaway copy of fuzz/corpus, with one
#                       the seeds are added to it and what the run finds stays there
#   ./dev.sh fuzz-lists [SECONDS [CORPUS_DIR [LIBFUZZER_OPTION...]]]
#                       the same for hashcalc-cli's check-list reader (fuzz/corpus/check_lists)
#   ./dev.sh fuzz-all [SECONDS]  both fuzzers at once, a core each (60 s by default)
#   ./dev.sh soak [SECONDS]  drive the window under a private X server for SECONDS (600 by
#                       default): typing, pastes, files, About, compare, copy, music; digests
#                       checked against hashcalc-cli, memory, threads and open files bounded
#   ./dev.sh long       the 4 GiB cases the suite leaves out (digests, hashcalc-cli): minutes of
#                       work and gigabytes of disk, to run before closing work on those areas
#   ./dev.sh lint [CHECK...]  formatting (format: .clang-format), include circles (includes),
#                       clang-tidy (tidy: .clang-tidy; tidy-product: without tests/ and
#                       bench/) and the conversion warnings of build/ (conversions), or only
#                       the checks named; fails on any finding
#   ./dev.sh bench      build (build-bench/) and run the benchmarks
#   ./dev.sh bench-cli  hashcalc-cli against openssl dgst, rhash, b2sum and b3sum on a 1 GiB file
#   ./dev.sh package    build the Debian package (build-package/hashcalc_VERSION_ARCH.deb) and
#                       check it: lintian, desktop-file-validate, appstreamcli validate;
#                       `./dev.sh package FOLDER` packs an existing build folder as configured
#   ./dev.sh fresh-install  the package of `./dev.sh package build` installed into a fresh
#                       minimal Debian 12 and run there (needs root)
#   ./dev.sh i386       the portable code and its suites as 32-bit x86 programs, under qemu-i386
#   ./dev.sh windows    cross-build the Windows programs (i686, x86_64), test them under Wine
#   ./dev.sh windows-zip  the Windows release archives, in build-windows/
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake qt6-base-dev libsdl2-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcrypto++-dev clang libclang-rt-14-dev fonts-wine xvfb
          rhash cksfv openssl b3sum
          dbus-daemon at-spi2-core python3-gi gir1.2-atspi-2.0)
# rhash, cksfv, openssl and b3sum: hashcalc-cli's lists and digests are tested beside theirs.
# dbus-daemon, at-spi2-core, python3-gi and gir1.2-atspi-2.0: the window is tested as a screen
# reader meets it, over the accessibility bus.
# What building and checking the Debian package needs besides.
PACKAGE_TOOLS=(file dpkg-dev lintian desktop-file-utils appstream debootstrap)
# What ./dev.sh lint needs besides (run-clang-tidy comes with clang-tidy).
LINT_TOOLS=(clang-format clang-tidy ninja-build python3)
JOBS=$(nproc)

# install_missing [PACKAGE...]: the given packages, or the base list, whichever are missing.
install_missing() {
  local wanted=("$@") missing=()
  [ $# -eq 0 ] && wanted=("${PACKAGES[@]}")
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # dpkg's progress lines go nowhere; apt's errors still reach the terminal.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" > /dev/null
}

# The Windows cross-build: mingw-w64 with POSIX threads, GoogleTest's sources, Wine with its
# 32-bit half, an X server for the window tests, pgrep to see Wine's desktop up, zip for the
# archives.
WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
                  googletest wine wine32:i386 wine64 xvfb procps zip)

# The 32-bit lane: Debian's i686 cross compiler, the libraries as :i386 packages (libc6:i386
# brings the loader qemu-i386 starts the programs with), the emulator itself.
I386_PACKAGES=(build-essential cmake g++-i686-linux-gnu qemu-user-static libsdl2-dev:i386
               libcrypto++-dev:i386 libgtest-dev:i386)

# install_i386_missing PACKAGE...: the packages, after adding the i386 architecture if needed.
install_i386_missing() {
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
  fi
  install_missing "$@"
}
install_windows_missing() { install_i386_missing "${WINDOWS_PACKAGES[@]}"; }

# build PRESET [cmake --build options...]: configure the preset's folder, then build it.
build() {
  local preset=$1
  shift
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$JOBS" "$@"
}

# run_tests PRESET: the preset's cases; those labelled stress (they assert on wall time) only
# in the stress preset, which runs them alone.
run_tests() {
  ctest --preset "$1" -j "$JOBS"
}

# ---- tsan, fuzz, long ------------------------------------------------------------------------

# The player control tests under ThreadSanitizer: live playback with its pause, resume and stop,
# the start/pause/resume/stop stress run and the starts that fail part way, on SDL's dummy
# driver (the playback tests pick the disk driver for one case themselves). A race report, a
# hang (caught by the timeout) or a failed case fails the run.
run_tsan() {
  build tsan
  local test
  for test in control_tests control_stress_tests control_failure_tests; do
    echo "== $test"
    # The wall-time cases (RealTime.*) belong to the stress run, not to a sanitizer's.
    SDL_AUDIODRIVER=dummy TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
      timeout 240 "build-tsan/tests/control/$test" --gtest_filter='-RealTime.*'
  done
}

# fuzz_target TARGET SEEDS MAX_LEN [SECONDS [CORPUS [OPTION...]]]: one libFuzzer target of the
# fuzz build on one core, from the seed files SEEDS; without CORPUS on a throwaway copy of them,
# with one adding the seeds to that folder, which keeps what the run finds. Any sanitizer
# report stops the run (long runs that should go on past a finding pass -fork=1
# -ignore_crashes=1); findings are kept in build-fuzz/fuzz-findings/.
fuzz_target() {
  local target=$1 seeds=$2 max_len=$3 seconds=${4:-60} corpus=${5:-} work
  local options=("${@:6}")
  # FUZZ_BUILT=1: the caller has built the target (two fuzzers must not build one folder at once).
  [ "${FUZZ_BUILT:-0}" = 1 ] || build fuzz --target "$target"
  if [ -n "$corpus" ]; then
    work=$corpus
    mkdir -p "$work"
  else
    work=$(mktemp -d)
    # Expanded now: the trap runs after this function's variables are gone.
    trap "rm -rf -- '$work'" EXIT
  fi
  cp $seeds "$work"/
  mkdir -p build-fuzz/fuzz-findings
  ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
    "build-fuzz/fuzz/$target" "$work" -max_total_time="$seconds" -max_len="$max_len" \
    -rss_limit_mb=2048 -timeout=30 -artifact_prefix="build-fuzz/fuzz-findings/${target}_" \
    -print_final_stats=1 ${options[@]+"${options[@]}"}
}

# The cases with a message above 4 GiB, disabled in the suite. A program that selects none of
# them, or skips one (no room for the message), fails the run: nothing was checked.
run_long() {
  build dev --target digest_tests cli_process_tests
  local program log status=0
  log=$(mktemp)
  for program in build/tests/digest/digest_tests build/tests/cli/cli_process_tests; do
    echo "== $program"
    "$program" --gtest_also_run_disabled_tests --gtest_filter='*GiB*' | tee "$log" || status=1
    if ! grep -q '^\[  PASSED  \] [1-9]' "$log"; then
      echo "error: $program ran none of its 4 GiB cases" >&2
      status=1
    fi
    if grep -q '^\[  SKIPPED \]' "$log"; then
      echo "error: $program skipped a 4 GiB case" >&2
      status=1
    fi
  done
  rm -f "$log"
  return $status
}

# ---- lint ------------------------------------------------------------------------------------
# Every check runs and reports; the verb fails when any of them found something. Full reports
# are kept in build-lint/reports/.
LINT_REPORTS=build-lint/reports

# The top-level folders that hold tracked C++ sources, as a regular-expression alternation.
source_folders() {
  git ls-files '*.cpp' '*.cc' '*.h' '*.hpp' | grep / | cut -d/ -f1 | sort -u | paste -sd'|'
}

# per_folder: reads "path" lines and prints a count per top-level folder.
per_folder() {
  cut -d/ -f1 | sort | uniq -c | awk '{ printf "    %-10s %d\n", $2, $1 }'
}

# Each tracked C++ file against .clang-format; `clang-format -i FILE` rewrites a file.
lint_format() {
  local report=$LINT_REPORTS/clang-format.txt status=0 files
  files=$(git ls-files '*.cpp' '*.cc' '*.h' '*.hpp' | wc -l)
  if [ "$files" -eq 0 ]; then
    echo "clang-format: no tracked C++ file found, nothing checked" >&2
    return 1
  fi
  git ls-files -z '*.cpp' '*.cc' '*.h' '*.hpp' | xargs -0 -r clang-format --dry-run --Werror \
    > "$report" 2>&1 || status=$?
  if [ $status -eq 0 ]; then
    echo "clang-format: all $files files are formatted"
    return 0
  fi
  local places
  places=$(grep -c '\[-Wclang-format-violations\]' "$report" || true)
  if [ "$places" -eq 0 ]; then
    tail -n 20 "$report" >&2
    echo "clang-format failed (above)" >&2
    return 1
  fi
  echo "clang-format: $(grep '\[-Wclang-format-violations\]' "$report" | cut -d: -f1 | sort -u \
    | wc -l) of $files files differ from .clang-format, at $places places ($report); per folder:"
  grep '\[-Wclang-format-violations\]' "$report" | cut -d: -f1 | sort -u | per_folder
  return 1
}

# The include-circle check, where the tree has it.
lint_include_cycles() {
  if [ ! -f tools/lint/include_cycles.py ]; then
    echo "include circles: tools/lint/include_cycles.py is not in this tree, not checked"
    return 0
  fi
  if python3 tools/lint/include_cycles.py .; then
    echo "include circles: none"
  else
    echo "include circles: found (above)" >&2
    return 1
  fi
}

# summarize_findings REPORT: unique findings (file:line:column and check) of a compiler-style
# report, counted per check and per folder. The check is the bracketed name at the end of the
# line; paths are made relative to the tree.
summarize_findings() {
  local unique
  unique=$(grep -E '^[^ :]+:[0-9]+:[0-9]+: (warning|error): .*\[[^]]+\]$' "$1" \
    | sed -e "s|^$PWD/||" -e 's/^\([^:]*:[0-9]*:[0-9]*\): [a-z]*: .*\[\([^],]*\)[^]]*\]$/\1 \2/' \
    | sort -u)
  [ -n "$unique" ] || return 0
  echo "  per check:"
  awk '{ print $2 }' <<< "$unique" | sort | uniq -c | sort -rn \
    | awk '{ printf "    %-44s %d\n", $2, $1 }'
  echo "  per folder:"
  awk '{ print $1 }' <<< "$unique" | per_folder
}

# clang-tidy (.clang-tidy: bugprone-* and performance-*) over the product code and the tests,
# from build/'s compile database; headers of the tree are checked with the files that include
# them.
# lint_tidy [FOLDERS]: the source files of FOLDERS (an alternation; default: all).
lint_tidy() {
  local report=$LINT_REPORTS/clang-tidy.txt status=0 folders files checked
  folders=$(source_folders)
  checked=${1:-$folders}
  # -Wno-error: the GCC warnings the build turns into errors are the build's to check.
  run-clang-tidy -j "$JOBS" -p build -quiet -extra-arg=-Wno-error \
    -header-filter="^$PWD/($folders)/" "^$PWD/($checked)/" 2>&1 \
    | sed 's/\x1b\[[0-9;]*m//g' > "$report" || status=$?
  files=$(grep -c '^clang-tidy' "$report" || true)
  if [ $status -eq 0 ] && [ "$files" -gt 0 ]; then
    echo "clang-tidy: no findings in $files files"
    return 0
  fi
  if [ "$files" -eq 0 ]; then
    tail -n 20 "$report" >&2
    echo "clang-tidy checked no file (above)" >&2
    return 1
  fi
  echo "clang-tidy: findings in $files files checked ($report)"
  summarize_findings "$report"
  return 1
}

# The developer build (build/) compiles with -Wconversion -Wsign-conversion as errors; this
# builds it going on past failures to every file that needs nothing which failed, and sums the
# findings up (a failed file is compiled again on the next run).
lint_conversions() {
  local report=$LINT_REPORTS/conversions.txt status=0
  cmake --preset dev > /dev/null
  cmake --build --preset dev -j "$JOBS" -- -k > "$report" 2>&1 || status=$?
  if [ $status -eq 0 ]; then
    echo "conversion warnings: none"
    return 0
  fi
  if ! grep -qE '\[-Werror=[a-z-]*conversion\]' "$report"; then
    tail -n 30 "$report" >&2
    echo "the build failed (above)" >&2
    return 1
  fi
  echo "conversion warnings: found ($report)"
  summarize_findings "$report"
  if grep -q 'not remade because of errors' "$report"; then
    echo "  (files that need a program or library which failed here were not compiled yet)"
  fi
  return 1
}

# run_lint [CHECK...]: all four checks, or those named (format, includes, tidy, conversions).
run_lint() {
  local checks=("$@") failed=0 check
  [ ${#checks[@]} -gt 0 ] || checks=(format includes tidy conversions)
  mkdir -p "$LINT_REPORTS"
  for check in "${checks[@]}"; do
    case "$check" in
      format) lint_format || failed=1 ;;
      includes) lint_include_cycles || failed=1 ;;
      # clang-tidy reads build/'s compile database and the sources it generates.
      tidy) build dev > /dev/null && lint_tidy || failed=1 ;;
      # What ships, without the tests and benchmarks: a few minutes instead of a quarter hour.
      tidy-product)
        build dev > /dev/null && lint_tidy "$(source_folders | tr '|' '\n' \
          | grep -vxE 'tests|bench' | paste -sd'|')" || failed=1 ;;
      conversions) lint_conversions || failed=1 ;;
      *) echo "unknown lint check: $check (format, includes, tidy, tidy-product, conversions)" >&2
        return 2 ;;
    esac
  done
  if [ $failed -ne 0 ]; then
    echo "lint: findings above" >&2
    return 1
  fi
  echo "lint: clean"
}

command=${1:-run}
case "$command" in
  run)
    install_missing
    build dev
    ./build/app/hashcalc
    ;;
  test)
    install_missing
    build dev
    run_tests dev
    ;;
  sanitize)
    install_missing
    build asan
    run_tests asan
    ;;
  stress)
    install_missing
    build dev
    ctest --preset stress
    ;;
  tsan)
    install_missing
    run_tsan
    ;;
  fuzz)
    install_missing
    fuzz_target load_module_fuzzer 'fuzz/corpus/*.xm' 16384 "${@:2}"
    ;;
  fuzz-lists)
    install_missing
    fuzz_target check_list_fuzzer 'fuzz/corpus/check_lists/*' 4096 "${@:2}"
    ;;
  fuzz-all)
    # Both fuzzers at once for SECONDS (60 by default), one core each; their output is shown
    # when both have ended.
    install_missing
    build fuzz --target load_module_fuzzer check_list_fuzzer
    seconds=${2:-60}
    FUZZ_BUILT=1 fuzz_target load_module_fuzzer 'fuzz/corpus/*.xm' 16384 "$seconds" \
      > build-fuzz/modules.log 2>&1 &
    modules=$!
    FUZZ_BUILT=1 fuzz_target check_list_fuzzer 'fuzz/corpus/check_lists/*' 4096 "$seconds" \
      > build-fuzz/lists.log 2>&1 &
    lists=$!
    status=0
    wait "$modules" || { status=1; echo "== the module fuzzer failed:"; cat build-fuzz/modules.log; }
    wait "$lists" || { status=1; echo "== the check-list fuzzer failed:"; cat build-fuzz/lists.log; }
    tail -n 12 build-fuzz/modules.log build-fuzz/lists.log
    exit $status
    ;;
  long)
    install_missing
    run_long
    ;;
  soak)
    PACKAGES+=(xdotool xclip)
    install_missing
    build dev
    tests/soak/soak.sh "${2:-600}"
    ;;
  lint)
    install_missing
    install_missing "${LINT_TOOLS[@]}"
    run_lint "${@:2}"
    ;;
  bench)
    install_missing
    build bench
    for program in build-bench/bench/*/*_bench; do "$program"; done
    ;;
  bench-cli)
    PACKAGES+=(time)
    install_missing
    build bench --target hashcalc-cli
    bench/cli/compare_with_peers.sh build-bench/cli/hashcalc-cli
    bench/cli/compare_further_with_peers.sh build-bench/cli/hashcalc-cli
    ;;
  package)
    install_missing
    install_missing "${PACKAGE_TOOLS[@]}"
    if [ $# -ge 2 ]; then
      packaging/build_package.sh "$2"
    else
      cmake --preset package > /dev/null
      packaging/build_package.sh build-package
    fi
    ;;
  fresh-install)
    install_missing
    install_missing "${PACKAGE_TOOLS[@]}"
    tests/install/fresh_debian.sh build/hashcalc_*.deb build
    ;;
  i386)
    install_i386_missing "${I386_PACKAGES[@]}"
    build i386
    # Twice as many at once as there are cores: many cases wait in real time under the emulator.
    ctest --preset i386 -j $((JOBS * 2))
    ;;
  windows)
    install_missing
    install_windows_missing
    JOBS=$JOBS tests/wine/build_and_test.sh
    ;;
  windows-zip)
    install_missing
    install_windows_missing
    JOBS=$JOBS packaging/windows_zip.sh
    ;;
  *)
    echo "usage: ./dev.sh [run|test|sanitize|stress|tsan|fuzz [SECONDS]|fuzz-lists [SECONDS]|fuzz-all [SECONDS]|long|soak [SECONDS]|lint|bench|bench-cli|package|fresh-install|i386|windows|windows-zip]" >&2
    exit 1
    ;;
esac
