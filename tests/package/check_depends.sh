#!/bin/sh
# Checks that the package's Depends holds the classic SDL 1.2 out, under which the game runs unpaced: some
# relation must be one that only sdl12-compat satisfies, each alternative of it naming one of the names
# sdl12-compat goes by on Debian's releases at 1.2.50 or later (sdl12-compat reports 1.2.50 and above; the
# classic SDL, packaged as libsdl1.2debian, is 1.2.15). The package tests run where sdl12-compat is
# installed already, so only the built package shows what apt would install on a clean system.
# Usage: check_depends.sh DEB_DIR
set -eu
deb=$(ls "$1"/glimtra_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)

# Reads one relation's alternatives, one a line as "name op version"; true if sdl12-compat alone fits all.
only_sdl12_compat() {
  alternatives=0
  while read -r name op version; do
    case $name in libsdl1.2debian | libsdl1.2-compat-shim | libsdl1.2-compat) ;; *) return 1 ;; esac
    case $op in '>=' | '>>' | '=') ;; *) return 1 ;; esac
    dpkg --compare-versions "$version" ge 1.2.50 || return 1
    alternatives=$((alternatives + 1))
  done
  [ "$alternatives" -gt 0 ]
}

# One relation a line, then one alternative a line, with the version's parentheses dropped.
found=$(printf '%s\n' "$depends" | tr ',' '\n' | while read -r relation; do
  if printf '%s\n' "$relation" | tr '|' '\n' | sed 's/[()]/ /g; s/[<>=][<>=]*/ & /' | only_sdl12_compat; then
    echo "$relation"
  fi
done)
if [ -z "$found" ]; then
  echo "package depends: no relation in the Depends of $(basename "$deb") asks for sdl12-compat (1.2.50 or" \
    "later, under one of its names), so apt may install the classic SDL 1.2: $depends" >&2
  exit 1
fi
echo "package depends: $(basename "$deb") needs sdl12-compat through '$found'"
