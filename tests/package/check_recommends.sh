#!/bin/sh
# Checks that the package still recommends the OpenGL stack, the only way SDL waits for the display (without
# it the game runs unpaced and takes a core): the GL and EGL dispatchers, each with Mesa's driver or another
# vendor's. Read from debian/control, which the .deb's Recommends is copied from, so no build is needed.
# Usage: check_recommends.sh DEBIAN_CONTROL
set -eu
field=$(perl -MDpkg::Control::Info -e \
  'print Dpkg::Control::Info->new($ARGV[0])->get_pkg_by_name("glimtra")->{Recommends} // ""' "$1" |
  tr -s ' \n' '  ')
for relation in libgl1 'libglx-mesa0 | libglx-vendor' libegl1 'libegl-mesa0 | libegl-vendor'; do
  printf '%s\n' "$field" | tr ',' '\n' | sed 's/^ //; s/ $//' | grep -qxF "$relation" || {
    echo "package recommends: no '$relation' in the Recommends of $1: $field" >&2
    exit 1
  }
done
echo "package recommends: the OpenGL stack: $field"
