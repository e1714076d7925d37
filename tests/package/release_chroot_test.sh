#!/bin/sh
# tools/release-chroot and tools/check-release-build without the network: a tiny system (a shell, env,
# mkdir and stand-ins for apt-get and make) put into a cache of the test's own as the tarball of a fresh
# trixie. A fresh system is made from it, not bootstrapped, and carries this machine's certificate
# authorities; one more than a day old is bootstrapped again; commands run in it with /proc mounted for
# them alone; and the release check fails when make test built no Windows zip there (the SDL releases
# missing beside the clone), and passes when it did. Needs root; exits with 77 otherwise.
# Usage: release_chroot_test.sh SCRATCH_DIR
set -eu
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: makes systems with chroot and mounts, so it runs only as root"
  exit 77
fi
# Inside a system that is itself a chroot (as make test runs in CI's fresh systems), / is no mount point,
# and no mount namespace of private mounts can be made for the systems' /proc.
if ! unshare --mount --propagation private true 2>/dev/null; then
  echo "skipped: no mount namespace with private mounts here (a chroot?), which release-chroot run needs"
  exit 77
fi
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
rm -rf "$1" && mkdir -p "$1" && cd "$1" && scratch=$(pwd)
fail() { echo "release-chroot test: $*" >&2; exit 1; }
export GLIMTRA_CHROOT_CACHE="$scratch/cache" TMPDIR="$scratch"

# The tiny system: programs with the libraries they load, at the same paths.
mkdir -p base/usr/bin base/proc base/sys base/dev base/etc base/root base/tmp cache bin
for program in /bin/sh /usr/bin/env /bin/mkdir; do
  cp -L "$program" "base/usr/bin/$(basename "$program")"
  ldd "$program" | sed -n 's|.* => \(/[^ ]*\) .*|\1|p; s|^[[:space:]]*\(/[^ ]*\) .*|\1|p' |
    while read -r library; do cp -L --parents "$library" base/; done
done
ln -s usr/bin base/bin
printf '#!/bin/sh\nexit 0\n' >base/usr/bin/apt-get
# make test as far as Windows goes: the zip where the SDL releases are beside the clone, else a skip.
cat >base/usr/bin/make <<'EOF'
#!/bin/sh
for release in ../shared/third_party/SDL2-*; do
  [ -e "$release" ] && mkdir -p build-windows && : >build-windows/Glimtra-0.0.0-win64.zip && exit 0
done
echo "skipped: no SDL releases"
EOF
chmod 755 base/usr/bin/*
# Its root as mktemp -d makes a folder, closed to others.
chmod 700 base
tar -C base -cf cache/trixie.tar .
# The network is not to be used: a bootstrap only notes that it was asked for, and makes the tiny system.
cat >bin/debootstrap <<EOF
#!/bin/sh
echo "\$1 \$2" >>"$scratch/bootstraps"
mkdir -p "\$3" && cp -a "$scratch/base/." "\$3/"
EOF
chmod 755 bin/debootstrap
PATH=$scratch/bin:$PATH
export PATH

# A fresh system from the tarball: this machine's certificate authorities in it, its root open to all. A
# machine without authorities of its own is given one, for release-chroot alone, in a mount namespace.
cas=/usr/local/share/ca-certificates
if [ -n "$(ls "$cas" 2>/dev/null)" ]; then
  "$tools/release-chroot" new trixie sys || fail "release-chroot new failed"
else
  mkdir -p authorities && echo "a company's authority" >authorities/company.crt
  unshare --mount --propagation private sh -c 'mount -t tmpfs none /usr/local/share && mkdir "$1" &&
    mount --bind authorities "$1" && exec "$2" new trixie sys' sh "$cas" "$tools/release-chroot" ||
    fail "release-chroot new failed"
  cas=authorities
fi
[ ! -e bootstraps ] || fail "bootstrapped although the tarball is fresh: $(cat bootstraps)"
[ -x sys/usr/bin/make ] || fail "the fresh system is not the tarball's"
[ "$(stat -c %a sys)" = 755 ] || fail "the fresh system's root has the mode $(stat -c %a sys)"
diff -r "$cas" sys/usr/local/share/ca-certificates ||
  fail "the fresh system does not carry this machine's certificate authorities"
cafile=$(npm config get cafile 2>/dev/null || true)
if [ -f "$cafile" ]; then
  cmp "$cafile" "sys$cafile" || fail "the fresh system does not carry npm's cafile $cafile"
  grep -qx "cafile=$cafile" "sys$(npm config get globalconfig)" || fail "npm in the fresh system is not told its cafile"
fi

# Commands in it see its /proc, which is gone from this machine's mounts when they end.
[ "$("$tools/release-chroot" run sys sh -c 'read -r _ </proc/self/stat && echo ran')" = ran ] ||
  fail "release-chroot run did not run a command with /proc in the system"
! grep -q " $scratch/sys/" /proc/self/mountinfo || fail "mounts of the system left after the command"

# A tarball more than a day old is bootstrapped again, once.
touch -d '2 days ago' cache/trixie.tar
"$tools/release-chroot" new trixie sys2 && [ "$(wc -l <bootstraps)" = 1 ] && [ -x sys2/usr/bin/make ] ||
  fail "a tarball two days old was not bootstrapped again once: $(cat bootstraps 2>/dev/null)"

# The release check from clones of a repository with the release tools: with the SDL releases beside it,
# without them, and with their folder but not the releases.
for side in with without empty; do
  mkdir -p "$side/glimtra"
  cp -R "$tools" "$side/glimtra/"
  git -C "$side/glimtra" init -q && git -C "$side/glimtra" add tools &&
    git -C "$side/glimtra" -c user.name=test -c user.email=test@localhost commit -qm tools
done
mkdir -p with/shared/third_party empty/shared/third_party && : >with/shared/third_party/SDL2-2.32.10.tar.xz
with/glimtra/tools/check-release-build trixie >out 2>&1 || { cat out; fail "the release check failed with the SDL releases"; }
for side in without empty; do
  if $side/glimtra/tools/check-release-build trixie >out 2>err; then
    cat out err
    fail "the release check passed although no Windows zip could be built ($side SDL releases)"
  fi
  [ "$(wc -l <err)" = 1 ] && grep -q 'Windows zip' err ||
    fail "the release check failed without one line saying why: $(cat err)"
done
echo "release-chroot test: a fresh system from a fresh tarball with this machine's certificate authorities," \
  "an old one bootstrapped again, a command run in it, and the release check failed without a Windows zip"
