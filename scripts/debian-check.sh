#!/bin/sh
# Debian's own build of the last commit, checked as Debian checks it:
# dpkg-buildpackage -us -uc in two folders of different names and depths
# (the second with DEB_BUILD_OPTIONS=nocheck, which must skip the tests),
# the .debs of both compared byte for byte; lintian -I on the .changes,
# blhc on the build log, and autopkgtest on the null runner with the .debs
# just built, which it installs on this machine and which are purged after.
# The first build's files stay in build/debian/one, where
# tests/consumer/run.sh native checks the .deb set further.
#
#   scripts/debian-check.sh
#
# Prints one line per check, then "debian: N passed, N failed". Only
# committed work is built.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/debian
log=$out/log
report=debian
. "$root/scripts/check-report.sh"

rm -rf "$out"
mkdir -p "$out"
: > "$log"
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
src=norvane-launchers-$version
one=$out/one
two=$out/two/deeper
packages="libtavcore0 libtavcore-dev norvane-launchers norvane-launchers-standin"
as_root=
[ "$(id -u)" -eq 0 ] || as_root=sudo

built=1
for dir in "$one" "$two"; do
  mkdir -p "$dir/$src"
  git archive HEAD | tar -x -C "$dir/$src" || built=0
done
(cd "$one/$src" && dpkg-buildpackage -us -uc) > "$out/build-one.log" 2>&1 ||
  built=0
(cd "$two/$src" && DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc) \
  > "$out/build-two.log" 2>&1 || built=0
debs=0
for name in $packages libtavcore0-dbgsym norvane-launchers-dbgsym \
            norvane-launchers-standin-dbgsym; do
  [ -f "$one/${name}_${version}_$arch.deb" ] && debs=$((debs + 1))
done
changes=$one/norvane-launchers_${version}_$arch.changes
if [ "$built" -eq 1 ] && [ "$debs" -eq 7 ] && [ -f "$changes" ] &&
   [ -f "$one/norvane-launchers_$version.dsc" ] &&
   [ -f "$one/norvane-launchers_$version.tar.xz" ]; then
  ok "dpkg-buildpackage -us -uc: .dsc, source archive, .changes, seven .debs"
else
  tail -n 30 "$out"/build-*.log >> "$log"
  bad "dpkg-buildpackage -us -uc: .dsc, source archive, .changes, seven .debs"
fi

# The tests run in the first build and not in the second.
if grep -q '^100% tests passed' "$out/build-one.log" &&
   ! grep -q 'tests passed' "$out/build-two.log"; then
  ok "the build's tests run, and DEB_BUILD_OPTIONS=nocheck skips them"
else
  bad "the build's tests run, and DEB_BUILD_OPTIONS=nocheck skips them"
fi

same=1
for deb in "$one"/*.deb; do
  [ -f "$deb" ] || { same=0; break; }
  cmp "$deb" "$two/$(basename "$deb")" >> "$log" 2>&1 || same=0
done
if [ "$same" -eq 1 ]; then
  ok "two builds in two folders give byte-identical .debs"
else
  bad "two builds in two folders give byte-identical .debs"
fi

# lintian: no error and no warning, and no pedantic tag either (the README
# would list each one that stays, with its reason).
lintian -I --pedantic "$changes" > "$out/lintian" 2>&1
status=$?
grep -v '^running with root privileges' "$out/lintian" >> "$log"
if [ -f "$changes" ] && [ "$status" -eq 0 ] &&
   ! grep -q -E '^[EWP]: ' "$out/lintian"; then
  ok "lintian -I --pedantic on the .changes: no errors, warnings or pedantic tags"
else
  bad "lintian -I --pedantic on the .changes: no errors, warnings or pedantic tags"
fi

if blhc --bindnow "$out/build-one.log" >> "$log" 2>&1; then
  ok "blhc: every compile and link line has the build flags"
else
  bad "blhc: every compile and link line has the build flags"
fi

# autopkgtest against the installed packages, from the .debs just built.
if $as_root autopkgtest --no-built-binaries "$one"/*.deb "$one/$src" \
     -- null >> "$log" 2>&1; then
  ok "autopkgtest on the null runner: tavcore-consumer, launchers"
else
  bad "autopkgtest on the null runner: tavcore-consumer, launchers"
fi
$as_root apt-get purge -y -q $packages >> "$log" 2>&1

finish
