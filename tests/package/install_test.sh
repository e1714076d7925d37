#!/bin/sh
# Installs the package for real with apt-get, as a player would, plays a round with /usr/games/glimtra,
# then purges it and checks that dpkg knows nothing of it and that none of its files is left. It changes
# the machine, so it runs only as root with CI set (as .ci/run does); otherwise it is skipped.
# Usage: install_test.sh DEB_DIR E2E_PROGRAM PROJECT_VERSION DEBIAN_CHANGELOG METAINFO
set -eu
if [ "$(id -u)" -ne 0 ] || [ -z "${CI:-}" ]; then
  echo "package install: skipped; it installs into this machine, so it runs only as root with CI set"
  exit 77
fi
deb=$(ls "$(cd "$1" && pwd)"/glimtra_*.deb)
e2e=$2
here=$(cd "$(dirname "$0")" && pwd)
log=$(pwd)/apt.log
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

DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$log" 2>&1 ||
  fail "apt-get install $deb failed: $(tail -n 20 "$log")"
dpkg -L glimtra >installed.list

"$here/check_launcher.sh" /usr/games/glimtra "$3" "$4" "$5"
# The menu entry's command, looked up as a player's session does (Debian's default PATH for users).
entry=/usr/share/applications/se.glimtra.Glimtra.desktop
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
found=$(PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games command -v "$command") || true
[ "$found" = /usr/games/glimtra ] || fail "the menu entry runs '$command', which a player's PATH finds as '$found'"
if command -v man >/dev/null; then
  page=$(man -w glimtra) || fail "man glimtra finds no page"
  echo "package install: man glimtra shows $page"
fi
GLIMTRA_LAUNCHER=/usr/games/glimtra "$e2e" || fail "the installed game did not play its round"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q glimtra >>"$log" 2>&1 || fail "apt-get purge failed: $(tail -n 20 "$log")"
purged=1
if dpkg -L glimtra >/dev/null 2>&1; then fail "dpkg -L still lists glimtra after the purge"; fi
[ "$(state)" = not-installed ] || fail "dpkg still has glimtra as '$(state)' after the purge"
# Folders such as /usr/share/icons/hicolor/48x48/apps are shared with other packages; everything named
# after the game is its own.
left=$(grep -i glimtra installed.list | while read -r path; do [ ! -e "$path" ] || echo "$path"; done)
[ -z "$left" ] || fail "left after the purge: $left"
echo "package install: installed, played from /usr/games/glimtra, purged without a trace"
