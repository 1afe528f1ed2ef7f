#!/usr/bin/env bash
# Installs the Debian package into a fresh, minimal Debian 12 (debootstrap --variant=minbase)
# and checks that it runs there: apt-get pulls in what the package needs, hashcalc-cli prints
# the right texts, and hashcalc, started on a private Xvfb with SDL's silent audio driver,
# shows its window with the icon and ends with exit code 0 when the window is closed (the
# process tests of BUILD_FOLDER, pointed at the installed program). Needs root; exits 77 (the
# "skipped" code) without it. Prints how long it took.
# Usage: tests/install/fresh_debian.sh PACKAGE.deb BUILD_FOLDER
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ $# -ne 2 ]; then
  echo "usage: $0 PACKAGE.deb BUILD_FOLDER" >&2
  exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: making and entering a Debian tree needs root" >&2
  exit 77
fi
package=$(realpath "$1")
build=$(realpath "$2")
# The archive this machine's apt already reaches (a CI machine may have its own mirror), else
# Debian's own; DEBIAN_MIRROR overrides both.
machine_mirror=$(apt-cache policy 2> /dev/null | awk '$3 == "bookworm/main" {print $2; exit}')
mirror=${DEBIAN_MIRROR:-${machine_mirror:-http://deb.debian.org/debian}}
started=$SECONDS

root=$(mktemp -d /var/tmp/hashcalc-debian.XXXXXX)
log=$root.log
cleanup() {
  umount "$root/proc" 2> /dev/null || true
  rm -rf --one-file-system "$root" "$root.run"
}
trap cleanup EXIT
# Shows the log of a failed step.
step() {
  if ! "$@" >> "$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "failed: $*" >&2
    exit 1
  fi
}

echo "Making a minimal Debian 12 in $root"
step debootstrap --variant=minbase bookworm "$root" "$mirror"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Some containers grant chroot but not mounts; apt and the programs get by without /proc.
mount -t proc proc "$root/proc" 2> /dev/null || echo "note: no /proc in the tree (mount refused)"

echo "Installing $(basename "$package")"
cp "$package" "$root/tmp/"
step chroot "$root" apt-get update
# Without recommended packages: what the package declares itself must be enough. Unsafe
# writes are fine in a tree thrown away afterwards.
step chroot "$root" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends -o DPkg::Options::=--force-unsafe-io \
  "/tmp/$(basename "$package")"

echo "hashcalc-cli -s abc"
texts=$(chroot "$root" hashcalc-cli -s abc)
for expected in 900150983cd24fb0d6963f7d28e17f72 da853b0d3f88d99b30283a69e6ded6bb \
  a448017aaf21d8525fc10ae87aa6729d 0164b8a914cd2a5e74c4f7ff082c4d97f1edf880 \
  a9993e364706816aba3e25717850c26c9cd0d89d \
  ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad \
  c14a12199c66e4ba84636b0f69144c77 8eb208f7e05d987a9b044a8e98c6b087f15a0bfc \
  afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65 9738 352441C2 648CBB73; do
  if ! grep -qw "$expected" <<< "$texts"; then
    printf '%s\n' "$texts" >&2
    echo "failed: hashcalc-cli -s abc does not print $expected" >&2
    exit 1
  fi
done

echo "hashcalc on Xvfb"
cmake --build "$build" --target app_process_tests > /dev/null
# The process tests start this instead of the program they were built with. Their files go
# under the new system's /tmp, and a path under its root is handed over as seen from inside.
cat > "$root.run" <<EOF
#!/bin/sh
for argument; do
  shift
  case "\$argument" in "$root"/*) argument=\${argument#"$root"} ;; esac
  set -- "\$@" "\$argument"
done
exec chroot "$root" /usr/bin/hashcalc "\$@"
EOF
chmod +x "$root.run"
TMPDIR=$root/tmp HASHCALC_TEST_PROGRAM=$root.run "$build/tests/app/app_process_tests" \
  --gtest_filter='Program.*' --gtest_brief=1

echo "The package installs and runs on a fresh Debian 12 ($((SECONDS - started)) s)"
