#!/bin/sh
# The page and the site built again by make web from a copy of the tree elsewhere on the machine
# (tests/elsewhere.sh: on disorderfs where it works), with another time zone, locale and umask, must be make
# web's page and site byte for byte.
# Usage: reproducible.sh ROOT; exits with 77 when there is no page to compare with.
set -eu
root=$1
page=$root/build-web/glimtra.html
[ -f "$page" ] || { echo "skipped: no $page; make web builds it"; exit 77; }
. "$root/tests/elsewhere.sh"
elsewhere "$root"
(cd "$copy" && umask 077 && TZ=Pacific/Auckland LC_ALL=C.UTF-8 make --no-print-directory web >/dev/null)
cmp "$page" "$copy/build-web/glimtra.html" && diff -r "$root/build-web/site" "$copy/build-web/site" &&
  echo "the same bytes: $page and $root/build-web/site/" && exit 0
echo "differs from $page or its site: $tree/build-web/"
exit 1
