#!/usr/bin/env bash
# On 32-bit Windows every routine handed to the system (dialog and window procedures, thread
# routines, timer and wave callbacks) must have the calling convention the API declares. The
# compiler checks it wherever a routine is passed as it is; a cast silences that check (GCC's
# -Wcast-function-type does not compare calling conventions), and a wave callback passed as a
# number (CALLBACK_FUNCTION) is never checked. So the sources hold neither. Run by
# build_and_test.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."

types='DLGPROC|WNDPROC|TIMERPROC|LPTHREAD_START_ROUTINE|PTHREAD_START_ROUTINE|WNDENUMPROC'
types+='|FARPROC|NEARPROC|PROC|LPTIMECALLBACK|LPWAVECALLBACK|_beginthreadex_proc_type'
# A named callback type in a C++ or C-style cast, a function-pointer type spelled out in a
# C++ cast, or a routine given to waveOutOpen as a number.
pattern="_cast<[[:space:]]*($types)[[:space:]]*>|\\([[:space:]]*($types)[[:space:]]*\\)[[:space:]]*[&A-Za-z_(]"
pattern+="|_cast<[^>]*\\([[:space:]]*(WINAPI|CALLBACK|APIENTRY|__stdcall)?[[:space:]]*\\*[[:space:]]*\\)[[:space:]]*\\("
pattern+="|CALLBACK_FUNCTION"

# Every source of the tree, build folders left out.
if find . \( -path './build*' -o -path './.git' \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
   xargs -0r grep -nE "$pattern"; then
  echo "error: a routine for the system is cast above; pass it with the declared convention" >&2
  exit 1
fi
echo "callbacks: no casts of routines handed to the system"
