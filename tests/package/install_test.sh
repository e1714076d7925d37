#!/bin/sh
# Installs the package for real, as Debian's CI does, and runs its installed-package tests (debian/tests/:
# the launcher's options, a right and a wrong round with /usr/games/glimtra) with autopkgtest's null
# backend, here on this machine; checks what a player's session finds (the menu entry's command, the
# manual page); then purges it and checks that dpkg knows nothing of it and that none of its files is left.
# It changes the machine (autopkgtest installs the package and the tests' dependencies, and marks those
# as installed by hand), so it runs only as root with CI set, on a machine made for the run (as .ci/run
# is); otherwise it is skipped.
# Usage: install_test.sh DEB_DIR
set -eu
if [ "$(id -u)" -ne 0 ] || [ -z "${CI:-}" ]; then
  echo "package install: skipped; it installs into this machine, so it runs only as root with CI set"
  exit 77
fi
changes=$(ls "$(cd "$1" && pwd)"/glimtra_*.changes)
log=$(pwd)/apt.log
results=$(pwd)/autopkgtest
fail() {
  echo "package install: $*" >&2
  exit 1
}
state() { dpkg-query -W -f="\${db:Status-Status}" glimtra 2>/dev/null || echo not-installed; }
[ "$(state)" = not-installed ] || fail "glimtra is on this machine already ($(state)); the test would purge it"

# Whatever fails below, the package goes again.
purged=0
cleanup() {
  [ "$purged" -eq 1 ] || DEBIAN_FRONTEND=noninteractive apt-get purge -y -q glimtra >>"$log" 2>&1 ||
    dpkg --purge glimtra >>"$log" 2>&1 || true
}
trap cleanup EXIT

# The source package of the .changes brings debian/tests/, and its .deb is what gets installed. The
# folder of results holds the tests' logs and their frames (artifacts).
rm -rf "$results"
autopkgtest --output-dir "$results" "$changes" -- null || fail "autopkgtest failed (status $?); see $results/log"
[ "$(state)" = installed ] || fail "glimtra is '$(state)' after autopkgtest, not installed"
dpkg -L glimtra >installed.list

# The menu entry's command, looked up as a player's session does (Debian's default PATH for users).
entry=/usr/share/applications/se.glimtra.Glimtra.desktop
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
found=$(PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games command -v "$command") || true
[ "$found" = /usr/games/glimtra ] || fail "the menu entry runs '$command', which a player's PATH finds as '$found'"
if command -v man >/dev/null; then
  page=$(man -w glimtra) || fail "man glimtra finds no page"
  echo "package install: man glimtra shows $page"
fi

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q glimtra >>"$log" 2>&1 || fail "apt-get purge failed: $(tail -n 20 "$log")"
purged=1
if dpkg -L glimtra >/dev/null 2>&1; then fail "dpkg -L still lists glimtra after the purge"; fi
[ "$(state)" = not-installed ] || fail "dpkg still has glimtra as '$(state)' after the purge"
# Folders such as /usr/share/icons/hicolor/48x48/apps are shared with other packages; everything named
# after the game is its own.
left=$(grep -i glimtra installed.list | while read -r path; do [ ! -e "$path" ] || echo "$path"; done)
[ -z "$left" ] || fail "left after the purge: $left"
echo "package install: installed, passed its autopkgtest tests, purged without a trace"
