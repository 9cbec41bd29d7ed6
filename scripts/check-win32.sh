#!/bin/sh
# Checks the shipped 32-bit Windows files without running them: each imports
# only system DLLs, msvcrt and javai_g; kestrelw is a GUI program; tavcore
# exports exactly its five names with ordinals 1 to 5. A file that objdump
# cannot read as a 32-bit Windows file, or no objdump at all, fails.
set -u
bin=${1:-build/win32/bin}
dump="i686-w64-mingw32-objdump -p"
bad=0
for f in kestrel.exe kestrelw.exe quillan_g.exe gatelet_g.exe tavcore.dll \
         javai_g.dll; do
  if ! out=$($dump "$bin/$f") ||
     ! printf '%s\n' "$out" | grep -q 'file format pei-i386$'; then
    echo "$f: not read as a 32-bit Windows file by $dump"
    bad=1
    continue
  fi
  others=$(printf '%s\n' "$out" | sed -n 's/^[[:space:]]*DLL Name: //p' |
           grep -v -i -x -E 'kernel32\.dll|msvcrt\.dll|javai_g\.dll')
  if [ -n "$others" ]; then
    echo "$f needs: $others"
    bad=1
  fi
done
if ! $dump "$bin/kestrelw.exe" | grep -q 'Subsystem.*Windows GUI'; then
  echo "kestrelw.exe is not a GUI program"
  bad=1
fi
# Each name with its ordinal (the table gives ordinal minus the base, 1).
base=$($dump "$bin/tavcore.dll" | sed -n 's/.*Ordinal Base \([0-9]*\).*/\1/p')
exports=$($dump "$bin/tavcore.dll" |
          sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)/\1 \2/p' |
          while read -r index name; do
            printf '%s@%s ' "$name" $((index + base))
          done)
want="TAVGetClasspath@1 TAVGetExtendedClasspath@2 TAVInitializeEnvironment@3 TAV_putenv@4 TAV_strdup@5 "
if [ "$exports" != "$want" ]; then
  echo "tavcore.dll exports: $exports"
  bad=1
fi
if [ $bad -eq 0 ]; then
  echo "win32 files: ok"
fi
exit $bad
