#!/bin/sh
# Checks what one build ships: builds its packages, compares the main
# package's file list with the install rules (no test program and no stand-in
# VM in it), installs it into a scratch prefix, and builds and runs a small C
# program against the installed tavcore alone (find_package everywhere,
# pkg-config on Linux), and checks the bill of materials in every package
# (check-sbom.sh). The native run also lints the manual pages (sources
# and installed tree) and checks the .deb set that dpkg-buildpackage made
# (scripts/debian-check.sh, in NORVANE_DEBS, by default build/debian/one):
# its file lists, lintian, hardening, debug files, and the C program built
# against its files too.
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
report="consumer $preset"
. "$root/scripts/check-report.sh"

# Files of an archive or package, one a line, relative to its root, without
# its bill of materials (at the root of an archive); a .deb by the names of
# the install tree (manual pages uncompressed, without the copyright file,
# changelog and bill of materials that each .deb has).
contents() {
  case $1 in
    *.deb) dpkg-deb -c "$1" | awk '{print $6}' |
             sed -e 's|^\./usr/||' -e 's|^\(share/man/.*\)\.gz$|\1|' \
                 -e 's|^\(share/doc/[^/]*/README\.md\)\.gz$|\1|' |
             grep -v -E \
               '^share/doc/([^/]+)/(copyright|changelog\.gz|\1\.spdx\.json)$' ;;
    *) sbom=$(basename "$1" | sed -E 's/\.(zip|tar\.gz)$//').spdx.json
       cmake -E tar tf "$1" | grep -v -x -F "$sbom" ;;
  esac | grep -v -e '/$' -e '^$' | sort
}

