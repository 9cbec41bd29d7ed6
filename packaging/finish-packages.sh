#!/bin/sh
# Run after CPack has made the packages of a build (cmake/finish-packages.cmake):
# writes each .zip and .tar.gz again so that its bytes depend on its files
# alone (members sorted by name, owner root, modes u=rwX,go=rX, every time
# SOURCE_DATE_EPOCH), with its bill of materials at its root
# (<archive name>.spdx.json, packaging/sbom.cmake). The .deb set is built
# from the source tree by dpkg-buildpackage (debian/), not from these.
#
#   finish-packages.sh SOURCE-DIR OUTPUT-DIR PACKAGE...
#
# SOURCE_DATE_EPOCH comes from the install that CPack ran before
# (cmake/source-date-epoch.cmake). NORVANE_VERSION, the version, and
# NORVANE_LINK_MAPS, the folder of the link maps, come from
# cmake/finish-packages.cmake. NORVANE_DEBUG_TREE, when set, names the
# debug files of the shipped files (packaging/prepare-files.sh): a zip of
# their own beside Windows zips.
set -eu
src=$1
out=$2
shift 2
: "${SOURCE_DATE_EPOCH:?is not set}"
: "${NORVANE_VERSION:?is not set}" "${NORVANE_LINK_MAPS:?is not set}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

debug=${NORVANE_DEBUG_TREE:-}
[ -n "$debug" ] && [ -d "$debug" ] || debug=

# The debug zip, <package>-debug.zip, is written again below like the others.
case " $* " in
  *".zip "*)
    if [ -n "$debug" ]; then
      debug_zip=$out/$(basename "$debug").zip
      rm -f "$debug_zip"
      (cd "$debug" && zip -q -r "$debug_zip" .)
      set -- "$@" "$debug_zip"
    fi ;;
esac
for package in "$@"; do
  case $package in
    *.zip | *.tar.gz) ;;
    *) continue ;;
  esac
  rm -rf "$work/tree" "$work/new"
  mkdir "$work/tree"
  (cd "$work/tree" && cmake -E tar xf "$package")
  # The bill of materials of the files as they are packed; the package is
  # named without its version (norvane-launchers-win32-standin).
  file=$(basename "$package")
  base=${file%.zip}
  base=${base%.tar.gz}
  name=${base%%-"$NORVANE_VERSION"-*}${base#*-"$NORVANE_VERSION"}
  cmake -DDIRS="$work/tree" -DNAME="$name" -DVERSION="$NORVANE_VERSION" \
    -DMAPS="$NORVANE_LINK_MAPS" -DPACKAGE_FILE="$file" \
    -DOUTPUT="$work/tree/$base.spdx.json" -P "$src/packaging/sbom.cmake"
  chmod -R u=rwX,go=rX "$work/tree"
  find "$work/tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  case $package in
    *.zip)
      (cd "$work/tree" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort |
         TZ=UTC0 zip -X -y -q -9 -@ "$work/new.zip")
      mv "$work/new.zip" "$package" ;;
    *.tar.gz)
      (cd "$work/tree" &&
         LC_ALL=C tar -c --sort=name --format=gnu --owner=root:0 \
           --group=root:0 -f - $(LC_ALL=C ls -A)) | gzip -n -9 > "$work/new"
      mv "$work/new" "$package" ;;
  esac
done
