#!/bin/sh
# Builds the .deb set from the two archives of a Linux build, with Debian's
# own tools (dpkg-shlibdeps, dpkg-gensymbols, dpkg-gencontrol, dpkg-deb):
#   libtavcore0                libtavcore.so.0 and the file it names
#   libtavcore-dev             tavcore.h, the libtavcore.so link, the CMake
#                              package, tavcore.pc, tavcore(3)
#   norvane-launchers          the programs, their manual pages, README and
#                              the sample settings file
#   norvane-launchers-standin  the stand-in VM library, alone
# Every package gets the copyright file and the changelog; manual pages are
# compressed. Every time in the packages is SOURCE_DATE_EPOCH. Given the
# tree of debug files that packaging/prepare-files.sh split off, each
# package with ELF files gets its <package>-dbgsym as well. Each package
# holds its bill of materials, usr/share/doc/<package>/<package>.spdx.json
# (../sbom.cmake; a -dbgsym, which may hold debug files alone, has none),
# with the link maps of the build in NORVANE_LINK_MAPS.
#
#   SOURCE_DATE_EPOCH=... NORVANE_LINK_MAPS=<build>/link-maps \
#     build-debs.sh OUTDIR MAIN.tar.gz STANDIN.tar.gz [DEBUG-TREE]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$1
main=$2
standin=$3
debug=${4:-}
: "${SOURCE_DATE_EPOCH:?}"
: "${NORVANE_LINK_MAPS:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ma=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=usr/lib/$ma

# The changelog gives the packages' version; it must be the project's.
version=$(dpkg-parsechangelog -l "$here/changelog" -S Version)
case $(basename "$main") in
  *-"$version"-*) ;;
  *) echo "build-debs: changelog version $version is not the project's" \
          "($(basename "$main"))" >&2
     exit 1 ;;
esac

