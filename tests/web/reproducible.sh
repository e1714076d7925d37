#!/bin/sh
# The page built again by make web from a copy of the tree elsewhere on the machine (tests/elsewhere.sh: on
# disorderfs where it works), with another time zone, locale and umask, must be make web's page byte for byte.
# Usage: reproducible.sh ROOT; exits with 77 when there is no page to compare with.
set -eu
root=$1
page=$root/build-web/glimtra.html
[ -f "$page" ] || { echo "skipped: no $page; make web builds it"; exit 77; }
. "$root/tests/elsewhere.sh"
elsewhere "$root"
(cd "$copy" && umask 077 && TZ=Pacific/Auckland LC_ALL=C.UTF-8 make --no-print-directory web >/dev/null)
cmp "$page" "$copy/build-web/glimtra.html" && echo "the same bytes: $page" && exit 0
echo "differs from $page: $tree/build-web/glimtra.html"
exit 1
