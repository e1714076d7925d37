#!/bin/sh
# Installs the game into a scratch prefix, moves the installation, and starts it as a desktop user would:
# through its launcher, from another folder, under Xvfb. The window must appear, and Escape must end the
# game with status 0.
# Usage: install_test.sh BUILD_DIR SCRATCH_DIR BINDIR DATADIR   (both relative to the prefix: bin, share)
set -eu
build=$1
scratch=$2
bindir=$3
datadir=$4

xvfb=""
game=""
# Each kill may find its process gone already; that must not stop the rest under set -e.
cleanup() {
  if [ -n "$game" ]; then kill "$game" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch/elsewhere"
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" || fail "cmake --install failed"
# Nothing may depend on the prefix the files were installed under.
mv "$scratch/prefix" "$scratch/moved"
launcher=$scratch/moved/$bindir/glimtra
[ -x "$launcher" ] || fail "no launcher at $launcher"
share=$scratch/moved/$datadir
[ -f "$share/applications/se.glimtra.Glimtra.desktop" ] || fail "no desktop entry under $share/applications"
[ -f "$share/metainfo/se.glimtra.Glimtra.metainfo.xml" ] || fail "no metainfo under $share/metainfo"
ls "$share"/icons/hicolor/*/apps/se.glimtra.Glimtra.png >/dev/null 2>&1 || fail "no icon under $share/icons"
pictures=$(find "$share/glimtra/pix" -name '*.bmp' | wc -l)
[ "$pictures" -eq 18 ] || fail "$pictures of the game's 18 pictures installed"

Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$scratch/display" ] && break
  sleep 0.1
done
[ -s "$scratch/display" ] || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
DISPLAY=":$(cat "$scratch/display")"
export DISPLAY
unset SDL_VIDEODRIVER

# From a folder without pix/, so that only the launcher can have found the pictures.
cd "$scratch/elsewhere"
"$launcher" >"$scratch/game.log" 2>&1 &
game=$!

window=""
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^Glimtra$' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  kill -0 "$game" 2>/dev/null || fail "the game ended before its window appeared: $(cat "$scratch/game.log")"
  sleep 0.1
done
[ -n "$window" ] || fail "no Glimtra window within 20 s"

xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 100); do
  kill -0 "$game" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$game" 2>/dev/null && fail "the game still runs 10 s after Escape"
status=0
wait "$game" || status=$?
game=""
[ "$status" -eq 0 ] || fail "the game exited with status $status: $(cat "$scratch/game.log")"
echo "install test: the installed game opened its window and quit on Escape"
