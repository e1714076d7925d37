#!/bin/sh
# Compares the package's entries (mode, owner, path) with the committed list: a file missing, misplaced,
# not executable or extra (a test, a benchmark, a build file) shows as a difference.
# Usage: check_contents.sh DEB_DIR EXPECTED
set -eu
deb=$(ls "$1"/glimtra_*.deb)
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' | sort >"$1/contents.actual"
grep -v '^#' "$2" | sort >"$1/contents.expected"
if ! diff "$1/contents.expected" "$1/contents.actual" >"$1/contents.diff"; then
  echo "package contents: $(basename "$deb") differs from $2 (< only expected, > only in the package):"
  cat "$1/contents.diff"
  exit 1
fi
echo "package contents: $(wc -l <"$1/contents.actual") entries, as listed"
