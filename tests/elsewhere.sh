# Sourced by the reproducibility checks: `elsewhere ROOT` copies the tree of ROOT as it is (changes not yet
# committed included, without version control and build folders) to a folder of its own under TMPDIR or
# /tmp, elsewhere in the file tree than the clone, so that its paths sort otherwise against those of the
# tools and the sources from outside; and shows it through disorderfs, which lists every folder in reverse
# order, where FUSE works. It sets $copy, and $tree, the copy's files, which outlast the mount. At exit the
# copy is unmounted, and removed unless the check failed.
elsewhere() {
  place=$(mktemp -d "${TMPDIR:-/tmp}/glimtra-elsewhere.XXXXXX")
  trap 'status=$?; leave_elsewhere; exit $status' EXIT
  trap 'exit 1' INT TERM HUP
  mkdir "$place/tree" "$place/disordered"
  (cd "$1" && tar -cf - --exclude=./.git --exclude='./build*' --exclude=./tests/failures .) |
    (cd "$place/tree" && tar -xf -)
  tree=$place/tree
  copy=$tree
  if ! command -v disorderfs >/dev/null; then
    echo "not on disorderfs: it is not installed (tools/install-deps test installs it)"
  elif ! [ -c /dev/fuse ] || ! disorderfs --sort-dirents=yes --reverse-dirents=yes "$copy" "$place/disordered" \
    >"$place/disorderfs.log" 2>&1; then
    echo "not on disorderfs: FUSE does not work here ($(tail -n 1 "$place/disorderfs.log" 2>/dev/null ||
      echo no /dev/fuse))"
  else
    copy=$place/disordered
  fi
  echo "the copy: $copy"
}

leave_elsewhere() {
  [ "$copy" = "$place/disordered" ] && { fusermount -u "$copy" 2>/dev/null || umount "$copy"; }
  [ "$status" -eq 0 ] && rm -rf "$place"
  return 0
}
