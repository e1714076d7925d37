#!/bin/sh
# Checks an installed launcher's own options, and that the version it prints is the one of CMake's
# project(), debian/changelog and the metainfo's newest release alike.
# Usage: check_launcher.sh LAUNCHER PROJECT_VERSION DEBIAN_CHANGELOG METAINFO
set -eu
launcher=$1
version=$2
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failures=0
fail() {
  echo "launcher: $*" >&2
  failures=$((failures + 1))
}
# run ARG: the launcher with one argument, its output in $out and $err, its exit status in $status. Without
# a display the game itself could only fail, so a status of 0 shows that the launcher answered alone.
run() {
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 10 "$launcher" "$1" >"$out" 2>"$err" || status=$?
}

run --version
[ "$status" -eq 0 ] || fail "--version exited with status $status: $(cat "$err")"
[ "$(cat "$out")" = "glimtra $version" ] || fail "--version printed '$(cat "$out")'; project() says $version"
[ ! -s "$err" ] || fail "--version wrote to stderr: $(cat "$err")"

packaged=$(dpkg-parsechangelog -l "$3" -S Version | sed 's/-[^-]*$//')
[ "$packaged" = "$version" ] || fail "debian/changelog is at $packaged; project() says $version"
released=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$4" | head -n 1)
[ "$released" = "$version" ] || fail "the metainfo's newest release is '$released'; project() says $version"

run --help
[ "$status" -eq 0 ] || fail "--help exited with status $status: $(cat "$err")"
grep -q '^Usage: glimtra' "$out" || fail "--help printed no usage: $(cat "$out")"
[ ! -s "$err" ] || fail "--help wrote to stderr: $(cat "$err")"

for wrong in --no-such-option extra; do
  run "$wrong"
  [ "$status" -eq 2 ] || fail "'$wrong' gave status $status, not 2: $(cat "$err")"
  [ ! -s "$out" ] || fail "'$wrong' wrote to stdout: $(cat "$out")"
  if [ "$(wc -l <"$err")" -ne 1 ] || ! grep -q -- "'$wrong'.*--help" "$err"; then
    fail "'$wrong' did not get one line naming it and pointing to --help: $(cat "$err")"
  fi
done

[ "$failures" -eq 0 ] || exit 1
echo "launcher: $launcher answers --version ($version), --help and wrong arguments"