rm -rf "$work"
mkdir -p "$work" "$prod/jdk/bin" "$prod/bin"
: > "$log"
debdir=/nonexistent
case $preset in
  win32) toolchain=$root/cmake/mingw-i686.cmake exe=.exe ;;
  win64) toolchain=$root/cmake/mingw-x86_64.cmake exe=.exe ;;
  *) toolchain= exe= ma=$(cc -print-multiarch)
     debdir=${NORVANE_DEBS:-$root/build/debian/one} ;;
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
debug_zip=
: > "$work/debs.list"
for pkg in "$build"/packages/*.zip "$build"/packages/*.tar.gz \
           "$debdir"/*.deb; do
  [ -f "$pkg" ] || continue
  name=$(basename "$pkg")
  contents "$pkg" > "$work/$name.list"
  case $name in
    # Debug files alone: the -dbgsym .debs hold them by build id beside a
    # link to their package's doc folder; the debug zip is checked below.
    *-dbgsym_*.deb)
      if grep -v -x -E 'lib/debug/\.build-id/[0-9a-f]{2}/[0-9a-f]+\.debug|share/doc/[^/]+-dbgsym' \
           "$work/$name.list" >> "$log" ||
         ! grep -q '\.debug$' "$work/$name.list"; then
        echo "$name: holds more than debug files" >> "$log"
        lists_ok=0
      fi
      continue ;;
    *-debug.zip)
      debug_zip=$work/$name.list
      continue ;;
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
# Windows: the debug zip holds one <file>.debug for each shipped program and
# library, and nothing else.
if [ -n "$toolchain" ]; then
  cat "$work"/*.zip.list | grep -E '\.(exe|dll)$' | sed 's/$/.debug/' |
    sort > "$work/debug.want"
  if [ -z "$debug_zip" ] || ! diff "$work/debug.want" "$debug_zip" >> "$log"
  then
    echo "debug zip: not one .debug for each shipped .exe and .dll" >> "$log"
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

# The bill of materials of every package, the MSI's too; and the check
# refuses a main archive with a file changed and one with a file missing.
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
                    "$build/CMakeCache.txt")
# Debian's build dates its files by the changelog's top entry; the others
# by the last commit.
deb_epoch=$(dpkg-parsechangelog -l debian/changelog -S Timestamp 2> /dev/null)
for pkg in "$build"/packages/*.zip "$build"/packages/*.tar.gz \
           "$debdir"/*.deb "$build"/packages/*.msi; do
  case $pkg in *-dbgsym_*.deb) continue ;; esac
  [ -f "$pkg" ] || continue
  case $pkg in
    *.deb) epoch=$deb_epoch ;;
    *) epoch=${SOURCE_DATE_EPOCH:-} ;;
  esac
  if SOURCE_DATE_EPOCH=$epoch \
       tests/consumer/check-sbom.sh "$project_version" "$pkg" 2>> "$log"; then
    ok "bill of materials of $(basename "$pkg")"
  else
    bad "bill of materials of $(basename "$pkg")"
  fi
done
refused=0
tampered=0
for pkg in "$build"/packages/*.zip "$build"/packages/*.tar.gz; do
  case $pkg in *standin* | *-debug.zip) continue ;; esac
  [ -f "$pkg" ] || continue
  name=$(basename "$pkg")
  first=$(head -n 1 "$work/$name.list")
  for how in change remove; do
    rm -rf "$work/tamper"
    mkdir -p "$work/tamper/tree" "$work/tamper/out"
    (cd "$work/tamper/tree" && cmake -E tar xf "$pkg")
    if [ "$how" = change ]; then
      echo >> "$work/tamper/tree/$first"
    else
      rm "$work/tamper/tree/$first"
    fi
    case $name in
      *.zip) create=cf format=zip ;;
      *) create=czf format=gnutar ;;
    esac
    (cd "$work/tamper/tree" &&
       cmake -E tar $create "$work/tamper/out/$name" --format=$format -- *)
    tampered=$((tampered + 1))
    echo "$name with its first file ${how}d (must be refused):" >> "$log"
    tests/consumer/check-sbom.sh "$project_version" "$work/tamper/out/$name" \
      2>> "$log" || refused=$((refused + 1))
  done
done
if [ "$tampered" -gt 0 ] && [ "$refused" -eq "$tampered" ]; then
  ok "bill of materials check refuses a changed file and a missing one"
else
  bad "bill of materials check refuses a changed file and a missing one"
fi

# Linux: the .deb set as Debian's tools judge it (information tags only,
# none of them an unneeded section of a binary), and the installed manual
# pages, kestrelw's page a link to kestrel's.
if [ -z "$toolchain" ]; then
  debs=0
  version=$(dpkg-parsechangelog -l debian/changelog -S Version)
  for name in libtavcore0 libtavcore-dev norvane-launchers \
              norvane-launchers-standin libtavcore0-dbgsym \
              norvane-launchers-dbgsym norvane-launchers-standin-dbgsym; do
    [ -f "$debdir/${name}_${version}_$(dpkg --print-architecture).deb" ] &&
      debs=$((debs + 1))
  done
  lintian -I "$debdir"/*.deb > "$work/lintian" 2>&1
  status=$?
  grep -v '^running with root privileges' "$work/lintian" >> "$log"
  if [ "$debs" -eq 7 ] && [ "$status" -eq 0 ] &&
     ! grep -v -e '^running with root privileges' -e '^I: ' "$work/lintian" |
       grep -q . &&
     ! grep -q 'binary-has-unneeded-section' "$work/lintian"; then
    ok "lintian -I on the seven .debs: no errors, no warnings, no unneeded sections"
  else
    bad "lintian -I on the seven .debs: no errors, no warnings, no unneeded sections"
  fi
  man=$prefix/share/man
  if mandoc -T lint -W warning "$man"/man*/* >> "$log" 2>&1 &&
     [ "$(readlink "$man/man1/kestrelw.1")" = kestrel.1 ] &&
     dpkg-deb -c "$debdir"/norvane-launchers_*.deb |
       grep -q 'man1/kestrelw\.1\.gz -> kestrel\.1\.gz$'; then
    ok "installed manual pages lint clean, kestrelw.1 a link"
  else
    bad "installed manual pages lint clean, kestrelw.1 a link"
  fi
fi