mkdir -p "$work/tree/usr" "$work/pkg/norvane-launchers-standin/usr"
tar -xzf "$main" -C "$work/tree/usr"
tar -xzf "$standin" -C "$work/pkg/norvane-launchers-standin/usr"
# Each .deb gets a bill of materials of its own, not the archive's.
rm "$work"/tree/usr/*.spdx.json "$work"/pkg/*/usr/*.spdx.json

# Moves files and folders of the archive's tree into a package.
take() {
  pkg=$1
  shift
  for path in "$@"; do
    mkdir -p "$work/pkg/$pkg/$(dirname "$path")"
    mv "$work/tree/$path" "$work/pkg/$pkg/$path"
  done
}
cd "$work/tree"
take libtavcore0 "$lib"/libtavcore.so.0 "$lib"/libtavcore.so.0.*
take libtavcore-dev usr/include "$lib"/libtavcore.so "$lib"/cmake "$lib"/pkgconfig \
  usr/share/man/man3
take norvane-launchers usr/bin usr/share/man usr/share/doc/norvane-launchers
left=$(find . ! -type d)
if [ -n "$left" ]; then
  echo "build-debs: in no package: $left" >&2
  exit 1
fi

cd "$work"
mkdir debian
cp "$here/control" "$here/changelog" debian/
for pkg in libtavcore0 libtavcore-dev norvane-launchers \
           norvane-launchers-standin; do
  dir=$work/pkg/$pkg
  mkdir -p "$dir/DEBIAN" "$dir/usr/share/doc/$pkg"
  cp "$here/copyright" "$dir/usr/share/doc/$pkg/"
  gzip -n -9 < "$here/changelog" > "$dir/usr/share/doc/$pkg/changelog.gz"
  if [ -d "$dir/usr/share/man" ]; then
    find "$dir/usr/share/man" -type f -exec gzip -n -9 {} +
    find "$dir/usr/share/man" -type l | while read -r link; do
      target=$(readlink "$link")
      rm "$link"
      ln -s "$target.gz" "$link.gz"
    done
  fi
  find "$dir" -type d -exec chmod 755 {} +
  find "$dir" -type f -exec chmod 644 {} +
  [ ! -d "$dir/usr/bin" ] || chmod 755 "$dir"/usr/bin/*
done

# The library: its symbols checked against the list kept here, the ldconfig
# trigger, and the shlibs line for packages that link it.
dir=$work/pkg/libtavcore0
dpkg-gensymbols -q -c4 -plibtavcore0 -P"$dir" -I"$here/libtavcore0.symbols" \
  -O"$dir/DEBIAN/symbols"
echo "libtavcore 0 libtavcore0 (>= $version)" > "$dir/DEBIAN/shlibs"
echo "activate-noawait ldconfig" > "$dir/DEBIAN/triggers"

# Writes the bill of materials of package NAME, whose tree is DIR, to
# DIR/PATH.
bill() {
  sbom=$1/$3
  mkdir -p "$(dirname "$sbom")"
  cmake -DDIRS="$1" -DNAME="$2" -DVERSION="$version" \
    -DMAPS="$NORVANE_LINK_MAPS" -DOUTPUT="$sbom" \
    -DPACKAGE_FILE="${2}_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb" \
    -P "$here/../sbom.cmake"
  chmod 644 "$sbom"
}

# The debug symbols of PACKAGE's ELF files, as Debian's debhelper ships
# them: PACKAGE-dbgsym holds /usr/lib/debug/.build-id/XX/YYYY.debug for each
# (XX the first byte of the file's GNU build id, YYYY the rest), the debug
# file that has the file's path in the debug tree, and its doc folder is a
# link to PACKAGE's, on which it depends at the same version.
dbgsym() {
  pkg=$1
  shift
  dir=$work/pkg/$pkg-dbgsym
  ids=
  for elf in "$@"; do
    rel=${elf#"$work/pkg/$pkg/usr/"}
    id=$(LC_ALL=C readelf -n "$elf" | sed -n 's/^ *Build ID: *//p')
    if [ -z "$id" ] || [ ! -f "$debug/$rel.debug" ]; then
      echo "build-debs: no build id or debug file for $rel" >&2
      exit 1
    fi
    mkdir -p "$dir/usr/lib/debug/.build-id/${id%"${id#??}"}"
    cp "$debug/$rel.debug" \
      "$dir/usr/lib/debug/.build-id/${id%"${id#??}"}/${id#??}.debug"
    ids="$ids $id"
  done
  mkdir -p "$dir/DEBIAN" "$dir/usr/share/doc"
  ln -s "$pkg" "$dir/usr/share/doc/$pkg-dbgsym"
  find "$dir" -type d -exec chmod 755 {} +
  find "$dir" -type f -exec chmod 644 {} +
  # A -dbgsym holds debug files alone (lintian refuses any other file in
  # it): the bill of materials of its package names what it is built from.
  dpkg-gencontrol -p"$pkg" -P"$dir" -T"$work/$pkg.substvars" \
    -f"$work/files" -DPackage="$pkg-dbgsym" -DDepends="$pkg (= $version)" \
    -DSection=debug -DPriority=optional -DAuto-Built-Package=debug-symbols \
    -DDescription="debug symbols for $pkg" \
    -DBuild-Ids="$(echo $ids | tr ' ' '\n' | LC_ALL=C sort | xargs)"
  (cd "$dir" && find usr -type f | LC_ALL=C sort | xargs md5sum) \
    > "$dir/DEBIAN/md5sums"
  chmod 644 "$dir"/DEBIAN/*
  find "$dir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  dpkg-deb --root-owner-group -Zxz --threads-max=1 -b "$dir" "$out" > /dev/null
}

standin_dir=$work/pkg/norvane-launchers-standin/$lib/norvane-launchers/standin
for pkg in libtavcore0 libtavcore-dev norvane-launchers \
           norvane-launchers-standin; do
  dir=$work/pkg/$pkg
  elves=$(find "$dir/usr" -type f \( -path '*/bin/*' -o -name '*.so*' \))
  : > "$work/$pkg.substvars"
  # The programs need libjavai_g.so, the product's VM library, which no
  # package provides: they find it beside themselves or on the library path.
  # dpkg-shlibdeps is shown the stand-in's copy as part of this build, which
  # has no shlibs, so no dependency comes of it (its warning that the name
  # holds no version is expected: the product names its library so).
  if [ -n "$elves" ]; then
    dpkg-shlibdeps -T"$work/$pkg.substvars" -S"$work/pkg/libtavcore0" \
      -S"$work/pkg/norvane-launchers-standin" -l"$standin_dir" $elves \
      2> "$work/warnings"
    grep -v "library name 'libjavai_g.so'" "$work/warnings" >&2 || true
  fi
  # The bill of materials of the files as they are packed, before the
  # control data (Installed-Size) and md5sums count it.
  bill "$dir" "$pkg" "usr/share/doc/$pkg/$pkg.spdx.json"
  dpkg-gencontrol -p"$pkg" -P"$dir" -T"$work/$pkg.substvars" -f"$work/files"
  (cd "$dir" && find usr -type f | LC_ALL=C sort | xargs md5sum) \
    > "$dir/DEBIAN/md5sums"
  chmod 644 "$dir"/DEBIAN/*
  find "$dir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  dpkg-deb --root-owner-group -Zxz --threads-max=1 -b "$dir" "$out" > /dev/null
  [ -z "$debug" ] || [ -z "$elves" ] || dbgsym "$pkg" $elves
done
