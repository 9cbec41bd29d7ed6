#!/bin/sh
# Checks what one build ships: builds its packages, compares the main
# package's file list with the install rules (no test program and no stand-in
# VM in it), installs it into a scratch prefix, and builds and runs a small C
# program against the installed tavcore alone (find_package everywhere,
# pkg-config on Linux). The native run also lints the manual pages (sources
# and installed tree), runs lintian on every .deb, and builds the C program
# against the files of the .deb set too.
#
#   tests/consumer/run.sh native
#   tests/consumer/run.sh win32 32      # run the program under 32-bit Wine
#   tests/consumer/run.sh win32 none    # build the program, do not run it
#
# Prints one line per check, then "consumer PRESET: N passed, N failed".
set -u
cd "$(dirname "$0")/../.."
root=$(pwd)
preset=$1
bits=${2:-}
build=$root/build/$preset
work=$build/consumer
log=$work/log
prefix=$work/prefix
prod=$work/product
passed=0
failed=0

ok() {
  echo "ok: $1"
  passed=$((passed + 1))
}
bad() {
  echo "FAILED: $1 (see ${log#"$root"/})"
  failed=$((failed + 1))
}
finish() {
  echo "consumer $preset: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
# Files of an archive or package, one a line, relative to its root; a .deb
# by the names of the install tree (manual pages uncompressed, without the
# copyright file and changelog that each .deb has).
contents() {
  case $1 in
    *.deb) dpkg-deb -c "$1" | awk '{print $6}' |
             sed -e 's|^\./usr/||' -e 's|^\(share/man/.*\)\.gz$|\1|' |
             grep -v -E '^share/doc/[^/]+/(copyright|changelog\.gz)$' ;;
    *) cmake -E tar tf "$1" ;;
  esac | grep -v -e '/$' -e '^$' | sort
}

rm -rf "$work"
mkdir -p "$work" "$prod/jdk/bin" "$prod/bin"
: > "$log"
case $preset in
  win32) toolchain=$root/cmake/mingw-i686.cmake exe=.exe ;;
  win64) toolchain=$root/cmake/mingw-x86_64.cmake exe=.exe ;;
  *) toolchain= exe= ma=$(cc -print-multiarch) ;;
esac

if [ -z "$toolchain" ]; then
  if mandoc -T lint -W warning man/*.[1-9] >> "$log" 2>&1; then
    ok "manual pages lint clean"
  else
    bad "manual pages lint clean"
  fi
fi

# Packages left from an earlier run would be checked too.
rm -rf "$build/packages"
if ! cmake --build --preset "$preset" --target package >> "$log" 2>&1 ||
   ! cmake --install "$build" --prefix "$prefix" --component launchers \
       >> "$log" 2>&1; then
  bad "packages built and installed"
  finish
fi

# The file lists: every main package holds exactly what the install rules
# put into the prefix, the things a caller needs among them, and nothing of
# the tests or the stand-in VM; the stand-in package holds the VM alone.
sed "s|^$prefix/||" "$build/install_manifest_launchers.txt" | sort \
  > "$work/manifest"
if [ -n "$toolchain" ]; then
  need="bin/kestrel.exe bin/kestrelw.exe bin/quillan_g.exe bin/gatelet_g.exe
        bin/tavcore.dll lib/libtavcore.dll.a lib/tavcore.def include/tavcore.h
        lib/cmake/tavcore/tavcoreConfig.cmake man/kestrel.1.html
        man/quillan_g.1.html man/gatelet_g.1.html man/tavcore.3.html
        man/vorel.ini.5.html doc/README.md doc/vorel.ini.sample"
else
  need="bin/kestrel bin/kestrelw bin/quillan_g bin/gatelet_g
        lib/$ma/libtavcore.so lib/$ma/libtavcore.so.0 lib/$ma/libtavcore.so.0.5
        include/tavcore.h lib/$ma/cmake/tavcore/tavcoreConfig.cmake
        lib/$ma/pkgconfig/tavcore.pc share/man/man1/kestrel.1
        share/man/man1/kestrelw.1 share/man/man1/quillan_g.1
        share/man/man1/gatelet_g.1 share/man/man3/tavcore.3
        share/man/man5/vorel.ini.5
        share/doc/norvane-launchers/vorel.ini.sample"
fi
lists_ok=1
main_count=0
: > "$work/debs.list"
for pkg in "$build"/packages/*.zip "$build"/packages/*.tar.gz \
           "$build"/packages/*.deb; do
  [ -f "$pkg" ] || continue
  name=$(basename "$pkg")
  contents "$pkg" > "$work/$name.list"
  case $name in
    *standin*)
      if ! grep -q javai_g "$work/$name.list" ||
         [ "$(wc -l < "$work/$name.list")" -ne 1 ]; then
        echo "$name: not the stand-in VM alone" >> "$log"
        lists_ok=0
      fi
      continue ;;
  esac
  main_count=$((main_count + 1))
  # The .deb set splits the main package: compared as one, below.
  case $name in
    *.deb) cat "$work/$name.list" >> "$work/debs.list"
           name=debs ;;
  esac
  if grep -E 'javai_g|_test|java_stub|tav_host|gtest' "$work/$name.list" \
       >> "$log"; then
    echo "$name: holds a test program or the stand-in VM" >> "$log"
    lists_ok=0
  fi
  [ "$name" != debs ] || continue
  if ! diff "$work/manifest" "$work/$name.list" >> "$log"; then
    echo "$name: differs from the install rules" >> "$log"
    lists_ok=0
  fi
done
# Every installed file in exactly one .deb.
if [ -s "$work/debs.list" ]; then
  sort "$work/debs.list" > "$work/debs.sorted"
  if ! diff "$work/manifest" "$work/debs.sorted" >> "$log"; then
    echo ".deb set: differs from the install rules" >> "$log"
    lists_ok=0
  fi
fi
for f in $need; do
  if ! grep -qx "$f" "$work/manifest"; then
    echo "missing from the install: $f" >> "$log"
    lists_ok=0
  fi
done
if [ "$main_count" -eq 0 ]; then
  echo "no main package" >> "$log"
  lists_ok=0
fi
if [ "$lists_ok" -eq 1 ]; then
  ok "package file lists"
else
  bad "package file lists"
fi

# Linux: the .deb set as Debian's tools judge it, and the installed manual
# pages, kestrelw's page a link to kestrel's.
if [ -z "$toolchain" ]; then
  debs=0
  version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
  for name in libtavcore0 libtavcore-dev norvane-launchers \
              norvane-launchers-standin; do
    [ -f "$build/packages/${name}_${version}_$(dpkg --print-architecture).deb" ] &&
      debs=$((debs + 1))
  done
  lintian "$build"/packages/*.deb > "$work/lintian" 2>&1
  status=$?
  grep -v '^running with root privileges' "$work/lintian" >> "$log"
  if [ "$debs" -eq 4 ] && [ "$status" -eq 0 ] &&
     ! grep -qv '^running with root privileges' "$work/lintian"; then
    ok "lintian on the four .debs: no errors, no warnings"
  else
    bad "lintian on the four .debs: no errors, no warnings"
  fi
  man=$prefix/share/man
  if mandoc -T lint -W warning "$man"/man*/* >> "$log" 2>&1 &&
     [ "$(readlink "$man/man1/kestrelw.1")" = kestrel.1 ] &&
     dpkg-deb -c "$build"/packages/norvane-launchers_*.deb |
       grep -q 'man1/kestrelw\.1\.gz -> kestrel\.1\.gz$'; then
    ok "installed manual pages lint clean, kestrelw.1 a link"
  else
    bad "installed manual pages lint clean, kestrelw.1 a link"
  fi
