#!/usr/bin/env bash
# The scripts behind make test's output: tools/ctest.sh on a small CTest
# project of its own.
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

if ((failures > 0)); then
  for out in "$tmp"/*.out; do echo "--- $out:"; cat "$out"; done
  exit 1
fi
echo "every check passed"
