#!/bin/bash
# The Windows programs in a folder so deep that their path passes the
# 260-byte buffers, with a double-byte character (83 5C in code page 932)
# spanning bytes 259 and 260: cut there, the path would end between two
# characters and name a folder that is not the program's own. quillan_g must
# refuse, and tavcore read no settings file, though every ancestor's bin holds
# one. Wine starts programs this deep only from outside, so this runs on the
# host, under the code page of the Wine prefix it is given.
# Usage: deep_path_test.sh BIN_DIR WORK_DIR WINE_RUN BITS
set -u
bin=$1
work=$2
run=$3
bits=$4
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
failed=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAILED: %s\n  want: %q\n  got:  %q\n' "$1" "$2" "$3"
    failed=$((failed + 1))
  fi
}

# The folder as Windows names it is Z: and the path with "\"; the filler
# makes the double-byte folder start at an odd byte of that name.
dir=$work/
length=$((${#work} + 3))
filler=dddddddddddddddddddddddddddddddddddddddd
while [ $length -lt 200 ]; do
  dir=$dir$filler/
  length=$((length + ${#filler} + 1))
done
if [ $((length % 2)) -eq 0 ]; then
  dir=${dir%/}d/
fi
ancestor=$work
IFS=/
for name in ${dir#"$work"/} ""; do
  mkdir -p "$ancestor/bin"
  printf '[Environment]\r\nTAVK_TRAP=1\r\n' > "$ancestor/bin/vorel.ini"
  ancestor=$ancestor/$name
done
unset IFS
deep=$dir$(printf 'ソ%.0s' $(seq 60))/bin
mkdir -p "$deep"
for f in quillan_g.exe javai_g.dll tav_host.exe tavcore.dll; do
  cp "$bin/$f" "$deep/" || exit 1
done

err=$(JAVAI_G_RECORD="$work/record.txt" "$run" "$bits" "$deep/quillan_g.exe" \
        2>&1 > /dev/null < /dev/null)
check "quillan_g status" 1 $?
check "quillan_g message" $'*** Cannot find the directory of quillan ***\r' \
  "$err"
check "quillan_g started no VM" no "$([ -e "$work/record.txt" ] && echo yes ||
                                     echo no)"
out=$("$run" "$bits" "$deep/tav_host.exe" init 0 get TAVK_TRAP < /dev/null)
check "tavcore read no settings" $'init=1\r\nTAVK_TRAP unset\r' "$out"
[ $failed -eq 0 ] && echo "deep path: ok"
[ $failed -eq 0 ]
