#!/bin/sh
# Checks that a rebuild gives the same bytes: clones the last commit twice,
# into two folders of different names and depths, builds the packages of
# each shipping preset in both (without tests), and compares every package
# and every built program and library with cmp. diffoscope explains a
# difference in build/rebuild/<preset>-<file>.diff.
#
#   scripts/rebuild-check.sh [PRESET...]        (native and win32 by default)
#
# Prints "ok: ..." or "FAILED: ..." and exits 0 when every file matches.
# Only committed work is checked.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
presets=${*:-native win32}
scratch=$root/build/rebuild
log=$scratch/log
start=$(date +%s)

rm -rf "$scratch"
mkdir -p "$scratch/second/copy"
: > "$log"
commit=$(git rev-parse HEAD)
copies="$scratch/first $scratch/second/copy/tree"
built=1
for copy in $copies; do
  git clone -q --shared --no-checkout "$root" "$copy" >> "$log" 2>&1 &&
    git -C "$copy" checkout -q --detach "$commit" >> "$log" 2>&1 || built=0
  for preset in $presets; do
    [ "$built" -eq 1 ] || break
    (cd "$copy" &&
       cmake --preset "$preset" -DBUILD_TESTING=OFF &&
       cmake --build --preset "$preset" --target package &&
       if [ "$preset" = win32 ]; then
         cmake --build --preset win32 --target msi
       fi) \
      >> "$log" 2>&1 || built=0
  done
done
if [ "$built" -eq 0 ]; then
  echo "FAILED: rebuild of $presets: a build failed (see ${log#"$root"/})"
  exit 1
fi

# Every package and every file the build put into bin/, by its place.
set -- $copies
first=$1
second=$2
files=0
differ=
for preset in $presets; do
  for file in $(cd "$first/build/$preset" &&
                find packages bin -maxdepth 1 -type f | LC_ALL=C sort); do
    files=$((files + 1))
    if ! cmp "$first/build/$preset/$file" "$second/build/$preset/$file" \
           >> "$log" 2>&1; then
      differ="$differ $preset/$file"
      out=$scratch/$preset-$(basename "$file").diff
      diffoscope --text "$out" "$first/build/$preset/$file" \
        "$second/build/$preset/$file" > /dev/null 2>&1
      head -n 40 "$out" 2> /dev/null
    fi
  done
  # A file made by one build alone is a difference as well.
  for dir in packages bin; do
    diff -r -q -x _CPack_Packages "$first/build/$preset/$dir" \
      "$second/build/$preset/$dir" >> "$log" 2>&1 ||
      differ="$differ $preset/$dir"
  done
done
seconds=$(($(date +%s) - start))
if [ "$files" -eq 0 ]; then
  echo "FAILED: rebuild of $presets: no package was built" \
       "(see ${log#"$root"/})"
  exit 1
elif [ -n "$differ" ]; then
  echo "FAILED: rebuild of $presets in another folder differs:$differ" \
       "(see build/rebuild/*.diff)"
  exit 1
fi
echo "ok: rebuild of $presets in another folder: $files files" \
     "byte-identical (${seconds} s)"