# The debug files. Linux: each shipped ELF file is stripped and finds its
# .debug by its build id in its package's -dbgsym, which holds no other
# (a package without ELF files has none), and gdb reads a stripped
# program's source lines from that file alone.
build_id() {
  LC_ALL=C readelf -n "$1" 2> /dev/null | sed -n 's/^ *Build ID: *//p'
}
if [ -z "$toolchain" ]; then
  rm -rf "$work/debs"
  mkdir "$work/debs"
  for deb in "$debdir"/*.deb; do
    dpkg-deb -x "$deb" "$work/debs/$(basename "$deb" | cut -d_ -f1)" \
      >> "$log" 2>&1
  done
  elf_ok=1
  elves=0
  for tree in "$work"/debs/*; do
    case $tree in *-dbgsym) continue ;; esac
    found=0
    for f in $(find "$tree" -type f | sort); do
      [ "$(od -An -tx1 -N4 "$f" | tr -d ' \n')" = 7f454c46 ] || continue
      found=$((found + 1))
      id=$(build_id "$f")
      dbg=$tree-dbgsym/usr/lib/debug/.build-id/$(echo "$id" | cut -c1-2)
      dbg=$dbg/$(echo "$id" | cut -c3-).debug
      if [ -z "$id" ] || [ "$(build_id "$dbg")" != "$id" ] ||
         LC_ALL=C readelf -S "$f" | grep -q -E '\.(symtab|comment|debug_)'
      then
        echo "${f#"$work"/}: not stripped, or no $dbg" >> "$log"
        elf_ok=0
      fi
    done
    have=$(find "$tree-dbgsym" -name '*.debug' 2> /dev/null | wc -l)
    if [ "$have" -ne "$found" ]; then
      echo "$tree-dbgsym: $have debug files for $found ELF files" >> "$log"
      elf_ok=0
    fi
    elves=$((elves + found))
  done
  if [ "$elf_ok" -eq 1 ] && [ "$elves" -gt 0 ]; then
    ok "every shipped ELF file stripped, its build id's .debug in its -dbgsym"
  else
    bad "every shipped ELF file stripped, its build id's .debug in its -dbgsym"
  fi
  # Without the debug file there is no line to show.
  kestrel=$work/debs/norvane-launchers/usr/bin/kestrel
  gdb_line() {
    gdb -nx -batch -iex 'set debuginfod enabled off' \
      -iex "set debug-file-directory $1" -ex 'info line main' "$kestrel" \
      2>&1 | tee -a "$log" | grep -E '^Line [0-9]+ of "'
  }
  if gdb_line "$work/debs/norvane-launchers-dbgsym/usr/lib/debug" |
       grep -q '"\./loader/entry_console\.cc"' &&
     [ -z "$(gdb_line "$work/no-debug")" ]; then
    ok "gdb shows kestrel's source lines from its -dbgsym alone"
  else
    bad "gdb shows kestrel's source lines from its -dbgsym alone"
  fi
fi

# Windows: each shipped .exe and .dll is stripped and its .gnu_debuglink
# names its file of the debug zip, beside it, with that file's CRC-32 (the
# one gzip records).
crc32() {
  gzip -c < "$1" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' \n'
}
if [ -n "$toolchain" ]; then
  objcopy=$(sed -n 's/^CMAKE_OBJCOPY:FILEPATH=//p' "$build/CMakeCache.txt")
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
  rm -rf "$work/pe" "$work/pe-debug"
  mkdir -p "$work/pe" "$work/pe-debug"
  for zip in "$build"/packages/*.zip; do
    case $zip in
      *-debug.zip) (cd "$work/pe-debug" && cmake -E tar xf "$zip") ;;
      *) (cd "$work/pe" && cmake -E tar xf "$zip") ;;
    esac
  done >> "$log" 2>&1
  links_ok=1
  pes=0
  for rel in $(cd "$work/pe" && find . -name '*.exe' -o -name '*.dll' |
               sed 's|^\./||' | sort); do
    pes=$((pes + 1))
    rm -f "$work/link"
    "$objcopy" --dump-section .gnu_debuglink="$work/link" "$work/pe/$rel" \
      "$work/link.pe" >> "$log" 2>&1
    size=$(wc -c < "$work/link" 2> /dev/null || echo 0)
    # The name, padded with NUL bytes, then the CRC in the last four.
    name=$(head -c $((size - 4)) "$work/link" 2> /dev/null | tr -d '\000')
    dbg=$work/pe-debug/$(dirname "$rel")/$name
    if [ "$size" -lt 8 ] || [ "$name" != "${rel##*/}.debug" ] ||
       [ ! -f "$dbg" ] ||
       [ "$(tail -c 4 "$work/link" | od -An -tx4 | tr -d ' \n')" != \
         "$(crc32 "$dbg")" ] ||
       "$objdump" -h "$work/pe/$rel" | grep -q ' \.debug_'; then
      echo "$rel: not stripped, or no debug link to its file" >> "$log"
      links_ok=0
    fi
  done
  if [ "$links_ok" -eq 1 ] && [ "$pes" -gt 0 ]; then
    ok "every shipped .exe and .dll stripped, linked to its file of the debug zip by name and CRC"
  else
    bad "every shipped .exe and .dll stripped, linked to its file of the debug zip by name and CRC"
  fi
