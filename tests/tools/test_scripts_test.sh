#!/usr/bin/env bash
# The scripts behind make test's output: tools/ctest.sh on a small CTest
# project of its own, tools/suite.sh and tools/summary.sh on suites that pass,
# fail and skip, and fuzz/run.sh with stand-ins for the fuzz targets.
#   tests/tools/test_scripts_test.sh SOURCE_DIR
set -u
src=$(cd "${1:?usage: test_scripts_test.sh SOURCE_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Not the suite this test runs in.
unset SUITE_DIR
export TEST_RESULTS=$tmp/results TMPDIR=$tmp
failures=0
check() { # check WHAT COMMAND...: fails the test when COMMAND fails
  local what=$1
  shift
  "$@" || { echo "FAIL: $what"; failures=$((failures + 1)); }
}
has() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }

# 1. ctest.sh: a project whose tests pass, fail and skip in each of CTest's ways.
p=$tmp/project
mkdir -p "$p"
cat >"$p/case.sh" <<'EOF'
case $1 in
  pass) exit 0 ;;
  fail) echo "the output of the failure"; exit 1 ;;
  gtest-skip) printf 'x_test.cpp:12: Skipped\nno drawings beside the checkout\n[  SKIPPED ] X.Y (0 ms)\n' ;;
  gtest-skip-xml) printf 'x_test.cpp:14: Skipped\nneeds <a> & "b"\n[  SKIPPED ] X.Z (0 ms)\n' ;;
  code-skip) echo "no display"; exit 77 ;;
esac
EOF
long=a_test_whose_name_is_long_enough_that_ctest_pads_every_result_line_well_past_a_terminal_of_a_hundred_columns
cat >"$p/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(scripts_check NONE)
enable_testing()
foreach(t pass.one:pass pass.two:pass pass.$long:pass fail.one:fail
          skip.gtest:gtest-skip skip.gtest_xml:gtest-skip-xml skip.code:code-skip)
  string(REPLACE ":" ";" t "\${t}")
  list(GET t 0 name)
  list(GET t 1 kind)
  add_test(NAME \${name} COMMAND sh \${CMAKE_SOURCE_DIR}/case.sh \${kind})
  set_tests_properties(\${name} PROPERTIES SKIP_REGULAR_EXPRESSION "\\\\[  SKIPPED \\\\]" SKIP_RETURN_CODE 77)
endforeach()
EOF
cmake -S "$p" -B "$p/build" >"$tmp/configure.log" 2>&1 || { cat "$tmp/configure.log"; exit 1; }

mkdir -p "$tmp/suite"
(cd "$tmp" && SUITE_DIR=$tmp/suite "$src/tools/ctest.sh" project/build -j2 >"$tmp/ctest.out" 2>&1)
check "ctest.sh fails when a test fails" test $? != 0
check "a failure is shown with its output" has "$tmp/ctest.out" "the output of the failure"
check "a failure is named" has "$tmp/ctest.out" "FAILED: fail.one"
check "passes are not listed one by one" lacks "$tmp/ctest.out" "$long"
check "nor skips shown as failures" lacks "$tmp/ctest.out" "FAILED: skip"
check "the progress in a log" has "$tmp/ctest.out" "7/7 tests done: 1 failed, 3 skipped"
check "no line is wider than 100 columns" test "$(awk 'length > 100' "$tmp/ctest.out" | wc -l)" = 0
check "the counts: passed, failed, skipped" test "$(cat "$tmp/suite/counts")" = "3 1 3"
while IFS= read -r line; do
  check "skip reason: $line" grep -qxF -- "$line" "$tmp/suite/skipped"
done <<EOF
skip.gtest	no drawings beside the checkout
skip.gtest_xml	needs <a> & "b"
skip.code	no display
EOF
"$src/tools/ctest.sh" "$p/build" -R pass >"$tmp/pass.out" 2>&1
check "ctest.sh passes when every test passes" test $? = 0
check "run alone, it counts" has "$tmp/pass.out" "3 passed, 0 failed, 0 skipped"
"$src/tools/ctest.sh" "$p/build" -R no_such_test >"$tmp/none.out" 2>&1
check "a filter that matches no test fails" test $? != 0
check "and says so" has "$tmp/none.out" "No tests were found"

# 2. suite.sh and summary.sh: NAME, what the suite does, and its row in the table.
while IFS='|' read -r name command row; do
  "$src/tools/suite.sh" "$name" -- sh -c "$command" >/dev/null 2>&1
  check "suite.sh answers 0 for $name" test $? = 0
  echo "$row" >>"$tmp/rows"
