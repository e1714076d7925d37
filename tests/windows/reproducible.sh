#!/bin/sh
# The Windows zip built again from a copy of the tree elsewhere on the machine (tests/elsewhere.sh: on
# disorderfs where it works), with another time zone, locale and umask, must be the zip of make windows byte
# for byte. The copy reuses the SDL builds (that two clones build the same SDL from cold is shown once, in
# docs/windows.md, since it takes minutes).
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
(
  cd "$copy"
  umask 077
  export TZ=Pacific/Auckland LC_ALL=C.UTF-8
  # The tarballs the SDL builds came from, checked again as every build does.
  SDL2_SOURCE=$(cat "$root/build-windows/sdl/SDL2.tarball")
  SDL12COMPAT_SOURCE=$(cat "$root/build-windows/sdl/sdl12-compat.tarball")
  export SDL2_SOURCE SDL12COMPAT_SOURCE
  tools/build-windows build-windows
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
