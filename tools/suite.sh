#!/bin/sh
# Runs one suite of tests and records how it went, for tools/summary.sh.
#
#   tools/suite.sh NAME -- COMMAND [ARGUMENT...]
#
# The record is the folder $TEST_RESULTS/NAME (TEST_RESULTS: build-results),
# made anew, and NAME is added to the suites' order there; COMMAND finds it in SUITE_DIR and may count its own tests there:
# "PASSED FAILED SKIPPED" on one line in `counts`, and a line
# "TEST<tab>REASON" per skipped test in `skipped` (tools/ctest.sh does). A
# suite that counts nothing is one test, passed or failed by its exit status;
# a failing exit status with no failure counted is one failure more. The
# result is `status SECONDS` in `result`.
#
# Answers 0 even when the suite failed, so that the suites after it run too:
# tools/summary.sh fails when any did.
name=$1
if [ $# -lt 3 ] || [ "$2" != -- ]; then
  echo "usage: tools/suite.sh NAME -- COMMAND [ARGUMENT...]" >&2
  exit 2
fi
shift 2
results=${TEST_RESULTS:-build-results}
SUITE_DIR=$results/$name
rm -rf "$SUITE_DIR" && mkdir -p "$SUITE_DIR" || exit 2
echo "$name" >>"$results/order"
export SUITE_DIR

echo "== $name: $*"
start=$(date +%s)
"$@"
status=$?
echo "$status $(($(date +%s) - start))" >"$SUITE_DIR/result"

if [ ! -s "$SUITE_DIR/counts" ]; then
  if [ $status = 0 ]; then echo "1 0 0"; else echo "0 1 0"; fi >"$SUITE_DIR/counts"
elif [ $status != 0 ]; then
  read -r passed failed skipped <"$SUITE_DIR/counts"
  [ "$failed" -gt 0 ] || echo "$passed 1 $skipped" >"$SUITE_DIR/counts"
fi
if [ $status = 0 ]; then
  echo "== $name: done"
else
  echo "== $name: FAILED (exit status $status)"
fi
exit 0
