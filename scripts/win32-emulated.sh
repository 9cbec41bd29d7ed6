#!/bin/sh
# Starts each shipped 32-bit Windows program, and the tavcore host, once
# under 32-bit Wine on a machine whose processor has no 32-bit mode, through
# qemu-i386 user emulation (Debian's qemu-user-static) registered with
# binfmt_misc for the time of the runs; about a minute per start. Each run is
# made again with the 64-bit build under 64-bit Wine, in the same folder and
# with the same environment: the two must give the same output, record and
# status. Needs root (binfmt_misc) and the win32 and win64 builds.
#
#   scripts/win32-emulated.sh
#
# Prints one line per run, "ok: ..." or "FAILED: ...", then
# "emulated win32: N passed, N failed".
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/build/win32-emulated
binfmt=/proc/sys/fs/binfmt_misc
# 32-bit ELF programs for the i386 go to qemu-i386, which the kernel opens
# at registration (F), so that it serves inside any root.
rule=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
passed=0
failed=0
registered=0

finish() {
  if [ "$registered" -eq 1 ]; then
    echo -1 > "$binfmt/qemu-i386"
  fi
  echo "emulated win32: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
trap finish EXIT
trap 'exit 1' INT TERM

if [ ! -x /usr/bin/qemu-i386-static ]; then
  echo "FAILED: qemu-i386-static is not installed (package qemu-user-static)"
  failed=1
  exit
fi
if [ -z "${WINE32:-}" ] && ! dpkg -s wine32:i386 > /dev/null 2>&1; then
  echo "FAILED: 32-bit Wine is not installed (package wine32:i386)"
  failed=1
  exit
fi
[ -f "$binfmt/register" ] ||
  mount -t binfmt_misc binfmt_misc "$binfmt" 2> /dev/null
if [ ! -f "$binfmt/qemu-i386" ]; then
  if ! printf '%s' "$rule" > "$binfmt/register" 2> /dev/null; then
    echo "FAILED: qemu-i386 cannot be registered with binfmt_misc (needs root)"
    failed=1
    exit
  fi
  registered=1
fi

# The runs: a name, then the command and its environment as words for env,
# the program first. Each writes its record, if any, to record.txt. JAVA_HOME
# and CLASSPATH are unset for every run.
cat > "$work.runs" <<'EOF'
kestrel-help|kestrel.exe -help
kestrel|JAVAI_G_RECORD=record.txt kestrel.exe Hello world
kestrelw|JAVAI_G_RECORD=record.txt kestrelw.exe Hello world
quillan_g|JAVAI_G_RECORD=record.txt quillan_g.exe -list
gatelet_g|REQUEST_METHOD=GET QUERY_STRING=forward=2001 gatelet_g.exe
tav_host|tav_host.exe dup abc put NORVANE_X=1 get NORVANE_X ext
EOF

# Runs every run with the programs of one build, copied into the same
# folder; leaves out/NAME.BITS: the output, the record and the status.
run_all() {
  bits=$1
  build=$2
  mkdir -p "$work/out"
  while IFS='|' read -r name command; do
    rm -rf "$work/run"
    mkdir -p "$work/run"
    for file in kestrel.exe kestrelw.exe quillan_g.exe gatelet_g.exe \
                tav_host.exe tavcore.dll javai_g.dll; do
      cp "$build/bin/$file" "$work/run/"
    done
    vars=
    program=
    args=
    for word in $command; do
      if [ -z "$program" ] && [ "${word#*=}" != "$word" ]; then
        vars="$vars $word"
      elif [ -z "$program" ]; then
        program=$word
      else
        args="$args $word"
      fi
    done
    (cd "$work/run" &&
       env -u JAVA_HOME -u CLASSPATH $vars timeout 600 \
         "$root/cmake/wine-run.sh" "$bits" "$program" $args \
         > out.txt 2>&1 < /dev/null
     printf '\nstatus %s\n' $? >> out.txt
     [ ! -f record.txt ] || cat record.txt >> out.txt)
    tr -d '\r' < "$work/run/out.txt" > "$work/out/$name.$bits"
  done < "$work.runs"
}

rm -rf "$work"
mkdir -p "$work"
# The 32-bit Wine prefix is made once, which takes longest under emulation.
timeout 1800 cmake/wine-run.sh 32 "$root/build/win32/bin/kestrel.exe" -help \
  > /dev/null 2>&1 < /dev/null
run_all 64 "$root/build/win64"
run_all 32 "$root/build/win32"
while IFS='|' read -r name command; do
  if grep -q '^status 124$' "$work/out/$name.32"; then
    echo "FAILED: $name under emulated 32-bit Wine: no end within 600 s"
    failed=$((failed + 1))
  elif cmp -s "$work/out/$name.64" "$work/out/$name.32"; then
    echo "ok: $name under emulated 32-bit Wine: as the 64-bit build" \
         "($(grep '^status' "$work/out/$name.32"))"
    passed=$((passed + 1))
  else
    echo "FAILED: $name under emulated 32-bit Wine differs from the 64-bit" \
         "build (build/win32-emulated/out/$name.*)"
    failed=$((failed + 1))
  fi
done < "$work.runs"
