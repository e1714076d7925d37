# Sourced by the reproducibility checks: `elsewhere ROOT` copies the tree of ROOT as it is (changes not yet
# committed included, without version control and build folders) to a folder of its own on the other side
# of the system's folders (/usr) from the clone: under TMPDIR, /tmp or /var/tmp, the first that sorts on
# that side. A linker orders what it links by path, so only there does a path written absolute change the
# order against the tools and the system's libraries and show in the bytes. The copy is shown through
# disorderfs, which lists every folder in reverse order, where FUSE works. It sets $copy, and $tree, the
# copy's files, which outlast the mount. At exit the copy is unmounted, and removed unless the check failed.
elsewhere() {
  place=""
  for base in ${TMPDIR:-} /tmp /var/tmp; do
    if [ -d "$base" ] && [ "$(before_usr "$(cd "$base" && pwd -P)")" != "$(before_usr "$(cd "$1" && pwd -P)")" ]; then
      place=$(mktemp -d "$(cd "$base" && pwd -P)/glimtra-elsewhere.XXXXXX")
      break
    fi
  done
  [ -n "$place" ] || { echo "elsewhere: no folder for the copy on the other side of /usr from $1" >&2; exit 1; }
  trap 'status=$?; leave_elsewhere; exit $status' EXIT
  trap 'exit 1' INT TERM HUP
  mkdir "$place/tree" "$place/disordered"
  (cd "$1" && tar -cf - --exclude=./.git --exclude='./build*' --exclude=./tests/failures .) |
    (cd "$place/tree" && tar -xf -)
  tree=$place/tree
  copy=$tree
  if ! command -v disorderfs >/dev/null; then
    echo "not on disorderfs: it is not installed (tools/install-deps test installs it)"
  # As root, open to other users too, each with their own rights: a check may build as another user.
  elif ! [ -c /dev/fuse ] || ! disorderfs --sort-dirents=yes --reverse-dirents=yes \
    $([ "$(id -u)" -ne 0 ] || echo --multi-user=yes -o allow_other) "$copy" "$place/disordered" \
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

# Whether path $1 sorts before /usr, as a linker sorts paths: yes or no.
before_usr() {
  if [ "$(printf '%s\n' "$1" /usr | LC_ALL=C sort | head -n 1)" = "$1" ]; then echo yes; else echo no; fi
}
