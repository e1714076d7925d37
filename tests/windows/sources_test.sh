#!/bin/sh
# The SDL tarballs are checked before anything is built: one with a byte changed, given through
# SDL2_SOURCE, stops tools/build-windows in one line naming it and both hashes, before any SDL build; and
# where none is at hand, the fetch from a release address (a server on 127.0.0.1 here, through
# SDL_RELEASES_URL) keeps a file with a pinned hash, refuses an altered one leaving no file, and names the
# address when it cannot fetch. Usage: sources_test.sh SCRATCH_DIR; exits with 77 without the tarballs.
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
third_party=$(cd "$src/.." && pwd)/shared/third_party
sdl2=$third_party/SDL2-2.32.10.tar.xz compat=$third_party/sdl12-compat-1.2.76.tar.xz
[ -f "$sdl2" ] && [ -f "$compat" ] || { echo "skipped: no SDL tarballs in $third_party"; exit 77; }
rm -rf "$1" && mkdir -p "$1" && cd "$1"
fail() {
  echo "sources test: $*" >&2
  exit 1
}
hash() { sha256sum <"$1" | cut -d ' ' -f 1; }
# altered FROM TO: a copy with one byte in the middle changed.
altered() {
  cp "$1" "$2" && chmod u+w "$2"
  at=$(($(wc -c <"$2") / 2))
  byte=$(od -A n -t u1 -j "$at" -N 1 "$2" | tr -d ' ')
  printf "\\$(printf %03o $(((byte + 1) % 256)))" | dd of="$2" bs=1 seek="$at" conv=notrunc 2>/dev/null
  ! cmp -s "$1" "$2" || fail "the copy of $1 was not altered"
}
# stopped WHAT CODE NAME...: the last run gave status CODE and one line naming each NAME.
stopped() {
  [ "$status" -eq "$2" ] || fail "$1: status $status, not $2: $(cat err)"
  [ "$(wc -l <err)" -eq 1 ] || [ "$2" -eq 77 ] || fail "$1: not one line: $(cat err)"
  what=$1 && shift 2
  for name; do grep -qF -- "$name" err || fail "$what: '$name' not named: $(cat err)"; done
}

# Through make windows' own script, before it even looks for the compilers.
altered "$sdl2" bad.tar.xz
status=0 && SDL2_SOURCE=$PWD/bad.tar.xz "$src/tools/build-windows" out >/dev/null 2>err || status=$?
stopped "an altered SDL2_SOURCE" 1 "$PWD/bad.tar.xz" "$(hash bad.tar.xz)" "$(hash "$sdl2")"
[ ! -e out/sdl ] || fail "an SDL build began from an altered tarball"

# The fetch, by the script alone, from a copy of the tree with nothing beside it.
mkdir -p tree/tools www/SDL/releases/download/release-2.32.10 www/sdl12-compat/archive/refs/tags
cp "$src/tools/sdl-sources" tree/tools/
served_sdl2=www/SDL/releases/download/release-2.32.10/SDL2-2.32.10.tar.gz
cp "$sdl2" $served_sdl2 && cp "$compat" www/sdl12-compat/archive/refs/tags/release-1.2.76.tar.gz
python3 -c '
import functools, http.server, os, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
with open("port.new", "w") as f:
    f.write(str(server.server_address[1]))
os.rename("port.new", "port")
server.serve_forever()' www 2>server.log &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
tries=0
until [ -s port ]; do
  kill -0 $server 2>/dev/null && [ $tries -lt 600 ] || fail "the test's server did not start: $(cat server.log)"
  tries=$((tries + 1)) && sleep 0.1
done
export SDL_RELEASES_URL=http://127.0.0.1:$(cat port)

status=0 && tree/tools/sdl-sources fetched >given 2>err || status=$?
[ "$status" -eq 0 ] || fail "the fetch from $SDL_RELEASES_URL failed: $(cat err)"
[ "$(hash fetched/SDL2-2.32.10.tar.gz)" = "$(hash "$sdl2")" ] || fail "the fetched SDL 2 is not the one served"
grep -qF "sdl2_tarball='$PWD/fetched/SDL2-2.32.10.tar.gz'" given || fail "the fetched SDL 2 is not the one given: $(cat given)"

altered "$sdl2" $served_sdl2
status=0 && tree/tools/sdl-sources altered >/dev/null 2>err || status=$?
grep -v '^build-windows: fetching ' err >err.last && mv err.last err
stopped "an altered download" 1 "$SDL_RELEASES_URL/${served_sdl2#www/}" "$(hash $served_sdl2)" "$(hash "$sdl2")"
[ -z "$(ls -A altered)" ] || fail "an altered download left files: $(ls -A altered)"

status=0 && SDL_RELEASES_URL=http://127.0.0.1:9/closed tree/tools/sdl-sources none >/dev/null 2>err || status=$?
stopped "an unreachable address" 77 "http://127.0.0.1:9/closed/SDL/releases/download/release-2.32.10/SDL2-2.32.10.tar.gz"
echo "sources: an altered tarball stopped the build; the fetch kept the pinned one and refused an altered one"
