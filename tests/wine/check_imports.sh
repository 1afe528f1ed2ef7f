#!/usr/bin/env bash
# Holds the i686 programs to the x86_64 ones' imports: each .exe of the one build must name the
# same DLLs as its counterpart in the other, and none may be a MinGW runtime DLL (lib*.dll),
# which a Windows machine does not have. Run by build_and_test.sh after both builds.
# Usage: check_imports.sh I686_BUILD_DIR X86_64_BUILD_DIR
set -euo pipefail
i686_dir=$1
x86_64_dir=$2

# imports OBJDUMP PROGRAM: the DLLs PROGRAM imports, lowercase, one a line, sorted.
imports() {
  "$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u
}

status=0
checked=0
while IFS= read -r program; do
  counterpart=$x86_64_dir/$program
  if [ ! -f "$counterpart" ]; then
    echo "error: $program was built for i686 only" >&2
    status=1
    continue
  fi
  i686_imports=$(imports i686-w64-mingw32-objdump "$i686_dir/$program")
  x86_64_imports=$(imports x86_64-w64-mingw32-objdump "$counterpart")
  if [ -z "$i686_imports" ] || [ "$i686_imports" != "$x86_64_imports" ]; then
    echo "error: $program imports differ (i686 left, x86_64 right):" >&2
    diff <(echo "$i686_imports") <(echo "$x86_64_imports") >&2 || true
    status=1
  fi
  if grep -q '^lib.*\.dll$' <<<"$i686_imports$x86_64_imports"; then
    echo "error: $program imports a MinGW runtime DLL:" $(grep '^lib' <<<"$i686_imports") >&2
    status=1
  fi
  checked=$((checked + 1))
done < <(cd "$i686_dir" && find . -name '*.exe' -not -path '*/CMakeFiles/*' | sed 's|^\./||' | sort)

if [ "$checked" -eq 0 ]; then
  echo "error: no programs found in $i686_dir" >&2
  exit 1
fi
[ "$status" -eq 0 ] && echo "imports: $checked i686 programs name the same system DLLs as on x86_64"
exit $status
