#!/bin/sh
# tests/elsewhere.sh puts the copy of a clone under /tmp after /usr, and of a clone under /var/tmp before
# it, whatever TMPDIR says (this build folder's side among others); and the copy holds the clone's files.
# Usage: elsewhere_test.sh SCRATCH_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$1" && mkdir -p "$1" && scratch=$(cd "$1" && pwd -P)
fail() { echo "elsewhere test: $*" >&2; exit 1; }
sorts_before_usr() { LC_ALL=C awk 'BEGIN { exit !(ARGV[1] < "/usr") }' "$1"; }

# Where elsewhere copies the clone $1, with TMPDIR=$2: the copy's files are looked at before it is left.
copy_of() {
  (
    export TMPDIR="$2"
    . "$here/elsewhere.sh"
    elsewhere "$1" >/dev/null
    [ "$(cat "$copy/marker")" = "$1" ] || fail "the copy of $1 does not hold its files"
    echo "$tree"
  )
}

# Two clones, one on each side of /usr, wherever this build folder is (CI's clone may be under /tmp).
under_tmp=$(mktemp -d /tmp/glimtra-clone.XXXXXX)
under_var=$(mktemp -d /var/tmp/glimtra-clone.XXXXXX)
trap 'rm -rf "$under_tmp" "$under_var"' EXIT
for clone in "$under_tmp" "$under_var"; do echo "$clone" >"$clone/marker"; done

for tmpdir in "" /tmp "$scratch"; do
  tree=$(copy_of "$under_tmp" "$tmpdir")
  ! sorts_before_usr "$tree" || fail "a clone under /tmp copied to $tree (TMPDIR=$tmpdir), before /usr too"
done
for tmpdir in "" /var/tmp "$scratch"; do
  tree=$(copy_of "$under_var" "$tmpdir")
  sorts_before_usr "$tree" || fail "a clone under /var/tmp copied to $tree (TMPDIR=$tmpdir), after /usr too"
done
echo "elsewhere test: copies of clones before and after /usr made on the other side, with and without TMPDIR"
