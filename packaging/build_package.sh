#!/usr/bin/env bash
# Builds the Debian package in the configured build folder FOLDER (`cmake --preset package`
# configures build-package/ for a release) and checks what it holds: lintian on the package,
# desktop-file-validate on its desktop entry and appstreamcli on its metadata. Prints the
# package's path last.
# Usage: packaging/build_package.sh FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:?usage: packaging/build_package.sh FOLDER}
if [ ! -f "$folder/CMakeCache.txt" ]; then
  echo "$folder is not a configured build folder (cmake --preset package makes build-package)" >&2
  exit 1
fi

cmake --build "$folder" -j "$(nproc)"
rm -f "$folder"/hashcalc_*.deb
(cd "$folder" && cpack -G DEB > /dev/null)
package=$(ls "$folder"/hashcalc_*.deb)

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$package" "$contents"
desktop-file-validate "$contents"/usr/share/applications/hashcalc.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml > /dev/null
# The metadata as a build with a home page writes it: with the home page and the screenshot.
cmake -DINPUT=packaging/hashcalc.metainfo.xml.in -DOUTPUT="$contents/with-homepage.metainfo.xml" \
  -DAPP_ID=example.hashcalc.HashCalc -DVERSION=0 -DRELEASE_DATE=2000-01-01 \
  -DHOMEPAGE=https://hashcalc.example/ -P packaging/metainfo.cmake
appstreamcli validate --no-net "$contents/with-homepage.metainfo.xml" > /dev/null
# Errors fail the check; warnings are shown for review.
lintian --fail-on error --suppress-tags-from-file /dev/null "$package"
echo "$package"
