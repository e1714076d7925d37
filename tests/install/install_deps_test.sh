#!/bin/sh
# What tools/install-deps finds missing, from what stand-ins for dpkg-query, apt-get and sudo report: a
# package of another architecture only, a name only another package provides, a version below the minimum,
# and all present, when apt must not be called. The relations are the script's own, as apt was asked for
# them with nothing installed, so the test follows its lists as they grow.
# Usage: install_deps_test.sh SCRATCH_DIR
set -eu
script=$(cd "$(dirname "$0")/../.." && pwd)/tools/install-deps
rm -rf "$1" && mkdir -p "$1/bin" && cd "$1"
# dpkg-query reports status; apt-get notes each call in calls, and what satisfy is asked for in apt. stat
# hides the machine's apt locks: another apt at work here must not make the script wait.
printf '#!/bin/sh\ncat "%s/status"\n' "$PWD" >bin/dpkg-query
# Its simulation (-s) fails for relations among which is one that the file unsatisfiable names, as apt's
# does for a package that a release lists but cannot install.
cat >bin/apt-get <<EOF
#!/bin/sh
echo "\$*" >>"$PWD/calls"
for r; do :; done
[ "\$1" = -s ] && { ! echo "\$r" | sed 's/, /\\n/g' | grep -qxFf "$PWD/unsatisfiable" 2>/dev/null; exit; }
[ "\$1" = satisfy ] || exit 0
echo "\$r" >>"$PWD/apt"
EOF
printf '#!/bin/sh\nexec "$@"\n' >bin/sudo
printf '#!/bin/sh\necho none\n' >bin/stat
chmod +x bin/*
fail() { echo "install-deps test: $*" >&2; exit 1; }
# What apt-get satisfy was asked for, given these dpkg-query lines: each relation once, one a line (the
# lists share some).
asked() {
  printf '%s\n' "$1" >status && : >apt && : >calls
  PATH=$PWD/bin:$PATH "$script" ${set:-test} >out 2>&1 || { cat out >&2; fail "tools/install-deps ${set:-test} failed"; }
  sed 's/, /\n/g' apt | sort -u
}

wanted=$(asked "")
[ -n "$wanted" ] || fail "with nothing installed, apt was asked for nothing"
printf '%s\n' "$wanted" >relations
native=$(dpkg --print-architecture)
# Each relation met by its first alternative, installed at the minimum version it names.
present=$(sed 's/ |.*//; s/ (>= \(.*\))$/ \1/' relations |
  awk -v arch="$native" '{ print "installed", arch, $1, ($2 == "" ? "1" : $2) "|" }')
plain=$(grep -v -m 1 ' ' relations)
versioned=$(grep -m 1 '(>=' relations)
with() { printf '%s\n' "$present" | awk -v name="$2" "\$3 == name { $1 } 1"; }

[ -z "$(asked "$present")" ] && [ ! -s calls ] ||
  fail "apt called although everything is installed: $(cat calls)"
other=i386 && [ "$native" != i386 ] || other=amd64
[ "$(asked "$(with "\$2 = \"$other\"" "$plain")")" = "$plain" ] ||
  fail "$plain installed for $other only, yet apt was asked for: '$(cat apt)'"
[ -z "$(asked "$(with "\$3 = \"some-other-package\"; \$4 = \"1|$plain\"" "$plain")")" ] ||
  fail "$plain provided by another package, yet apt was asked for: $(cat apt)"
[ "$(asked "$(with "\$4 = \"0~|\"" "${versioned%% *}")")" = "$versioned" ] ||
  fail "${versioned%% *} below its minimum version, yet apt was asked for: '$(cat apt)'"
# A package that tests alone need, listed by a release that cannot install it (Wine in testing at times):
# the rest is installed, and one line says what is left out.
set=windows
asked "" | grep -qx wine64 || fail "with nothing installed, apt was not asked for wine64"
echo wine64 >unsatisfiable
[ -n "$(asked "")" ] && ! grep -q wine64 apt && [ "$(grep -c wine64 out)" = 1 ] ||
  fail "wine64 cannot be installed, yet apt was asked for '$(cat apt)', saying: $(cat out)"
# A package that is needed, which apt cannot install: the install fails in one line naming it, and nothing
# is installed. The rest of the list, installable, is not named.
printf 'zip\nwine64\n' >unsatisfiable
: >apt
! PATH=$PWD/bin:$PATH "$script" windows >out 2>&1 && [ ! -s apt ] && [ "$(wc -l <out)" = 2 ] &&
  grep -q '^install-deps: apt cannot install zip from' out ||
  fail "zip cannot be installed, yet install-deps asked apt for '$(cat apt)', saying: $(cat out)"
echo "install-deps test: $(wc -l <relations) relations; other architectures, provided names, old versions and an uninstallable optional package seen; a needed one that apt cannot install refused"
