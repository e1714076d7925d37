#!/bin/sh
# The package on a fresh minimal Debian 12, 13 and testing, installed with apt's defaults, a round played
# and the idle game's pace measured; then, on 13 and testing, make test from a clone as a new developer
# runs it. It needs root, the network and some minutes, so it runs only as root with CI set
# (as .ci/run does); otherwise it is skipped.
# Usage: releases_test.sh DEB_DIR ROUND_PROGRAM
set -eu
if [ "$(id -u)" -ne 0 ] || [ -z "${CI:-}" ]; then
  echo "releases: skipped; it bootstraps Debian systems, so it runs only as root with CI set"
  exit 77
fi
deb=$(ls "$(cd "$1" && pwd)"/glimtra_*.deb)
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
failed=""
for release in bookworm trixie testing; do
  "$tools/check-deb-clean-install" "$release" "$deb" "$2" || failed="$failed $release-install"
done
# The README's make test itself, the browser page and the Windows zip included, with another architecture
# enabled as on machines that play 32-bit games; then a second install-deps must find everything there.
build='dpkg --add-architecture i386 && apt-get update -qq && make test &&
  again=$(tools/install-deps test 2>&1) && { [ -z "$again" ] || { echo "install-deps again: $again"; exit 1; }; }'
for release in trixie testing; do
  "$tools/check-release-build" "$release" "$build" || failed="$failed $release-build"
done
[ -z "$failed" ] || { echo "releases: failed:$failed" >&2; exit 1; }
echo "releases: installed and played on bookworm, trixie and testing; make test passed on trixie and testing"