fi

# The product folder: the program in jdk/bin, its settings file in bin.
printf '[Environment]\nConsumer_Check = seen %%Consumer_In%%\nClassPath = %%@P%%\n' \
  > "$prod/bin/vorel.ini"

run() {
  if [ -n "$toolchain" ]; then
    timeout 300 cmake/wine-run.sh "$bits" "$@" < /dev/null
  else
    "$@" < /dev/null
  fi
}

# Builds the C program against the tavcore of one prefix alone (its library
# folder LIB) with find_package and, on Linux, pkg-config, and runs it from
# the product folder.
consumers() {
  from=$1
  lib=$2
  what=$3
  rm -rf "$work/app"
  if cmake -S tests/consumer -B "$work/app" -DCMAKE_BUILD_TYPE=Release \
       ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} \
       -DCMAKE_PREFIX_PATH="$from" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
       -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$prod/jdk/bin" >> "$log" 2>&1 &&
     grep -qx "tavcore_DIR:PATH=$from/$lib/cmake/tavcore" \
       "$work/app/CMakeCache.txt" &&
     cmake --build "$work/app" >> "$log" 2>&1; then
    if [ "$bits" = none ]; then
      ok "find_package consumer builds$what (not run: no Wine for $preset)"
    elif run "$prod/jdk/bin/consumer$exe" >> "$log" 2>&1; then
      ok "find_package consumer builds and runs$what"
    else
      bad "find_package consumer runs$what"
    fi
  else
    bad "find_package consumer builds$what"
  fi

  # pkg-config, where there is one.
  [ -z "$toolchain" ] || return 0
  if flags=$(PKG_CONFIG_PATH=$from/$lib/pkgconfig \
               pkg-config --cflags --libs tavcore 2>> "$log") &&
     cc -Wall -o "$prod/jdk/bin/consumer-pc" tests/consumer/consumer.c \
       $flags >> "$log" 2>&1 &&
     LD_LIBRARY_PATH=$from/$lib run "$prod/jdk/bin/consumer-pc" \
       >> "$log" 2>&1; then
    ok "pkg-config consumer builds and runs$what"
  else
    bad "pkg-config consumer builds and runs$what"
  fi
}

if [ -n "$toolchain" ]; then
  consumers "$prefix" lib ""
else
  consumers "$prefix" "lib/$ma" ""
  # The same from the files of the .deb set (but the stand-in), unpacked.
  for deb in "$build"/packages/*.deb; do
    case $deb in
      *standin*) ;;
      *) dpkg-deb -x "$deb" "$work/debroot" ;;
    esac
  done
  consumers "$work/debroot/usr" "lib/$ma" " (.deb set)"
fi
finish
