#!/bin/sh
# Checks what one build ships: builds its packages, compares the main
# package's file list with the install rules (no test program and no stand-in
# VM in it), installs it into a scratch prefix, and builds and runs a small C
# program against the installed tavcore alone (find_package everywhere,
# pkg-config on Linux). The native run also lints the manual pages.
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
# Files of an archive or package, one a line, relative to its root.
contents() {
  case $1 in
    *.deb) dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./usr/||' ;;
    *) cmake -E tar tf "$1" ;;
  esac | grep -v -e '/$' -e '^$' | sort
}

rm -rf "$work"
mkdir -p "$work" "$prod/jdk/bin" "$prod/bin"
: > "$log"
case $preset in
  win32) toolchain=$root/cmake/mingw-i686.cmake exe=.exe ;;
  win64) toolchain=$root/cmake/mingw-x86_64.cmake exe=.exe ;;
  *) toolchain= exe= ;;
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
# The MSI of the 32-bit build, before the install below: making it installs
# the components again, which rewrites the build's install manifests.
if [ "$preset" = win32 ]; then
  cmake --build --preset win32 --target msi >> "$log" 2>&1
fi
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
  need="bin/kestrel bin/kestrelw bin/quillan_g bin/gatelet_g lib/libtavcore.so
        include/tavcore.h lib/cmake/tavcore/tavcoreConfig.cmake
        lib/pkgconfig/tavcore.pc share/man/man1/kestrel.1
        share/man/man1/kestrelw.1 share/man/man1/quillan_g.1
        share/man/man1/gatelet_g.1 share/man/man3/tavcore.3
        share/man/man5/vorel.ini.5
        share/doc/norvane-launchers/vorel.ini.sample"
fi
lists_ok=1
main_count=0
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
  if ! diff "$work/manifest" "$work/$name.list" >> "$log"; then
    echo "$name: differs from the install rules" >> "$log"
    lists_ok=0
  fi
  if grep -E 'javai_g|_test|java_stub|tav_host|gtest' "$work/$name.list" \
       >> "$log"; then
    echo "$name: holds a test program or the stand-in VM" >> "$log"
    lists_ok=0
  fi
done
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

# find_package from the installed prefix only.
if cmake -S tests/consumer -B "$work/app" -DCMAKE_BUILD_TYPE=Release \
     ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} \
     -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
     -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$prod/jdk/bin" >> "$log" 2>&1 &&
   grep -qx "tavcore_DIR:PATH=$prefix/lib/cmake/tavcore" \
     "$work/app/CMakeCache.txt" &&
   cmake --build "$work/app" >> "$log" 2>&1; then
  if [ "$bits" = none ]; then
    ok "find_package consumer builds (not run: no Wine for $preset)"
  elif run "$prod/jdk/bin/consumer$exe" >> "$log" 2>&1; then
    ok "find_package consumer builds and runs"
  else
    bad "find_package consumer runs"
  fi
else
  bad "find_package consumer builds"
fi

# What each shipped Windows file says about itself, read back through
# GetFileVersionInfo from the unpacked zips: the version of the build, the
# product, a description of its own, its file name, and the manifest of a
# program (asInvoker, five supported Windows versions). Every program and
# library in the zips has its row.
if [ -n "$toolchain" ] && [ "$bits" != none ]; then
  cat > "$work/verinfo.table" <<'EOF'
bin/kestrel.exe|Norvane Debug VM Loader (console)|asInvoker 5
bin/kestrelw.exe|Norvane Debug VM Loader (GUI)|asInvoker 5
bin/quillan_g.exe|Norvane key tool launcher|asInvoker 5
bin/gatelet_g.exe|Norvane CGI gateway launcher|asInvoker 5
bin/tavcore.dll|Norvane environment library|none
standin/javai_g.dll|Stand-in Java VM library for dry runs|none
EOF
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
              "$build/CMakeCache.txt")
  version=$(echo "$version.0.0.0" | cut -d. -f1-4)
  while IFS='|' read -r file description manifest; do
    name=${file##*/}
    echo "$name|$version|$version|$version|$version|Norvane Launchers|$description|$name|$manifest"
  done < "$work/verinfo.table" > "$work/verinfo.want"
  mkdir -p "$work/shipped"
  for zip in "$build"/packages/*.zip; do
    (cd "$work/shipped" && cmake -E tar xf "$zip") >> "$log" 2>&1
  done
  (cd "$work/shipped" && find . -name '*.exe' -o -name '*.dll') |
    sed 's|^\./||' | sort > "$work/verinfo.shipped"
  (cd "$work/shipped" &&
   timeout 300 "$root/cmake/wine-run.sh" "$bits" "$prod/jdk/bin/verinfo.exe" \
     $(cut -d'|' -f1 "$work/verinfo.table") < /dev/null 2>> "$log") |
    tr -d '\r' > "$work/verinfo.got"
  if cut -d'|' -f1 "$work/verinfo.table" | sort |
       diff - "$work/verinfo.shipped" >> "$log" &&
     diff "$work/verinfo.want" "$work/verinfo.got" >> "$log"; then
    ok "version resources of the shipped files"
  else
    bad "version resources of the shipped files"
  fi
fi

# pkg-config, where there is one.
if [ -z "$toolchain" ]; then
  if flags=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig \
               pkg-config --cflags --libs tavcore 2>> "$log") &&
     cc -Wall -o "$prod/jdk/bin/consumer-pc" tests/consumer/consumer.c \
       $flags >> "$log" 2>&1 &&
     LD_LIBRARY_PATH=$prefix/lib run "$prod/jdk/bin/consumer-pc" \
       >> "$log" 2>&1; then
    ok "pkg-config consumer builds and runs"
  else
    bad "pkg-config consumer builds and runs"
  fi
fi
finish
