#!/usr/bin/env bash
# Replays the committed corpus through every fuzz target, then fuzzes each one
# for a bounded time.
#
#   fuzz/run.sh [BUILD_DIR [SECONDS]]     (build-asan, 30)
#
# Seeds: the committed corpus fuzz/corpus/<target>, the examples and, when they
# are there, ../shared/corpus (the real drawings, those with dimensions too) and
# ../shared/regressions (inputs fuzzing once found). What a run adds to a corpus goes into
# BUILD_DIR/fuzz-work/<target> (not committed; merge it with -merge=1 when it
# finds something new); an input that breaks a target is written to
# BUILD_DIR/fuzz-findings/, its path and (when small) its bytes in base64 are
# printed with the command that replays it, and the script fails. libFuzzer's
# own output goes to BUILD_DIR/fuzz-<target>.log, the sanitizer's report of a
# finding to the terminal too. In a suite of make test (SUITE_DIR, see
# tools/suite.sh) each target counts as a test.
# SECONDS 0 replays only; FUZZ_REPLAY=0 fuzzes only (the sanitizer build's
# tests replay already). FUZZ_TARGETS narrows the targets; FUZZ_JOBS (1) targets
# fuzz at once; FUZZ_TIMEOUT (30) is the seconds one input may take before
# it counts as a finding (raise it for long runs on a busy machine).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
seconds=${2:-30}
targets=${FUZZ_TARGETS:-"jww_load jws_load convert"}
work=$build/fuzz-work
findings=$build/fuzz-findings
mkdir -p "$work" "$findings"
since=$(mktemp "$findings/.since.XXXXXX")
trap 'rm -f "$since"' EXIT

# Working folders and the converted files go to memory where there is some:
# the conversion target saves every input, with its flushes.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=$(mktemp -d /dev/shm/tessaly-fuzz.XXXXXX)
  trap 'rm -rf "$TMPDIR" "$since"' EXIT
fi

seeds_for() {
  local t=$1 dirs=("fuzz/corpus/$t")
  case $t in
    jws_load) dirs+=(examples) ;;
    *) dirs+=(examples examples/versions) ;;
  esac
  # The real drawings, those with dimensions among them, and the inputs that
  # fuzzing once found (../shared/regressions), kept as seeds.
  if [[ -d ../shared/corpus ]]; then
    case $t in
      jww_load) dirs+=(../shared/corpus/jww ../shared/corpus/jww-dims ../shared/regressions) ;;
      jws_load) dirs+=(../shared/corpus/jws) ;;
      *) dirs+=(../shared/corpus/jww ../shared/corpus/jww-dims ../shared/corpus/jws ../shared/regressions) ;;
    esac
  fi
  local d
  for d in "${dirs[@]}"; do [[ -d $d ]] && echo "$d"; done
}

# What a target wrote into the findings since this script started, so that the
# log of a CI run alone is enough to get the input back.
report() {
  local t=$1 f
  while IFS= read -r f; do
    echo "fuzz/run.sh: $t: finding saved as $f ($(stat -c %s "$f") bytes)" >&2
    echo "fuzz/run.sh: replay it with: $build/fuzz/fuzz_$t $f" >&2
    if [[ $(stat -c %s "$f") -le 16384 ]]; then
      echo "fuzz/run.sh: its bytes in base64 (base64 -d > input):" >&2
      base64 "$f" >&2
    fi
  done < <(find "$findings" -maxdepth 1 -type f -name "$t-*" -newer "$since")
}

# The sanitizer's or libFuzzer's report in a log, without the lines about the
# run: from the first error (or the target's own "fuzz: " message) to its SUMMARY
# line, else the log's last lines.
show_report() {
  local lines
  lines=$(awk '/^fuzz: |ERROR|runtime error|deadly signal/ { on = 1 } on && n++ < 40 { print } on && /^SUMMARY:/ { exit }' "$1")
  if [[ -n $lines ]]; then echo "$lines" | sed 's/ (BuildId: [0-9a-f]*)$//'; else tail -20 "$1"; fi >&2
}

status=0
if [[ ${FUZZ_REPLAY:-1} != 0 ]]; then
  for t in $targets; do
    bin=$build/fuzz/fuzz_$t
    [[ -x $bin ]] || { echo "fuzz/run.sh: $bin is missing (cmake --build $build)" >&2; exit 1; }
    echo "== replay $t"
    mapfile -t dirs < <(seeds_for "$t")
    log=$build/fuzz-replay-$t.log
    if "$bin" -runs=0 -timeout="${FUZZ_TIMEOUT:-30}" -artifact_prefix="$findings/$t-" "${dirs[@]}" >"$log" 2>&1; then
      echo "== replay $t: $(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#') inputs, no finding (log: $log)"
    else
      echo "== replay $t: FAILED, the report follows (log: $log)" >&2
      show_report "$log"
      report "$t"
      status=1
    fi
  done
fi
[[ $status -eq 0 ]] || { echo "fuzz/run.sh: a replay failed; see $findings" >&2; exit 1; }

run_one() {
  local t=$1 bin=$build/fuzz/fuzz_$t log=$build/fuzz-$t.log
  [[ -x $bin ]] || { echo "fuzz/run.sh: $bin is missing (cmake --build $build)" >&2; return 1; }
  mkdir -p "$work/$t"
  mapfile -t dirs < <(seeds_for "$t")
  if "$bin" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-30}" -dict=fuzz/archive.dict -print_final_stats=1 \
       -artifact_prefix="$findings/$t-" "$work/$t" "${dirs[@]}" >"$log" 2>&1; then
    local runs added
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    echo "== $t: no finding: ${runs:-?} inputs in $seconds s, ${added:-?} added to $work/$t"
  else
    # In one piece: the other targets may be ending too.
    local text
    text=$({
      echo "== $t: FINDING, the report follows (libFuzzer's log: $log)"
      show_report "$log"
      report "$t"
    } 2>&1)
    echo "$text" >&2
    return 1
  fi
}

# At most FUZZ_JOBS targets at once; each one's line when it ends.
if [[ $seconds -gt 0 ]]; then
  set -- $targets
  jobs=${FUZZ_JOBS:-1}
  echo "== fuzzing $*: $seconds s each, $jobs at once, about $(( (($# + jobs - 1) / jobs) * seconds )) s in all"
  echo "   looking for inputs that crash, hang over ${FUZZ_TIMEOUT:-30} s or bring a sanitizer report"
  echo "   (libFuzzer's own output goes to $build/fuzz-<target>.log)"
  running=0 failed=0
  for t in $targets; do
    if [[ $running -ge $jobs ]]; then
      wait -n || failed=$((failed + 1))
      running=$((running - 1))
    fi
    run_one "$t" &
    running=$((running + 1))
  done
  while [[ $running -gt 0 ]]; do
    wait -n || failed=$((failed + 1))
    running=$((running - 1))
  done
  [[ -z ${SUITE_DIR:-} ]] || echo "$(($# - failed)) $failed 0" >"$SUITE_DIR/counts"
  if [[ $failed -eq 0 ]]; then
    echo "== fuzzing: no finding in any of the $# targets"
  else
    echo "== fuzzing: $failed of $# targets found an input that breaks them; see above" >&2
    status=1
  fi
fi
exit $status
