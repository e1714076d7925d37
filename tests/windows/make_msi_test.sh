#!/bin/sh
# dist/windows/make-msi on a small folder of the zip's shape, without Wine: each version Windows Installer
# cannot compare is refused in one line with nothing written, the highest it can is taken, and packages of
# one version get one package code from the same files and another from any other files.
# Usage: make_msi_test.sh SCRATCH_DIR; exits with 77 without msitools.
set -eu
for tool in wixl msibuild msiinfo faketime; do
  command -v $tool >/dev/null || { echo "skipped: no $tool; tools/install-deps windows installs it"; exit 77; }
done
make_msi=$(cd "$(dirname "$0")/../.." && pwd)/dist/windows/make-msi
rm -rf "$1" && mkdir -p "$1/stage/pix" && cd "$1"
export SOURCE_DATE_EPOCH=1700000000
fail() { echo "make-msi test: $*" >&2; exit 1; }
printf 'MZ the game' >stage/glimtra.exe
printf 'BM a picture' >stage/pix/go.bmp
printf 'the licence' >stage/LICENSE.txt
# The package code, by which Windows tells packages apart: the summary's revision number.
code() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }

for version in 256.0.0 1.256.0 1.0.65536 1.0.0.0 1.0 1.0.x; do
  if "$make_msi" stage "$version" bad.msi 2>err; then fail "$version was taken"; fi
  [ "$(wc -l <err)" -eq 1 ] && grep -q "$version" err || fail "$version refused without one line naming it: $(cat err)"
  [ ! -e bad.msi ] && [ ! -e bad.msi.work ] || fail "$version refused, yet it left bad.msi or its work folder"
done

"$make_msi" stage 255.255.65535 first.msi || fail "255.255.65535 was refused"
[ "$(msiinfo export first.msi Property | sed -n 's/^ProductVersion\t//p' | tr -d '\r')" = 255.255.65535 ] ||
  fail "first.msi does not carry the version 255.255.65535"
first=$(code first.msi)
[ -n "$first" ] || fail "first.msi has no package code"
"$make_msi" stage 255.255.65535 again.msi && cmp first.msi again.msi || fail "the same files gave other bytes"

# Another exe, another picture, one more file: each is another package of the same version.
for change in 'printf x >>glimtra.exe' 'printf x >>pix/go.bmp' 'printf x >NEWS.txt'; do
  rm -rf changed && cp -R stage changed
  (cd changed && eval "$change")
  "$make_msi" changed 255.255.65535 changed.msi || fail "no package after: $change"
  [ "$(code changed.msi)" != "$first" ] || fail "the package code stayed $first after: $change"
done
echo "make-msi test: 6 versions refused, 255.255.65535 taken, 3 changed folders each with a package code of its own"