done <<'EOF'
passes|exit 0|passes ok 1 0 0
fails|exit 3|fails FAILED 0 1 0
counts|echo "5 0 2" >$SUITE_DIR/counts; printf "A.a\tno corpus\nA.b\tno corpus\n" >$SUITE_DIR/skipped|counts ok 5 0 2
counts-fail|echo "4 2 0" >$SUITE_DIR/counts; exit 8|counts-fail FAILED 4 2 0
uncounted|echo "7 0 1" >$SUITE_DIR/counts; printf "A.a\tno corpus\nB.c\troot reads anyway\n" >$SUITE_DIR/skipped; exit 2|uncounted FAILED 7 1 1
EOF
"$src/tools/summary.sh" >"$tmp/summary.out"
check "summary.sh fails when a suite failed" test $? = 1
check "a row per suite, in order, and the total" \
  test "$(awk '$1 == "suite" { on = 1; next } on && / [0-9]+m[0-9]+s$/ { sub(/ +[^ ]+$/, ""); $1 = $1; print }' "$tmp/summary.out")" = \
  "$(cat "$tmp/rows"; echo "all 17 4 3")"
check "the last line" test "$(tail -1 "$tmp/summary.out")" = "17 passed, 4 failed"
check "a reason once, with its tests and suites" has "$tmp/summary.out" "2 tests, e.g. A.a (counts, uncounted): no corpus"
check "a reason of one test names it" has "$tmp/summary.out" "B.c (uncounted): root reads anyway"
check "each reason once" test "$(grep -c 'no corpus' "$tmp/summary.out")" = 1
"$src/tools/suite.sh" passes 2>/dev/null
check "suite.sh without a command is a usage error" test $? = 2
rm -rf "$TEST_RESULTS"
"$src/tools/suite.sh" only -- true >/dev/null && "$src/tools/summary.sh" >"$tmp/ok.out"
check "summary.sh passes when every suite passed" test $? = 0
check "the last line when all passed" test "$(tail -1 "$tmp/ok.out")" = "1 passed, 0 failed"
rm -rf "$TEST_RESULTS"
"$src/tools/summary.sh" >"$tmp/empty.out"
check "no suite is a failure" test $? = 1
check "the last line with no suite" test "$(tail -1 "$tmp/empty.out")" = "0 passed, 0 failed"

# 3. fuzz/run.sh: a target that finds nothing and one that finds an input.
f=$tmp/fuzzbuild
mkdir -p "$f/fuzz"
cat >"$f/fuzz/fuzz_quiet" <<'EOF'
#!/bin/sh
echo "INFO: Seed: 1234"
echo "#1000 DONE cov: 10 ft: 10 corp: 5/100b"
echo "stat::number_of_executed_units: 1000"
echo "stat::new_units_added:          3"
EOF
cat >"$f/fuzz/fuzz_finds" <<'EOF'
#!/bin/sh
for a; do case $a in -artifact_prefix=*) prefix=${a#-artifact_prefix=} ;; esac; done
echo "INFO: Seed: 5678"
echo "fuzz: the second conversion differs"
echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow"
echo "    #0 0x1 in Parse"
echo "SUMMARY: AddressSanitizer: heap-buffer-overflow in Parse"
echo "MS: 1 ChangeByte-"
# Later than the run's start by more than a tick of the file times' clock, as
# a real target is.
sleep 0.1
printf 'bad' >"${prefix}crash-1"
exit 1
EOF
chmod +x "$f"/fuzz/fuzz_*
mkdir -p "$tmp/fuzz-suite"
SUITE_DIR=$tmp/fuzz-suite FUZZ_REPLAY=0 FUZZ_TARGETS="quiet finds" FUZZ_JOBS=2 \
  "$src/fuzz/run.sh" "$f" 1 >"$tmp/fuzz.out" 2>&1
check "run.sh fails on a finding" test $? != 0
check "it says what it runs" has "$tmp/fuzz.out" "== fuzzing quiet finds: 1 s each, 2 at once"
check "a target without a finding says so" has "$tmp/fuzz.out" "== quiet: no finding: 1000 inputs in 1 s, 3 added to $f/fuzz-work/quiet"
check "the sanitizer's report is shown" has "$tmp/fuzz.out" "SUMMARY: AddressSanitizer: heap-buffer-overflow"
check "with the target's own message" has "$tmp/fuzz.out" "fuzz: the second conversion differs"
check "and not what libFuzzer says after it" lacks "$tmp/fuzz.out" "MS: 1 ChangeByte"
check "the finding's replay" has "$tmp/fuzz.out" "replay it with: $f/fuzz/fuzz_finds $f/fuzz-findings/finds-crash-1"
check "libFuzzer's own lines stay in its log" lacks "$tmp/fuzz.out" "INFO: Seed"
check "which are in the log" has "$f/fuzz-quiet.log" "INFO: Seed: 1234"
check "each target counts as a test" test "$(cat "$tmp/fuzz-suite/counts")" = "1 1 0"

if ((failures > 0)); then
  for out in "$tmp"/*.out; do echo "--- $out:"; cat "$out"; done
  exit 1
fi
echo "every check passed"
