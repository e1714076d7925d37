#!/bin/sh
# make-release's answers that take seconds, from two clones of the committed tree, with throwaway keys in a
# keyring of the test's own: each key it cannot use (none of that fingerprint, not a fingerprint, one that
# cannot sign) and a changed tree are refused in one line, leaving nothing; a release whose build fails
# midway leaves nothing either and keeps the folder of the run before; unsigned, the folder is marked so; a
# signed one passes gpgv and sha256sum -c, and its files are the same bytes as the other clone's unsigned
# ones. What the packages, the page and the installers add is shown by the checks on each release.
# Usage: release_test.sh SOURCE_DIR
set -eu
src=$(cd "$1" && pwd)
git -C "$src" rev-parse --verify -q HEAD >/dev/null 2>&1 || {
  echo "release: skipped; $src is not a git clone"
  exit 77
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
bad() {
  echo "FAILED: $*"
  failed=1
}
git clone -q "$src" "$tmp/a" && git clone -q "$src" "$tmp/b"
export GNUPGHOME=$tmp/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch -q --passphrase '' --quick-gen-key 'Throwaway release key <release@invalid>' ed25519 sign never 2>/dev/null
gpg --batch -q --passphrase '' --quick-gen-key 'Throwaway certifying key <cert@invalid>' ed25519 cert never 2>/dev/null
key=$(gpg --with-colons --list-secret-keys release@invalid | awk -F: '$1 == "fpr" { print $10; exit }')
cert=$(gpg --with-colons --list-secret-keys cert@invalid | awk -F: '$1 == "fpr" { print $10; exit }')
version=$(sed -n 's/^project(glimtra VERSION \([^ ]*\) .*/\1/p' "$tmp/a/CMakeLists.txt")

# One line on standard error, a failure status, and no release folder, finished or half-made, in OUT.
refused() { # WHAT CLONE OUT ENV...
  what=$1 clone=$2 out=$3
  shift 3
  if (cd "$clone" && env PARTS=source "$@" tools/make-release "$out") >"$tmp/said" 2>"$tmp/err"; then
    bad "$what: make-release succeeded"
  fi
  [ "$(wc -l <"$tmp/err")" -eq 1 ] || bad "$what: not one line: $(cat "$tmp/err")"
  left=$(ls -A "$out" 2>/dev/null | grep -v '^\.cache$' || true)
  [ -z "$left" ] || bad "$what: left behind in $out: $left"
  echo "$what: $(cat "$tmp/err")"
}
refused "an unknown key" "$tmp/a" "$tmp/out-a" RELEASE_KEY=0123456789ABCDEF0123456789ABCDEF01234567 APT_URL=x
refused "not a fingerprint" "$tmp/a" "$tmp/out-a" RELEASE_KEY=release@invalid APT_URL=x
refused "a key that cannot sign" "$tmp/a" "$tmp/out-a" RELEASE_KEY="$cert" APT_URL=x
refused "no address for apt" "$tmp/a" "$tmp/out-a" RELEASE_KEY="$key" PARTS=amd64
[ ! -e "$tmp/out-a" ] || bad "a refused key made $tmp/out-a"

# Unsigned: said in one line, and marked in the name.
(cd "$tmp/a" && env -u RELEASE_KEY PARTS=source tools/make-release "$tmp/out-a") >"$tmp/said" 2>&1 ||
  bad "unsigned: $(cat "$tmp/said")"
unsigned=$tmp/out-a/glimtra-$version-partial-unsigned
[ "$(grep -c 'unsigned' "$tmp/said")" -ge 1 ] || bad "unsigned: not said: $(cat "$tmp/said")"
[ -f "$unsigned/SHA256SUMS" ] && [ ! -e "$unsigned/SHA256SUMS.asc" ] || bad "unsigned: not in $unsigned, or signed"
(cd "$unsigned" && sha256sum --quiet -c SHA256SUMS) || bad "unsigned: sha256sum -c fails"

# Signed, in the other clone: the signature holds with the key alone, and the files are the first clone's.
(cd "$tmp/b" && RELEASE_KEY=$key PARTS=source tools/make-release "$tmp/out-b") >"$tmp/said" 2>&1 ||
  bad "signed: $(cat "$tmp/said")"
signed=$tmp/out-b/glimtra-$version-partial
gpg --batch --export "$key" >"$tmp/keyring.pgp"
gpgv --keyring "$tmp/keyring.pgp" "$signed/SHA256SUMS.asc" "$signed/SHA256SUMS" 2>/dev/null ||
  bad "signed: gpgv refuses SHA256SUMS.asc"
(cd "$signed" && sha256sum --quiet -c SHA256SUMS) || bad "signed: sha256sum -c fails"
cmp -s "$unsigned/SHA256SUMS" "$signed/SHA256SUMS" || bad "two clones made other files: $(diff "$unsigned/SHA256SUMS" "$signed/SHA256SUMS")"

# A build that fails midway (the Windows build, given an SDL release that is no tarball) leaves the folder
# of the run before as it was, and nothing beside it.
cp "$signed/SHA256SUMS" "$tmp/before"
echo "not a tarball" >"$tmp/SDL2.tar.xz"
if (cd "$tmp/b" && RELEASE_KEY=$key PARTS=windows SDL2_SOURCE=$tmp/SDL2.tar.xz tools/make-release "$tmp/out-b") \
  >"$tmp/said" 2>&1; then
  bad "a failed build: make-release succeeded"
fi
cmp -s "$tmp/before" "$signed/SHA256SUMS" && (cd "$signed" && sha256sum --quiet -c SHA256SUMS) ||
  bad "a failed build changed the release before it"
[ "$(ls -A "$tmp/out-b" | grep -v '^\.cache$')" = "glimtra-$version-partial" ] ||
  bad "a failed build left: $(ls -A "$tmp/out-b")"

# A tree with a change not committed is not what the release would say it is.
echo >>"$tmp/a/README.md"
refused "a changed tree" "$tmp/a" "$tmp/out-c"
[ $failed -eq 0 ] && echo "release: refusals in one line with nothing left; unsigned marked; signed verified; same files"
exit $failed
