#!/bin/sh
# tools/new-version on a copy of the places the version lives: a raise writes one version and date to all,
# which --check then finds agreeing and appstreamcli valid; one place changed alone is found; and a bad
# version, one not above the last (as numbers: 1.0.10 is above 1.0.9), or a failure on the way is refused
# in one line, with every file as it was.
# Usage: new_version_test.sh SCRATCH_DIR
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$1" && mkdir -p "$1/bin" && cd "$1"
fail() {
  echo "new-version test: $*" >&2
  exit 1
}
fresh() {
  rm -rf tree && mkdir tree
  (cd "$src" && cp --parents tools/new-version CMakeLists.txt NEWS debian/changelog dist/glimtra.6 \
    dist/se.glimtra.Glimtra.metainfo.xml dist/windows/glimtra.manifest "$OLDPWD/tree")
}
# Every file and folder of the copy, with the contents' hashes: a leftover temporary shows too.
state() { (cd tree && find . -type d | LC_ALL=C sort && find . -type f -exec sha256sum {} + | LC_ALL=C sort); }
tool=tree/tools/new-version
unset DEBFULLNAME DEBEMAIL

fresh
now=$($tool --check) || fail "the tree's own places disagree"
set -- $now
major=${1%%.*} last_day=$(echo "$2" | tr -d '()')
signer=$(dpkg-parsechangelog -l tree/debian/changelog -S Maintainer)
# A day after the last release, at 10:00 UTC.
SOURCE_DATE_EPOCH=$(($(date -u -d "$last_day" +%s) + 34 * 3600))
export SOURCE_DATE_EPOCH
day=$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)

raised() {
  $tool "$1" --sv "Svar & frågor <$1>" --en "Answers & questions <$1>" >out 2>&1 || fail "$1 refused: $(cat out)"
  [ "$($tool --check)" = "$1 ($day)" ] || fail "after $1, --check says: $($tool --check 2>&1)"
  entry=$(for field in Version Distribution Maintainer Date; do
    dpkg-parsechangelog -l tree/debian/changelog -S $field
  done)
  [ "$entry" = "$(printf '%s\n' "$1-1" unstable "$signer" "$(date -u -d "@$SOURCE_DATE_EPOCH" -R)")" ] ||
    fail "the changelog entry of $1 is: $entry"
  grep -qF "Svenska: Svar & frågor <$1>" tree/NEWS || fail "NEWS lacks the Swedish text of $1"
  grep -qF "<p xml:lang=\"sv\">Svar &amp; frågor &lt;$1&gt;</p>" tree/dist/se.glimtra.Glimtra.metainfo.xml ||
    fail "the metainfo lacks the Swedish text of $1"
  "$src/tests/install/validate_metainfo.sh" tree/dist/se.glimtra.Glimtra.metainfo.xml >out 2>&1 ||
    fail "the metainfo with $1 does not validate: $(cat out)"
}
refused() {
  before=$(state)
  if $tool "$@" --sv "Svar" --en "Answers" >out 2>&1; then fail "'$*' was taken"; fi
  [ "$(wc -l <out)" -eq 1 ] || fail "'$*' was refused in $(wc -l <out) lines: $(cat out)"
  [ "$(state)" = "$before" ] || fail "'$*' was refused, but files changed: $(cat out)"
}

a=$((major + 1))
raised "$a.0.9"
refused "$a.0.9"
raised "$a.0.10"
refused "$a.0.9"
raised "$a.1.0"
refused "$a.0.11"
raised "$((a + 1)).0.0"
refused "$a.9.9"
for bad in "" "$a.2" "$a.2.0.1" "v$((a + 2)).0.0" "$((a + 2)).0.x" "0$((a + 2)).0.0" "$((a + 2)).0.0-1" \
  " $((a + 2)).0.0" "$((a + 2)).0.1234567890"; do
  refused "$bad"
done
refused "$((a + 2)).0.0" --date 2026-02-30
refused "$((a + 2)).0.0" --date "$(date -u -d "$day - 1 day" +%F)"
# Whatever fails on the way, before anything moves in: dch, or the check of the metainfo.
for stage in dch appstreamcli; do
  printf '#!/bin/sh\necho "%s: stopped by the test"\nexit 1\n' "$stage" >bin/$stage && chmod +x bin/$stage
  PATH=$PWD/bin:$PATH refused "$((a + 2)).0.0"
  rm bin/$stage
done

# Each place on its own, its version or its date changed: --check names it, and no raise follows.
v=$((a + 1)).0.0 other=$((a + 1)).0.1 later=$(date -u -d "$day + 1 day" +%F)
for plant in "CMakeLists.txt|s/VERSION $v /VERSION $other /" "debian/changelog|1s/($v-1)/($other-1)/" \
  "debian/changelog|0,/^ -- /s/$(date -u -d "$day" '+%d %b %Y')/$(date -u -d "$later" '+%d %b %Y')/" \
  "dist/se.glimtra.Glimtra.metainfo.xml|s/version=\"$v\"/version=\"$other\"/" \
  "dist/se.glimtra.Glimtra.metainfo.xml|s/date=\"$day\"/date=\"$later\"/" \
  "NEWS|s/^Glimtra $v /Glimtra $other /" "NEWS|s/^Glimtra $v ($day)/Glimtra $v ($later)/" \
  "dist/glimtra.6|s/\"glimtra $v\"/\"glimtra $other\"/" "dist/glimtra.6|s/^\.TH GLIMTRA 6 $day /.TH GLIMTRA 6 $later /" \
  "dist/windows/glimtra.manifest|s/version=\"$v.0\"/version=\"$other.0\"/"; do
  file=${plant%%|*}
  cp "tree/$file" planted.orig
  sed -i "${plant#*|}" "tree/$file"
  ! cmp -s planted.orig "tree/$file" || fail "the plant '${plant#*|}' changed nothing in $file"
  if $tool --check >out 2>&1; then fail "--check missed '${plant#*|}' in $file"; fi
  grep -q "$(basename "$file")\|metainfo" out || fail "--check did not name $file: $(cat out)"
  refused "$((a + 2)).0.0"
  mv planted.orig "tree/$file"
done
$tool --check >/dev/null || fail "the places disagree after the plants were taken back"
echo "new-version: raised to $a.0.9, $a.0.10, $a.1.0 and $v; refused the rest and found each planted disagreement"
