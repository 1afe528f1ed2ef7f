#!/usr/bin/env bash
# One entry point for building, running and testing on Debian 12.
#   ./dev.sh run        install what is missing, build, start the program
#   ./dev.sh test       install what is missing, build, run the whole test suite
#   ./dev.sh sanitize   the whole suite again under AddressSanitizer and UBSan
#   ./dev.sh stress     the cases that assert on wall time, one at a time
#   ./dev.sh bench      build and run the benchmarks
#   ./dev.sh bench-cli  hashcalc-cli against openssl dgst and rhash on a 1 GiB file
#   ./dev.sh package    build the Debian package (build-package/hashcalc_VERSION_ARCH.deb) and
#                       check it: lintian, desktop-file-validate, appstreamcli validate;
#                       `./dev.sh package FOLDER` packs an existing build folder as configured
#   ./dev.sh i386       the portable code and its suites as 32-bit x86 programs, under qemu-i386
#   ./dev.sh windows    cross-build the Windows programs (i686, x86_64), test them under Wine
#   ./dev.sh windows-zip  the Windows release archives, in build-windows/
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake qt6-base-dev libsdl2-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcrypto++-dev clang libclang-rt-14-dev fonts-wine xvfb)
# What building and checking the Debian package needs besides.
PACKAGE_TOOLS=(file dpkg-dev lintian desktop-file-utils appstream debootstrap)
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

# build DIR [cmake options...]
build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DHASHCALC_WERROR=ON "$@" > /dev/null
  cmake --build "$dir" -j "$JOBS"
}

# Cases labelled stress assert on wall time and run alone (./dev.sh stress).
run_tests() {
  local dir=$1
  ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 600 -LE stress
}

command=${1:-run}
case "$command" in
  run)
    install_missing
    build build
    ./build/app/hashcalc
    ;;
  test)
    install_missing
    build build
    run_tests build
    ;;
  sanitize)
    install_missing
    build build-asan -DHASHCALC_SANITIZE=ON -DHASHCALC_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
    ;;
  stress)
    install_missing
    build build
    ctest --test-dir build --output-on-failure --timeout 600 -L stress
    ;;
  bench)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    for program in build/bench/*/*_bench; do "$program"; done
    ;;
  bench-cli)
    PACKAGES+=(openssl rhash time)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    bench/cli/compare_with_peers.sh build/tools/hashcalc-cli/hashcalc-cli
    ;;
  package)
    install_missing
    install_missing "${PACKAGE_TOOLS[@]}"
    if [ $# -ge 2 ]; then
      packaging/build_package.sh "$2"
    else
      packaging/build_package.sh build-package -DCMAKE_BUILD_TYPE=Release -DHASHCALC_TESTS=OFF \
        -DHASHCALC_BENCHMARKS=OFF
    fi
    ;;
  i386)
    install_i386_missing "${I386_PACKAGES[@]}"
    build build-i386 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/linux-i686.cmake" -DHASHCALC_WINDOW=OFF \
      -DHASHCALC_BENCHMARKS=OFF
    run_tests build-i386
    ;;
  windows)
    install_missing
    install_windows_missing
    JOBS=$JOBS tools/windows/build_and_test.sh
    ;;
  windows-zip)
    install_missing
    install_windows_missing
    JOBS=$JOBS tools/windows/package.sh
    ;;
  *)
    echo "usage: ./dev.sh [run|test|sanitize|stress|bench|bench-cli|package|i386|windows|windows-zip]" >&2
    exit 1
    ;;
esac
