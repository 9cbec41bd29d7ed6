#!/bin/sh
# Builds the fuzz targets (preset fuzz) and runs each for a bounded time from
# its seed corpus, in a scratch corpus that is thrown away. Any crash,
# sanitizer report, leak or time-out fails the target. Prints one line per
# target, "fuzz NAME: ok" or "fuzz NAME: FAILED", and exits non-zero when any
# failed. FUZZ_SECONDS sets the time per target (default 25).
set -u
cd "$(dirname "$0")/.."
# Absolute paths: a target may change its current folder.
root=$(pwd)
seconds=${FUZZ_SECONDS:-25}
mkdir -p build
if ! { cmake --preset fuzz && cmake --build --preset fuzz; } \
     > build/fuzz-build.log 2>&1; then
  tail -n 20 build/fuzz-build.log
  echo "fuzz build: FAILED"
  exit 1
fi
failed=0
for source in fuzz/*_fuzz.cc; do
  name=$(basename "$source" _fuzz.cc)
  work=$(mktemp -d)
  log=build/fuzz/$name.log
  if build/fuzz/bin/${name}_fuzz -max_total_time="$seconds" -timeout=25 \
       -print_final_stats=1 -artifact_prefix="$root/build/fuzz/$name-" \
       "$work" "$root/fuzz/${name}_corpus" > "$log" 2>&1; then
    echo "fuzz $name: ok ($(sed -n 's/^stat::number_of_executed_units: *//p' "$log") runs)"
  else
    grep -E 'ERROR|SUMMARY|finding' "$log" | head -n 5
    echo "fuzz $name: FAILED; see $log"
    failed=$((failed + 1))
  fi
  rm -rf "$work"
done
[ "$failed" -eq 0 ]