fi

# The MSI's tables: Add/Remove Programs offers no change and gets the
# install folder from a type-51 action between CostFinalize and
# RegisterProduct; the features carry the attributes that wixl drops
# (Launchers 16 + 8, StandIn 8). Its cabinet holds the zips' files, byte for
# byte.
if [ "$preset" = win32 ]; then
  msi=$(find "$build/packages" -name '*.msi' | head -n 1)
  table() {
    msiinfo export "$msi" "$1" 2>> "$log" | tr -d '\r' | tee -a "$log"
  }
  # The columns (numbers from 1) of the row whose first column is KEY.
  field() {
    file=$1
    key=$2
    shift 2
    awk -F'\t' -v key="$key" -v cols="$*" '
      BEGIN { n = split(cols, col, " ") }
      $1 == key { for (i = 1; i <= n; i++) printf "%s%s", (i > 1 ? " " : ""), $col[i]
                  print "" }' "$work/$file"
  }
  for name in Property CustomAction InstallExecuteSequence Feature; do
    [ -z "$msi" ] || table $name > "$work/$name"
  done
  if [ -n "$msi" ] && [ "$(field Property ARPNOMODIFY 2)" = 1 ] &&
     [ "$(field CustomAction SetARPINSTALLLOCATION 2 3 4)" = \
       "51 ARPINSTALLLOCATION [INSTALLDIR]" ] &&
     [ -z "$(field InstallExecuteSequence SetARPINSTALLLOCATION 2)" ] &&
     [ "$(field InstallExecuteSequence SetARPINSTALLLOCATION 3)" -gt \
       "$(field InstallExecuteSequence CostFinalize 3)" ] &&
     [ "$(field InstallExecuteSequence SetARPINSTALLLOCATION 3)" -lt \
       "$(field InstallExecuteSequence RegisterProduct 3)" ] &&
     [ "$(field Feature Launchers 8)" = 24 ] &&
     [ "$(field Feature StandIn 8)" = 8 ]; then
    ok "MSI tables: ARPNOMODIFY, ARPINSTALLLOCATION after CostFinalize, feature attributes"
  else
    bad "MSI tables: ARPNOMODIFY, ARPINSTALLLOCATION after CostFinalize, feature attributes"
  fi
  rm -rf "$work/msi-files"
  if [ -n "$msi" ] &&
     msiextract -C "$work/msi-files" "$msi" > /dev/null 2>> "$log" &&
     diff -r -x '*.spdx.json' "$work/msi-files/Program Files/Norvane/Launchers" "$work/pe" \
       >> "$log" 2>&1; then
    ok "MSI holds the zips' files byte for byte"
  else
    bad "MSI holds the zips' files byte for byte"
  fi
fi

