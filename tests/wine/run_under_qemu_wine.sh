#!/usr/bin/env bash
# Runs a 32-bit Windows program under 32-bit Wine emulated by qemu-i386, on a machine whose
# kernel runs no 32-bit code. Not yet part of build_and_test.sh: each start costs about 40 s
# of processor time, and a program that starts another 32-bit program (the window driver
# starting hashcalc.exe) needs qemu registered with binfmt_misc as well.
# Found with Debian 12's Wine 8 and qemu 7.2:
# - Wine reserves its address ranges by asking mmap for fixed places with
#   MAP_FIXED_NOREPLACE; qemu 7.2 ignores that flag and hands out another free range, found
#   downward from the top of the guest's space, and Wine keeps some of those. With the
#   default space (4 GiB less a page) its reservation above 0x7fff0000 slides down one page
#   over the shared user data at 0x7ffe0000, and Wine stops with "failed to map the shared
#   user data: c0000018". A 3 GiB space leaves that page inside an area Wine has reserved.
# - The 32-bit loader starts itself again at once, which the kernel refuses ("could not exec
#   the wine loader"); WINELOADERNOEXEC=1 makes it go on in place.
# - A prefix made by wine64 has an empty syswow64 (its 32-bit half could not run), so 32-bit
#   programs find no kernel32.dll (c0000135): Wine's 32-bit builtin DLLs are copied in.
# Still open: under compare_cli_sweep.sh, hashcalc-cli.exe printed 13268 of its 13332 lines
# exactly as the Linux build does, then qemu itself died of a segmentation fault at the end of
# the run (the program's worker threads ending?), and the last buffered lines were lost.
# Usage: WINEPREFIX=DIR run_under_qemu_wine.sh PROGRAM.exe [ARGUMENT...]
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to a prefix made by wine64}"
syswow64=$WINEPREFIX/drive_c/windows/syswow64
if [ ! -f "$syswow64/kernel32.dll" ]; then
  mkdir -p "$syswow64"
  cp /usr/lib/i386-linux-gnu/wine/i386-windows/* "$syswow64/"
fi
export QEMU_RESERVED_VA=0xc0000000 WINELOADERNOEXEC=1
exec qemu-i386-static /usr/lib/wine/wine "$@"
