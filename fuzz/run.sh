#!/usr/bin/env bash
# Replays the committed corpus through every fuzz target, then fuzzes each one
# for a bounded time.
#
#   fuzz/run.sh [BUILD_DIR [SECONDS]]     (build-fuzz, 30)
#
# Seeds: the committed corpus fuzz/corpus/<target>, the examples and, when it is
# there, ../shared/corpus. What a run adds to a corpus goes into
# BUILD_DIR/fuzz-work/<target> (not committed; merge it with -merge=1 when it
# finds something new); an input that breaks a target is written to
# BUILD_DIR/fuzz-findings/ and the script fails.
# FUZZ_TARGETS narrows the targets; FUZZ_JOBS > 1 fuzzes that many at once;
# FUZZ_TIMEOUT (30) is the seconds one input may take before it counts as a
# finding (raise it for long runs on a busy machine).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-30}
targets=${FUZZ_TARGETS:-"jww_load jws_load convert"}
work=$build/fuzz-work
findings=$build/fuzz-findings
mkdir -p "$work" "$findings"

# Working folders and the converted files go to memory where there is some:
# the conversion target saves every input, with its flushes.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=$(mktemp -d /dev/shm/tessaly-fuzz.XXXXXX)
  trap 'rm -rf "$TMPDIR"' EXIT
fi

seeds_for() {
  local t=$1 dirs=("fuzz/corpus/$t")
  case $t in
    jws_load) dirs+=(examples) ;;
    *) dirs+=(examples examples/versions) ;;
  esac
  if [[ -d ../shared/corpus ]]; then
    case $t in
      jww_load) dirs+=(../shared/corpus/jww) ;;
      jws_load) dirs+=(../shared/corpus/jws) ;;
      *) dirs+=(../shared/corpus/jww ../shared/corpus/jws) ;;
    esac
  fi
  local d
  for d in "${dirs[@]}"; do [[ -d $d ]] && echo "$d"; done
}

status=0
for t in $targets; do
  bin=$build/fuzz/fuzz_$t
  [[ -x $bin ]] || { echo "fuzz/run.sh: $bin is missing (cmake --build $build)" >&2; exit 1; }
  echo "== replay $t"
  mapfile -t dirs < <(seeds_for "$t")
  "$bin" -runs=0 -artifact_prefix="$findings/$t-" "${dirs[@]}" 2>&1 | grep -E '^#|ERROR|fuzz:|Done' || status=1
  [[ ${PIPESTATUS[0]} -eq 0 ]] || status=1
done
[[ $status -eq 0 ]] || { echo "fuzz/run.sh: a replay failed; see $findings" >&2; exit 1; }

run_one() {
  local t=$1 bin=$build/fuzz/fuzz_$t log=$build/fuzz-$t.log
  mkdir -p "$work/$t"
  mapfile -t dirs < <(seeds_for "$t")
  if "$bin" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-30}" -dict=fuzz/archive.dict -print_final_stats=1 \
       -artifact_prefix="$findings/$t-" "$work/$t" "${dirs[@]}" >"$log" 2>&1; then
    echo "== $t: $(grep -E '^#[0-9]+' "$log" | tail -1)"
  else
    echo "== $t: FAILED, see $log and $findings" >&2
    tail -30 "$log" >&2
    return 1
  fi
}

if [[ $seconds -gt 0 ]]; then
  pids=()
  for t in $targets; do
    if [[ ${FUZZ_JOBS:-1} -gt 1 ]]; then
      run_one "$t" & pids+=($!)
    else
      run_one "$t" || status=1
    fi
  done
  for p in "${pids[@]}"; do wait "$p" || status=1; done
fi
exit $status