# The hardening of every shipped program and library, in the files of the
# packages. hardening-check finds the stack protector and the fortified
# functions by what a file imports from the C library, so a stripped file
# shows them; a library is no PIE. lintian -I names no hardening tag.
hard=$work/hardening
if [ -z "$toolchain" ]; then
  mkdir -p "$hard/deb" "$hard/tgz"
  for pkg in "$debdir"/*.deb; do
    dpkg-deb -x "$pkg" "$hard/deb"
  done
  for pkg in "$build"/packages/*.tar.gz; do
    tar -xzf "$pkg" -C "$hard/tgz"
  done
  hard_ok=1
  elves=0
  # The debug files of the -dbgsym .debs are no programs. Libraries are
  # searched beside the program or nowhere, in the build tree too: an empty
  # RUNPATH entry would name the current folder.
  for f in $(find "$hard" "$build/bin" -type f ! -path '*/usr/lib/debug/*' |
             LC_ALL=C sort); do
    [ "$(head -c 4 "$f" | od -An -c | tr -d ' ')" = 177ELF ] || continue
    runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p')
    case $runpath in
      '' | '$ORIGIN') ;;
      *) echo "$f: RUNPATH '$runpath'" >> "$log"
         hard_ok=0 ;;
    esac
    case $f in "$hard"/*) ;; *) continue ;; esac
    elves=$((elves + 1))
    hardening-check "$f" > "$hard/report" 2>&1
    cat "$hard/report" >> "$log"
    for feature in 'Position Independent Executable' 'Stack protected' \
                   'Fortify Source functions' 'Read-only relocations' \
                   'Immediate binding'; do
      verdict=$(sed -n "s/^ $feature: //p" "$hard/report")
      case $feature:$verdict in
        *:yes*) ;;
        Position*:'no, regular shared library (ignored)') ;;
        *) echo "${f#"$hard"/}: $feature: $verdict" >> "$log"
           hard_ok=0 ;;
      esac
    done
  done
  # Four programs and two libraries, in the .deb set and in the archives.
  if [ "$hard_ok" -eq 1 ] && [ "$elves" -eq 12 ]; then
    ok "hardening-check: every shipped ELF file hardened; RUNPATH \$ORIGIN or none"
  else
    echo "ELF files checked: $elves" >> "$log"
    bad "hardening-check: every shipped ELF file hardened; RUNPATH \$ORIGIN or none"
  fi
  lintian -I "$debdir"/*.deb > "$hard/lintian" 2>&1
  status=$?
  if [ "$status" -eq 0 ] && ! grep ' hardening-' "$hard/lintian" >> "$log"; then
    ok "lintian -I on the .debs: no hardening tag"
  else
    bad "lintian -I on the .debs: no hardening tag"
  fi
else
  # Windows: the header flags of address-space randomization and no
  # execution from data (a 64-bit file over the whole address space, a
  # 32-bit one with no exception handlers to call), the DLLs that the file
  # imports, and calls of the stack protector's failure in the build's
  # unstripped copy, whose code the shipped file holds byte for byte.
  # A 32-bit file says it has no exception handlers: none is registered
  # through %fs:0 anywhere in its code.
  case $preset in
    win32) tools=i686-w64-mingw32 flags="DYNAMIC_BASE NX_COMPAT NO_SEH" ;;
    *) tools=x86_64-w64-mingw32 flags="HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT" ;;
  esac
  mkdir -p "$hard"
  for zip in "$build"/packages/*.zip; do
    (cd "$hard" && cmake -E tar xf "$zip") >> "$log" 2>&1
  done
  hard_ok=1
  files=0
  for f in $(cd "$hard" && find . -name '*.exe' -o -name '*.dll' |
               LC_ALL=C sort); do
    files=$((files + 1))
    shipped=$hard/$f
    built=$build/bin/${f##*/}
    $tools-objdump -p "$shipped" > "$hard/headers"
    sed -n '/^DllCharacteristics/,/^[^[:space:]]/s/^[[:space:]]\{1,\}//p' \
      "$hard/headers" > "$hard/flags"
    for flag in $flags; do
      grep -qx "$flag" "$hard/flags" ||
        { echo "$f: no $flag" >> "$log"; hard_ok=0; }
    done
    others=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$hard/headers" |
             grep -v -i -x -E 'kernel32\.dll|msvcrt\.dll|javai_g\.dll')
    [ -z "$others" ] || { echo "$f imports $others" >> "$log"; hard_ok=0; }
    $tools-objcopy -O binary -j .text "$shipped" "$hard/shipped.text" &&
      $tools-objcopy -O binary -j .text "$built" "$hard/built.text" &&
      cmp -s "$hard/shipped.text" "$hard/built.text" ||
      { echo "$f: code differs from $built" >> "$log"; hard_ok=0; }
    $tools-objdump -d "$built" > "$hard/code"
    grep -q 'call .*<_*__stack_chk_fail>$' "$hard/code" ||
      { echo "$f: no stack protector" >> "$log"; hard_ok=0; }
    if [ "$preset" = win32 ] && grep '%fs:0x0' "$hard/code" >> "$log"; then
      echo "$f: registers an exception handler" >> "$log"
      hard_ok=0
    fi
  done
  # Four programs and two libraries.
  if [ "$hard_ok" -eq 1 ] && [ "$files" -eq 6 ]; then
    ok "every shipped Windows file hardened: $flags, stack protector"
  else
    echo "Windows files checked: $files" >> "$log"
    bad "every shipped Windows file hardened: $flags, stack protector"
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
  for deb in "$debdir"/*.deb; do
    case $deb in
      *standin*) ;;
      *) dpkg-deb -x "$deb" "$work/debroot" ;;
    esac
  done
  consumers "$work/debroot/usr" "lib/$ma" " (.deb set)"
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
    case $zip in *-debug.zip) continue ;; esac
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

# The MSI under 32-bit Wine, in a prefix of this check's own: installed with
# the stand-in feature, it holds the files of the zips in their layout and
# kestrel runs from it against the stand-in; installed again it is still one
# product; removed, it leaves no file. A later version made from the same
# tree then replaces it.
msi_wine() {
  WINEPREFIX=$work/wine-msi timeout 300 "$root/cmake/wine-run.sh" 32 "$@" \
    < /dev/null
}
# The number of products named like ours in Add/Remove Programs, and the
# version of the last one.
msi_entries() {
  msi_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
    /s 2>> "$log" | tr -d '\r' |
    awk '/^HKEY/ { name = ""; version = "" }
         /DisplayName +REG_SZ +Norvane Launchers$/ { n++; name = 1 }
         /DisplayVersion +REG_SZ/ { version = $3 }
         name && version { last = version; name = "" }
         END { print n + 0, last }'
}
# The install folder that Add/Remove Programs shows for our product.
msi_location() {
  msi_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
    /s 2>> "$log" | tr -d '\r' |
    awk 'function out() { if (name) print location }
         /^HKEY/ { out(); name = 0; location = "" }
         /DisplayName +REG_SZ +Norvane Launchers$/ { name = 1 }
         /InstallLocation +REG_SZ/ {
           location = $0; sub(/^.*InstallLocation +REG_SZ +/, "", location) }
         END { out() }'
}
# The installed folder relative to drive C: (Program Files (x86) on a
# 64-bit prefix), or nothing when there is none; its files, one a line.
msi_folder() {
  for pf in "Program Files (x86)" "Program Files"; do
    if [ -d "$work/wine-msi/drive_c/$pf/Norvane" ]; then
      echo "$pf/Norvane/Launchers"
      return
    fi
  done
}
msi_files() {
  (cd "$work/wine-msi/drive_c/$1" && find . -type f) | sed 's|^\./||' | sort
}
if [ "$preset" = win32 ]; then
  msi=$(find "$build/packages" -name '*.msi' | head -n 1)
  if [ -z "$msi" ]; then
    bad "MSI built"
  elif [ "$bits" = none ]; then
    ok "MSI built (not installed: no 32-bit Wine)"
  else
    # The zips' files but the debug zip's, and the MSI's bill of materials
    # for theirs.
    { ls "$work"/*.zip.list | grep -v -e '-debug\.zip\.list$' | xargs cat
      echo "$(basename "$msi" .msi).spdx.json"; } |
      sort > "$work/msi.want"
    if msi_wine msiexec /i "$msi" /qn ADDLOCAL=Launchers,StandIn \
         >> "$log" 2>&1 &&
       folder=$(msi_folder) && [ -n "$folder" ] &&
       msi_files "$folder" > "$work/msi.got" &&
       diff "$work/msi.want" "$work/msi.got" >> "$log" &&
       win="C:\\$(echo "$folder" | tr / '\\')" &&
       WINEPATH="$win\\standin" msi_wine "$win\\bin\\kestrel.exe" Hello a \
         > "$work/msi.out" 2>&1 &&
       tr -d '\r' < "$work/msi.out" > "$work/msi.run" &&
       grep -qx 'vector count=6' "$work/msi.run" &&
       [ "$(awk '/^arg /{if (++n == 5) print}' "$work/msi.run")" = \
         'arg "Hello"' ]; then
      ok "MSI installs the zips' files and kestrel runs from them"
    else
      cat "$work/msi.out" >> "$log" 2>&1
      bad "MSI installs the zips' files and kestrel runs from them"
    fi
    if [ -n "${folder:-}" ] &&
       [ "$(msi_location)" = "C:\\$(echo "$folder" | tr / '\\')\\" ]; then
      ok "MSI's Add/Remove Programs entry names the install folder"
    else
      msi_location >> "$log"
      bad "MSI's Add/Remove Programs entry names the install folder"
    fi
    if msi_wine msiexec /i "$msi" /qn ADDLOCAL=Launchers,StandIn \
         >> "$log" 2>&1 &&
       [ "$(msi_entries | cut -d' ' -f1)" = 1 ]; then
      ok "MSI installed twice is one product"
    else
      msi_entries >> "$log"
      bad "MSI installed twice is one product"
    fi
    if msi_wine msiexec /x "$msi" /qn >> "$log" 2>&1 &&
       [ -z "$(msi_folder)" ] && [ "$(msi_entries)" = "0 " ]; then
      ok "MSI removed leaves no file or folder"
    else
      find "$work/wine-msi/drive_c" -path '*Norvane*' >> "$log"
      bad "MSI removed leaves no file or folder"
    fi
    # The later version: the third part of the version one higher.
    later=$(sed -n 's/^ *set(VERSION "\(.*\)")$/\1/p' \
              "$build/msi-settings.cmake" |
            awk -F. '{ print $1 "." $2 "." $3 + 1 "." $4 }')
    if cmake -DSETTINGS="$build/msi-settings.cmake" -DVERSION="$later" \
         -DOUTPUT="$work/later.msi" -DWORK_DIR="$work/msi-later" \
         -P packaging/windows/msi.cmake >> "$log" 2>&1 &&
       msi_wine msiexec /i "$msi" /qn ADDLOCAL=StandIn >> "$log" 2>&1 &&
       msi_wine msiexec /i "$work/later.msi" /qn ADDLOCAL=Launchers,StandIn \
         >> "$log" 2>&1 &&
       [ "$(msi_entries)" = "1 $later" ] &&
       folder=$(msi_folder) && [ -n "$folder" ] &&
       msi_files "$folder" > "$work/msi.later" &&
       diff "$work/msi.want" "$work/msi.later" >> "$log" &&
       msi_wine msiexec /x "$work/later.msi" /qn >> "$log" 2>&1 &&
       [ -z "$(msi_folder)" ]; then
      ok "MSI of a later version replaces the earlier one"
    else
      msi_entries >> "$log"
      bad "MSI of a later version replaces the earlier one"
    fi
    # The prefix is large; the log keeps what a failure needs.
    WINEPREFIX=$work/wine-msi wineserver -k 2> /dev/null
    rm -rf "$work/wine-msi"
  fi
fi

finish
