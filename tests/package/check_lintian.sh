#!/bin/sh
# lintian, pedantic, on the built packages (the .changes names the source package and the .deb beside it):
# no tag at all but those overridden with their reason in debian/. Two kinds of tag are not counted where a
# newer lintian has them, and the output names them:
# - those that only say which release the package targets: it follows Debian 12 (Standards-Version 4.6.2,
#   debhelper compat 13, and the Priority and Rules-Requires-Root fields that Debian 12's tools still ask
#   for), so the lintian of Debian testing reports them;
# - appstream-metadata-validation-failed, where the build names no homepage (GLIMTRA_HOMEPAGE; the project
#   holds no domain): AppStream 1.x, and so the lintian of Debian 13 and later, fails the metainfo for that
#   alone, which install_metainfo checks is all.
# Usage: check_lintian.sh CHANGES
set -eu
metainfo=./usr/share/metainfo/se.glimtra.Glimtra.metainfo.xml
deb=$(ls "$(dirname "$1")"/glimtra_*.deb | head -n 1)
uncounted=""
# Debian 12's lintian is 2.116; it reports none of these for the release the package targets.
version=$(lintian --version | sed -n 's/^Lintian v//p')
if dpkg --compare-versions "$version" ge 2.117; then
  uncounted="out-of-date-standards-version package-uses-old-debhelper-compat-version
    redundant-priority-optional-field redundant-rules-requires-root-no-field"
fi
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "$metainfo" | grep -q '<url type="homepage">' ||
  uncounted="$uncounted appstream-metadata-validation-failed"
# Only tags this lintian knows: it refuses to suppress any other.
suppress=""
for tag in $uncounted; do
  if lintian-explain-tags "$tag" >/dev/null 2>&1; then suppress="${suppress:+$suppress,}$tag"; fi
done
[ -z "$suppress" ] || echo "lintian $version: not counted (the comment in tests/package/check_lintian.sh says why): $suppress"
exec lintian --pedantic --display-info --fail-on error,warning,info,pedantic ${suppress:+--suppress-tags "$suppress"} "$1"
