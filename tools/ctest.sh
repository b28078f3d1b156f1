#!/usr/bin/env bash
# Runs the tests of a build folder with ctest and keeps the terminal short: one
# progress line while they run, each failure with its output in full, then the
# counts. ctest's whole output stays in BUILD_DIR/Testing/ctest.log, the
# results in BUILD_DIR/Testing/junit.xml.
#
#   tools/ctest.sh BUILD_DIR [CTEST_ARGUMENTS...]     (e.g. -j2 -R Jww)
#
# Within a suite of make test (tools/suite.sh sets SUITE_DIR) the counts and
# the reasons of skipped tests go to the suite's folder for tools/summary.sh;
# run alone, the reasons are printed here. A filter that matches no test fails.
set -uo pipefail
build=${1:?usage: tools/ctest.sh BUILD_DIR [CTEST_ARGUMENTS...]}
shift
mkdir -p "$build/Testing"
junit=$(cd "$build/Testing" && pwd)/junit.xml
log=$build/Testing/ctest.log
rm -f "$junit"
tty=0
[[ -t 1 ]] && tty=1

# ctest's lines are as wide as its longest test name; only its result lines
# are read here, and the output of a failed test, which follows its result line.
ctest --test-dir "$build" --no-tests=error --output-on-failure --output-junit "$junit" "$@" 2>&1 |
  tee "$log" | awk -v tty=$tty '
  # On a terminal one line, written over; in a log a line every tenth.
  function progress() {
    line = sprintf("  %d/%d tests done: %d failed, %d skipped", done, total, failed, skipped)
    if (tty) printf "\r%s\033[K", line
    else if (int(10 * done / total) > int(10 * (done - 1) / total)) print line
    fflush()
  }
  function clear() { if (tty && done) printf "\r\033[K" }
  match($0, /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: /) {
    split(substr($0, 1, RLENGTH), n, /[\/ ]+/)
    done = n[1] == "" ? n[2] : n[1]; total = n[1] == "" ? n[3] : n[2]
    rest = substr($0, RLENGTH + 1)
    sub(/ +[0-9.]+ sec$/, "", rest)
    name = rest; sub(/ \.+( .*|\*.*)?$/, "", name)
    result = substr(rest, length(name) + 1); sub(/^ \.+ */, "", result); sub(/^\*+/, "", result)
    if (result ~ /^Passed/) { showing = 0 }
    else if (result ~ /^(Skipped|Not Run \(Disabled\))/) { skipped++; showing = 0 }
    else { failed++; clear(); print "FAILED: " name " (" result "), its output:"; showing = 1; next }
    progress(); next
  }
  /^ +Start +[0-9]+: / { showing = 0; next }
  /^[0-9]+% tests passed/ { showing = 0; summary = 1; next }
  summary { next }
  showing { print; next }
  # What ctest says before it runs anything, e.g. that no test matched.
  !done && !/^Internal ctest changing into directory:|^Test project / && NF { print }
  END { clear() }
'
status=${PIPESTATUS[0]}

# The counts, and one line "TEST<tab>REASON" per skipped test: the reason is
# the line after GoogleTest's "file:line: Skipped", else the test's last line of
# output, else ctest's own message.
counts=""
skips=$build/Testing/skipped.txt
: >"$skips"
if [[ -f $junit ]]; then
  counts=$(awk -v skips="$skips" '
    /<testcase / {
      name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
      failure = skip = 0; reason = last = ""; next
    }
    /<failure/ { failure = 1; next }
    /<skipped/ { skip = 1; message = $0; sub(/.*<skipped message="/, "", message); sub(/".*/, "", message); next }
    /<\/testcase>/ {
      if (failure) f++
      else if (skip) { s++; printf "%s\t%s\n", name, (reason != "" ? reason : last != "" ? last : message) > skips }
      else p++
      next
    }
    { line = $0; sub(/^[ \t]*<system-out>/, "", line); sub(/<\/system-out>$/, "", line) }
    line ~ /: Skipped$/ && reason == "" { getline reason; if (reason ~ /^\[  SKIPPED \]/) reason = "" }
    line ~ /[^ \t]/ && line !~ /^\[  SKIPPED \]|^\[  PASSED  \]|^\[=|^\[-/ { last = line }
    END { printf "%d %d %d\n", p, f, s }
  ' "$junit")
  # The XML escapes in names and reasons.
  sed -i 's/&lt;/</g; s/&gt;/>/g; s/&quot;/"/g; s/&apos;/'"'"'/g; s/&amp;/\&/g' "$skips"
fi

if [[ -n $counts ]]; then
  read -r passed failed skipped <<<"$counts"
  echo "  $build: $passed passed, $failed failed, $skipped skipped (ctest's output: $log)"
  if [[ -n ${SUITE_DIR:-} ]]; then
    echo "$counts" >"$SUITE_DIR/counts"
    cat "$skips" >>"$SUITE_DIR/skipped"
  else
    awk -F '\t' '{ print "  skipped: " $1 ": " $2 }' "$skips"
  fi
else
  echo "  $build: ctest ended with status $status before any result (its output: $log)"
fi
# ctest fails when a test failed; a failure it did not count is still one.
[[ $status == 0 ]] || exit $status
[[ -z $counts || ${failed:-0} == 0 ]]
