# The report of a check script, sourced by it: "ok: WHAT" and
# "FAILED: WHAT (see LOG)" lines, counted, and a last line
# "$report: N passed, N failed" that scripts/test-all.sh tallies. The script
# sets report, root and log first; finish ends it, failing when a check did.
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
  echo "$report: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
