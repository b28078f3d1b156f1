#!/bin/sh
# The end of make test: why tests were skipped, each reason once; a line per
# suite that tools/suite.sh recorded, in the order they ran; and last
# "N passed, M failed" over all of them. Answers 1 when a suite failed or
# none ran.
#
#   tools/summary.sh [RESULTS_DIR]     ($TEST_RESULTS, else build-results)
results=${1:-${TEST_RESULTS:-build-results}}
suites=$(awk '!seen[$0]++' "$results/order" 2>/dev/null)

# Reason <tab> suite <tab> test, grouped by reason: the test's name when one
# test gave it, else how many and one of them; then the suites, the reason.
for s in $suites; do
  [ -f "$results/$s/skipped" ] && awk -F '\t' -v s="$s" '{ print $2 "\t" s "\t" $1 }' "$results/$s/skipped"
done | awk -F '\t' '
  !($1 in n) { order[++reasons] = $1; first[$1] = $3 }
  { n[$1]++; if (!seen[$1, $2]++) in_suites[$1] = in_suites[$1] (in_suites[$1] == "" ? "" : ", ") $2
    if (!named[$1, $3]++) tests[$1]++ }
  END {
    if (reasons) print "Skipped, each reason once:"
    for (i = 1; i <= reasons; i++) {
      r = order[i]
      what = tests[r] == 1 ? first[r] : tests[r] " tests, e.g. " first[r]
      printf "  %s (%s): %s\n", what, in_suites[r], r
    }
  }'

[ -n "$suites" ] || echo "no suite ran: nothing recorded in $results"
echo
row() { printf '%-12s %-7s %7d %7d %8d %5dm%02ds\n' "$@"; }
printf '%-12s %-7s %7s %7s %8s %8s\n' suite result passed failed skipped time
all_passed=0 all_failed=0 all_skipped=0 all_seconds=0 failures=0
for s in $suites; do
  read -r status seconds <"$results/$s/result" || { status=1; seconds=0; }
  read -r passed failed skipped <"$results/$s/counts" || { passed=0; failed=1; skipped=0; }
  result=ok
  if [ "$status" != 0 ] || [ "$failed" -gt 0 ]; then result=FAILED; failures=$((failures + 1)); fi
  row "$s" $result "$passed" "$failed" "$skipped" $((seconds / 60)) $((seconds % 60))
  all_passed=$((all_passed + passed)) all_failed=$((all_failed + failed))
  all_skipped=$((all_skipped + skipped)) all_seconds=$((all_seconds + seconds))
done
row all "" $all_passed $all_failed $all_skipped $((all_seconds / 60)) $((all_seconds % 60))
echo "$all_passed passed, $all_failed failed"
[ -n "$suites" ] && [ $failures = 0 ]
