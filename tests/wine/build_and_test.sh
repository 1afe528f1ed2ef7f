#!/usr/bin/env bash
# Builds the Windows programs for i686 and x86_64 with mingw-w64 and runs their tests under
# Wine, headless: a private X server, one Wine prefix in the build folder, a wineserver kept
# alive for the whole run. Called by `./dev.sh windows`, which installs the packages first.
#
# Machines that cannot run 32-bit Linux programs (some sandboxes) cannot start 32-bit Wine:
# only the i686 programs are then built and its tests are reported as not run, unless
# HASHCALC_REQUIRE_I686=1 asks for a failure instead.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build-windows
jobs=${JOBS:-$(nproc)}
mkdir -p "$out"

# ---- Wine, headless -------------------------------------------------------------------------
export WINEPREFIX=$out/wine-prefix
export WINEDEBUG=-all
# A crashing program must not start the debugger (it would wait for a user); no Mono or Gecko.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

xvfb_pid=""
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP PIPE

# The prefix and the wineserver are created under the X server: a wineserver started without
# a display makes later dialogs fail.
display_file=$out/xvfb-display
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$display_file")
# One wineserver for the whole run (without it every program start pays for a new one); it
# must be the first, since a second refuses to start beside it.
mkdir -p "$WINEPREFIX"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -p
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix"
  "$wine64" wineboot --init >/dev/null 2>&1 || true
fi
# Every window opens inside one virtual desktop: without a window manager, hiding a window
# otherwise waits two seconds for an answer that never comes.
"$wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The desktop is kept up for the whole run by a window that stays open. Otherwise Wine closes
# it seconds after the last program and starts it again for the next one; a program that
# needs a window (winmm's device thread makes one) waits at most 10 s for that start, and on
# a loaded machine the wave device then fails to open.
"$wine64" notepad >/dev/null 2>&1 </dev/null &
desktop_ready=""
for _ in $(seq 600); do
  if pgrep -f 'notepad.exe' >/dev/null && pgrep -f 'explorer.exe /desktop' >/dev/null; then
    desktop_ready=yes
    break
  fi
  sleep 0.1
done
[ -n "$desktop_ready" ] || echo "warning: Wine's desktop did not come up; tests start without it" >&2

can_run_32_bit() {
  # The 32-bit loader is a 32-bit Linux program.
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# ---- the Linux command-line tool, for the comparison of outputs -----------------------------
# The developer build's, which CI has already made for the suite.
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs" --target hashcalc-cli >/dev/null
linux_cli=$root/build/cli/hashcalc-cli

status=0
tests/wine/check_callbacks.sh || status=1
not_run=()
for arch in i686 x86_64; do
  dir=$out/$arch
  cmake --preset "mingw-$arch" >/dev/null
  if [ "$arch" = i686 ] && ! can_run_32_bit; then
    # Only the shipped programs: test programs that cannot run here would only cost time.
    echo "== Windows $arch: build of the programs"
    cmake --build --preset "mingw-$arch" -j "$jobs" --target hashcalc hashcalc-cli xmrender
    if [ "${HASHCALC_REQUIRE_I686:-0}" = 1 ]; then
      echo "error: this machine cannot run 32-bit programs, so not the i686 tests" >&2
      status=1
    fi
    not_run+=("$arch")
    continue
  fi
  echo "== Windows $arch: build"
  cmake --build --preset "mingw-$arch" -j "$jobs"
  echo "== Windows $arch: tests under Wine"
  # Cases that assert on wall time (label stress) stay out, as in ./dev.sh test.
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 -LE stress || status=1
  echo "== Windows $arch: hashcalc-cli.exe against the Linux build"
  emulator=$wine64
  [ "$arch" = i686 ] && emulator=wine
  tests/digest/compare_cli_sweep.sh "$linux_cli" "$emulator $dir/cli/hashcalc-cli.exe" \
    || status=1
done
tests/wine/check_imports.sh "$out/i686" "$out/x86_64" || status=1

if [ ${#not_run[@]} -gt 0 ]; then
  echo "NOTE: built but not tested here (this machine cannot run 32-bit programs): ${not_run[*]}"
fi
exit $status
