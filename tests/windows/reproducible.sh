#!/bin/sh
# The Windows zip built again from a copy of the tree elsewhere on the machine (tests/elsewhere.sh: on
# disorderfs where it works), with another time zone, locale and umask, by another user where this one is
# root, and over a zip and a folder left from an earlier build with an entry of their own, must be the zip
# of make windows byte for byte, and so must the installer. The copy reuses the SDL builds (that two clones
# build the same SDL from cold is shown once, in docs/windows.md, since it takes minutes).
# Usage: reproducible.sh ROOT; exits with 77 when there is no zip to compare with.
set -eu
root=$1
zip=$(ls "$root"/build-windows/Glimtra-*-win64.zip 2>/dev/null || true)
if [ -z "$zip" ] || [ ! -f "$root/build-windows/sdl/stamp" ] || [ ! -f "$root/build-windows/sdl/SDL2.tarball" ]; then
  echo "skipped: no zip in $root/build-windows; make windows builds it from the SDL releases"
  exit 77
fi
. "$root/tests/elsewhere.sh"
elsewhere "$root"
mkdir -p "$copy/build-windows"
cp -a "$root/build-windows/sdl" "$copy/build-windows/"
# What an earlier build of the same version left, each with a file the new build does not have.
name=$(basename "$zip" .zip)
mkdir -p "$copy/build-windows/stage/$name"
echo "left from an earlier build" >"$copy/build-windows/stage/$name/OLD.txt"
(cd "$copy/build-windows/stage" && zip -q -r "$copy/build-windows/$name.zip" "$name")
# The tarballs the SDL builds came from, checked again as every build does; copied beside the copy, where the
# other user below can read them wherever this clone lies.
mkdir -p "$place/sdl-sources"
for f in SDL2 sdl12-compat; do cp "$(cat "$root/build-windows/sdl/$f.tarball")" "$place/sdl-sources/"; done
SDL2_SOURCE=$place/sdl-sources/$(basename "$(cat "$root/build-windows/sdl/SDL2.tarball")")
SDL12COMPAT_SOURCE=$place/sdl-sources/$(basename "$(cat "$root/build-windows/sdl/sdl12-compat.tarball")")
export SDL2_SOURCE SDL12COMPAT_SOURCE
# Another user (nobody) builds where this one may hand the copy over; the SDL sources are only read.
as=""
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  chown 65534:65534 "$place" && chown -R 65534:65534 "$tree"
  as="setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=$place"
  echo "built by the user 65534"
fi
(
  cd "$copy"
  umask 077
  export TZ=Pacific/Auckland LC_ALL=C.UTF-8
  $as tools/build-windows build-windows
)
result=0
for made in "$zip" "${zip%.zip}.msi"; do
  if cmp "$made" "$copy/build-windows/$(basename "$made")"; then
    echo "the same bytes: $made"
  else
    echo "differs from $made: $tree/build-windows/$(basename "$made") (unpack both and compare, e.g. with" \
      "diffoscope)"
    result=1
  fi
done
exit $result
