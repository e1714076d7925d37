#!/bin/sh
# The Raspberry Pi packages, cross-built here and checked as a Pi owner would meet them. STEP build installs
# the cross build's dependencies through multiarch (and qemu-user) and builds the package for ARCH into
# DEB_DIR; lintian checks it as package_lintian checks this machine's; round unpacks it, checks that its
# game is ARM code, and plays a round with the unpacked launcher, the game running under qemu-user. The
# build installs another architecture's libraries into the machine, so every step runs only as root with CI
# set (as .ci/run does); otherwise it is skipped.
# Usage: cross_test.sh build|lintian|round ARCH DEB_DIR [E2E_PROGRAM]
set -eu
if [ "$(id -u)" -ne 0 ] || [ -z "${CI:-}" ]; then
  echo "package $2: skipped; it installs $2 libraries into this machine, so it runs only as root with CI set"
  exit 77
fi
step=$1
arch=$2
dir=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() {
  echo "package $arch: $*" >&2
  exit 1
}
# qemu-user's name for the processor, and readelf's.
case $arch in
  arm64) qemu=aarch64 machine=AArch64 ;;
  armhf) qemu=arm machine=ARM ;;
  *) fail "no qemu-user known for $arch" ;;
esac
# The registration that qemu-user-static hands systemd-binfmt.
binfmt=/usr/lib/binfmt.d/qemu-$qemu.conf

case $step in
  build)
    "$root/tools/install-deps" deb "$arch"
    [ -e "$binfmt" ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      -o DPkg::Lock::Timeout=600 qemu-user-static
    "$root/tools/build-deb" "$dir" "$arch"
    ;;
  lintian)
    lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$dir"/glimtra_*_"$arch".deb
    ;;
  round)
    tree=$(cd "$dir" && pwd)/unpacked
    rm -rf "$tree"
    dpkg-deb -x "$dir"/glimtra_*_"$arch".deb "$tree"
    # An amd64 game would play the round just as well.
    found=$(readelf -h "$tree/usr/libexec/glimtra/glimtra" | sed -n 's/^ *Machine: *//p')
    [ "$found" = "$machine" ] || fail "the packaged game is code for '$found', not $machine"
    export GLIMTRA_LAUNCHER="$tree/usr/games/glimtra"
    # The rounds only: this machine has no OpenGL driver of the ARM architecture, so the emulated game
    # draws in software and runs unpaced, as it says; its pace is measured on the installs of each release.
    export GTEST_FILTER='*Round*'
    # The launcher, a shell script, starts the ARM game itself, so qemu-user cannot be put before it on the
    # command line: the kernel hands ARM programs to qemu through binfmt_misc. Where the machine has no
    # such registration, the round registers one in a binfmt_misc of its own, in a user namespace
    # (Linux 6.7 and later), which goes with the round and leaves the machine as it was.
    [ ! -e "/proc/sys/fs/binfmt_misc/qemu-$qemu" ] || exec "$4"
    mkdir -p "$dir/binfmt"
    exec unshare --user --map-root-user --mount sh -c '
      if ! mount -t binfmt_misc binfmt_misc "$1"; then
        echo "package: no binfmt_misc of its own in a user namespace here (Linux 6.7 and later)" >&2
        exit 1
      fi
      cat "$2" >"$1/register"
      exec "$3"' sh "$dir/binfmt" "$binfmt" "$4"
    ;;
  *) fail "unknown step $step" ;;
esac
