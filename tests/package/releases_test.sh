#!/bin/sh
# Two releases as players get them, one after the other: release N from a clone of the committed tree and
# N+1 from a clone with the version raised by tools/new-version, each made by make-release (the amd64
# package and the Windows installer, signed with a throwaway key, its repository at a free port of
# 127.0.0.1). On fresh minimal Debian 12, 13 and testing systems, N is installed from its apt repository
# added as a player adds it, plays, and N+1 upgrades it and plays, while an altered or wrongly signed
# repository is refused with nothing changed, and the pin keeps out a package of Debian's that the
# repository offers too (tools/check-release-upgrade); N's installer, then N+1's over
# it, under Wine (the installer's test, given both). Then, on 13 and testing, make test from a clone as a new
# developer runs it. It needs root, the network and some minutes, so it runs only as root with CI set (as
# .ci/run does); otherwise it is skipped.
# Usage: releases_test.sh SOURCE_DIR ROUND_PROGRAM MSI_PROGRAM
set -eu
if [ "$(id -u)" -ne 0 ] || [ -z "${CI:-}" ]; then
  echo "releases: skipped; it bootstraps Debian systems, so it runs only as root with CI set"
  exit 77
fi
src=$(cd "$1" && pwd)
tools=$src/tools
round=$2
msi=$3
tmp=$(mktemp -d "${TMPDIR:-/var/tmp}/glimtra-releases.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failed=""

# The two releases. The in-process tests ran in the package's own build; the clones' builds skip them.
git clone -q "$src" "$tmp/n" && git clone -q "$src" "$tmp/next"
version=$(sed -n 's/^project(glimtra VERSION \([^ ]*\) .*/\1/p' "$src/CMakeLists.txt")
next=$(echo "$version" | awk -F. '{ print $1 "." $2 "." $3 + 1 }')
# Dated as N, so that SDL for Windows, whose build takes in the release date, is built once for both.
released=$(sed -n 's/.*<release version="[^"]*" date="\([^"]*\)".*/\1/p' "$src/dist/se.glimtra.Glimtra.metainfo.xml" |
  head -n 1)
(cd "$tmp/next" && tools/new-version --date "$released" "$next" --sv "Provversion." --en "Test release." >/dev/null &&
  git -c user.name=Test -c user.email=test@invalid commit -q -a -m "Raise the version to $next")
export GNUPGHOME=$tmp/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch -q --passphrase '' --quick-gen-key 'Throwaway release key <release@invalid>' ed25519 sign never 2>/dev/null
RELEASE_KEY=$(gpg --with-colons --list-secret-keys | awk -F: '$1 == "fpr" { print $10; exit }')
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# Where make test could build the installer (it needs the SDL releases), the releases have one too; the
# Debian checks run without.
parts=amd64
if [ -f "$src/build-windows/Glimtra-$version-win64.msi" ]; then parts="amd64 windows"; fi
# The SDL releases beside the clones as beside this one, for the installers' builds.
[ ! -d "$src/../shared" ] || ln -s "$(cd "$src/../shared" && pwd)" "$tmp/shared"
# SDL for Windows as make test built it, so that it is not built again: the same stamp, the same bytes.
if [ -f "$src/build-windows/sdl/stamp" ]; then
  mkdir -p "$tmp/cache/windows" && cp -R "$src/build-windows/sdl" "$tmp/cache/windows/"
fi
for clone in n next; do
  (cd "$tmp/$clone" && RELEASE_KEY=$RELEASE_KEY APT_URL=http://127.0.0.1:$port/apt PARTS=$parts \
    RELEASE_CACHE=$tmp/cache DEB_BUILD_OPTIONS=nocheck tools/make-release "$tmp/out-$clone") ||
    { echo "releases: make-release failed in the clone of $clone" >&2; exit 1; }
done
first=$tmp/out-n/glimtra-$version-partial
second=$tmp/out-next/glimtra-$next-partial

for release in bookworm trixie testing; do
  PROBE_KEY=$RELEASE_KEY "$tools/check-release-upgrade" "$release" "$first" "$second" "$round" ||
    failed="$failed $release-upgrade"
done
if [ "$parts" = "amd64 windows" ]; then
  GLIMTRA_MSI=$first/Glimtra-$version-win64.msi GLIMTRA_NEWER_MSI=$second/Glimtra-$next-win64.msi "$msi" ||
    failed="$failed windows-upgrade"
else
  echo "releases: make test built no installer here (no SDL releases), so the Windows upgrade is not checked"
fi
# The README's make test itself, the browser page and the Windows zip included, with another architecture
# enabled as on machines that play 32-bit games; then a second install-deps must find everything there, but
# for what the release cannot install and the tests do without (each said again in one line).
build='dpkg --add-architecture i386 && apt-get update -qq && make test && {
  again=$(tools/install-deps test 2>&1 | grep -v "cannot be installed from this release.s archive; what needs it is skipped$")
  [ -z "$again" ] || { echo "install-deps again: $again"; exit 1; }; }'
for release in trixie testing; do
  "$tools/check-release-build" "$release" "$build" || failed="$failed $release-build"
done
[ -z "$failed" ] || { echo "releases: failed:$failed" >&2; exit 1; }
echo "releases: $version installed from its repository, played, upgraded to $next and played on bookworm, trixie" \
  "and testing, faulty repositories refused; the installer upgraded under Wine; make test passed on trixie and testing"
