#!/bin/sh
# Builds and tests every build of the project: native, sanitizers, and the
# Windows programs under Wine; checks that a rebuild gives the same bytes.
# Installs first what the machine lacks (scripts/install-deps.sh). Ends with
# one summary line over all builds.
#
# The shipped Windows programs are the 32-bit build (preset win32); its tests
# run under 32-bit Wine. A machine that cannot execute 32-bit code at all
# (some hypervisors lack the mode) still builds win32, and runs the Windows
# tests on the same sources built for 64-bit Windows (preset win64) instead;
# with CI=true it also starts each shipped 32-bit program once under
# qemu-i386 emulation (scripts/win32-emulated.sh).
set -u
cd "$(dirname "$0")/.."
mkdir -p build
passed=0
failed=0

echo "=== dependencies"
scripts/install-deps.sh || failed=$((failed + 1))

# Adds the counts of a ctest log to the totals; a log without a summary
# (configure or build failure) counts as one failure.
count() {
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  bad=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
  all=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  failed=$((failed + bad))
  passed=$((passed + all - bad))
}

workflow() {
  echo "=== $1"
  cmake --workflow --preset "$1" > "build/$1.log" 2>&1
  rc=$?
  grep -E 'tests passed|Failed|\*\*\*|error' "build/$1.log" | tail -n 20
  [ $rc -eq 0 ] || echo "--- $1 failed; see build/$1.log"
  count "build/$1.log"
}

# Shows the ok/FAILED lines of a check script's log and adds the counts of
# its summary, "LABEL: N passed, N failed", to the totals; a log without
# one counts as one failure.
tally() {
  grep -E '^(ok|FAILED):' "$1"
  line=$(grep -E "^$2: [0-9]+ passed, [0-9]+ failed$" "$1")
  if [ -z "$line" ]; then
    tail -n 20 "$1"
    failed=$((failed + 1))
    return
  fi
  set -- $(echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed/\1 \2/')
  passed=$((passed + $1))
  failed=$((failed + $2))
}

# Checks what a build ships (packages, their file lists, a program built
# against the installed tavcore) and adds its counts to the totals.
consumer() {
  echo "=== consumer $1"
  tests/consumer/run.sh "$@" > "build/consumer-$1.log" 2>&1
  tally "build/consumer-$1.log" "consumer $1"
}

workflow native
# Debian's own build of the source tree, and its checks; the consumer checks
# of the native build take its .deb set.
echo "=== debian"
scripts/debian-check.sh > build/debian-check.log 2>&1
tally build/debian-check.log debian
consumer native
workflow sanitize

echo "=== win32"
if cmake --preset win32 > build/win32.log 2>&1 &&
   cmake --build --preset win32 >> build/win32.log 2>&1; then
  echo "win32 build: ok"
  scripts/check-win32.sh || failed=$((failed + 1))
  if timeout 300 cmake/wine-run.sh 32 build/win32/bin/kestrel.exe -help \
       > /dev/null 2>&1 < /dev/null; [ $? -eq 1 ]; then
    ctest --preset win32 >> build/win32.log 2>&1
    grep -E 'tests passed|Failed' build/win32.log | tail -n 20
    count build/win32.log
    consumer win32 32
  else
    echo "32-bit Wine cannot run programs on this machine;" \
         "the Windows tests run on the 64-bit build."
    consumer win32 none
    workflow win64
    consumer win64 64
    # The shipped 32-bit files still run once each, under emulation, where
    # CI asks for it (slow: about a minute each).
    if [ "${CI:-}" = true ]; then
      echo "=== win32 under qemu-i386 emulation"
      scripts/win32-emulated.sh > build/win32-emulated.log 2>&1
      tally build/win32-emulated.log "emulated win32"
    else
      echo "The 32-bit programs are not run; CI=true runs each once under" \
           "qemu-i386 emulation (scripts/win32-emulated.sh)."
    fi
  fi
else
  tail -n 20 build/win32.log
  failed=$((failed + 1))
fi

# The Windows packages signed with a throw-away certificate, each build in
# a folder of its own.
echo "=== signing"
scripts/sign-check.sh > build/sign-check.log 2>&1
tally build/sign-check.log sign-check

# Two builds of the packaging presets from two folders: one check.
echo "=== rebuild"
scripts/rebuild-check.sh > build/rebuild.log 2>&1
grep -E '^(ok|FAILED):' build/rebuild.log
if grep -q '^ok:' build/rebuild.log; then
  passed=$((passed + 1))
else
  tail -n 40 build/rebuild.log
  failed=$((failed + 1))
fi

# Each fuzz target for a bounded time from its seed corpus (one test each),
# and the benchmarks built, not run.
echo "=== fuzz"
scripts/fuzz-ci.sh > build/fuzz.log 2>&1
grep -E '^fuzz|ERROR|SUMMARY' build/fuzz.log
ok=$(grep -c '^fuzz .*: ok' build/fuzz.log)
bad=$(grep -c '^fuzz .*: FAILED' build/fuzz.log)
[ $((ok + bad)) -gt 0 ] || bad=1
passed=$((passed + ok))
failed=$((failed + bad))
echo "=== bench (built, not run)"
if { cmake --preset bench && cmake --build --preset bench; } \
     > build/bench.log 2>&1; then
  echo "bench build: ok"
else
  tail -n 20 build/bench.log
  failed=$((failed + 1))
fi

echo "ctest: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
