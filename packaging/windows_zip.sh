#!/usr/bin/env bash
# Builds the three Windows programs for i686 and x86_64 (in the folders build_and_test.sh
# uses) and packs each target into build-windows/hashcalc-VERSION-windows-ARCH.zip with a
# short text on use. Called by `./dev.sh windows-zip`.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
jobs=${JOBS:-$(nproc)}

for arch in i686 x86_64; do
  dir=$out/$arch
  cmake --preset "mingw-$arch" >/dev/null
  cmake --build --preset "mingw-$arch" -j "$jobs" --target hashcalc hashcalc-cli xmrender >/dev/null
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
  name=hashcalc-$version-windows-$arch
  stage=$out/stage/$name
  rm -rf "$stage" "$out/$name.zip"
  mkdir -p "$stage"
  cp "$dir/app/hashcalc.exe" "$dir/cli/hashcalc-cli.exe" \
     "$dir/xmrender/xmrender.exe" "$stage/"
  "$arch-w64-mingw32-strip" "$stage"/*.exe
  # Windows line endings for Notepad.
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' \
      resources/windows-readme.txt > "$stage/README.txt"
  (cd "$out/stage" && zip -q -r -X "$out/$name.zip" "$name")
  echo "$out/$name.zip"
done
