#!/usr/bin/env bash
# Whole-file benchmarks, in one run: generates the large drawing (1,000,000
# entities, 100,000 dimensions, half of them SXF), the same entities as a JWS
# figure, and 1,000 small drawings (~50 KB each), then measures, as medians of
# RUNS runs (5), against a durable copy of the same files (cp, then sync naming
# each copy, as a save flushes its output too):
#   - tessaly-cli --info (a load) of the large drawing,
#   - load + save in a fresh process that does nothing else (peak memory),
#   - when tessaly-cli converts (-o DIR), the end-to-end conversion of the large
#     drawing, of the figure, and of the 1,000 small drawings in one call and
#     spread over 2 and 4 processes by GNU parallel; two large drawings by one
#     process and by two at once.
# Prints a table of seconds and peak memory against the file size. Nothing is
# asserted.
#
# usage: bench/run_bench.sh [BUILD_DIR]     (default: build, a Release build)
# environment: RUNS (5), BENCH_DIR (where the files go; default $TMPDIR or /tmp),
#              ENTITIES (1000000), SMALL_COUNT (1000)
set -euo pipefail

BUILD=${1:-build}
RUNS=${RUNS:-5}
ENTITIES=${ENTITIES:-1000000}
SMALL_COUNT=${SMALL_COUNT:-1000}
GENERATE=$BUILD/tools/tessaly-generate
ROUNDTRIP=$BUILD/bench/tessaly-bench-roundtrip
CLI=$BUILD/src/tessaly-cli
for exe in "$GENERATE" "$ROUNDTRIP" "$CLI"; do
  if [[ ! -x $exe ]]; then
    echo "run_bench.sh: $exe is missing; build first (make build)" >&2
    exit 1
  fi
done
if [[ ! -x /usr/bin/time ]]; then
  echo "run_bench.sh: /usr/bin/time is missing (apt-get install time)" >&2
  exit 1
fi
GENERATE=$(realpath "$GENERATE") ROUNDTRIP=$(realpath "$ROUNDTRIP") CLI=$(realpath "$CLI")

WORK=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/tessaly-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# measure SETUP CMD...: RUNS times, SETUP untimed and then CMD under /usr/bin/time.
# Sets T (median seconds), C (median processor seconds, user + system), F (median
# page faults), M (largest peak RSS, KB) and OUT (the last run's output).
measure() {
  local setup=$1 t0 t1 rss
  shift
  local times=() cpus=() faults=()
  M=0
  rm -f out.*
  for ((run = 0; run < RUNS; run++)); do
    eval "$setup"
    t0=$EPOCHREALTIME
    if ! /usr/bin/time -f '%M %U %S %R' -o rss.txt "$@" >out.txt 2>&1; then
      echo "run_bench.sh: failed: $*" >&2
      cat out.txt >&2
      exit 1
    fi
    t1=$EPOCHREALTIME
    read -r rss user sys minor < <(tail -n 1 rss.txt)
    ((rss > M)) && M=$rss
    times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')")
    cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')")
    faults+=("$minor")
    cp out.txt "out.$run"
  done
  T=$(printf '%s\n' "${times[@]}" | median)
  C=$(printf '%s\n' "${cpus[@]}" | median)
  F=$(printf '%s\n' "${faults[@]}" | median)
  OUT=$(cat out.txt)
}

ROWS=()
# row LABEL BYTES SECONDS COPY_SECONDS PEAK_KB [LARGEST_FILE_BYTES]: the processor
# seconds and page faults are those of the last measure (C, F).
row() {
  ROWS+=("$(awk -v l="$1" -v b="$2" -v t="$3" -v c="$4" -v m="$5" -v f="${6:-$2}" -v cpu="${C:--}" -v pf="${F:--}" 'BEGIN {
    mb = b / 1e6
    if (f <= 1) { printf "%-44s %10s %9.3f %8s %8s %9s %11.1f %9s", l, "-", t, "-", cpu, pf, m * 1024 / 1e6, "-"; exit }
    ratio = (c > 0) ? sprintf("%.2f", t / c) : "-"
    peak = (m > 0) ? sprintf("%.1f", m * 1024 / 1e6) : "-"
    per = (m > 0) ? sprintf("%.2f", m * 1024 / f) : "-"
    printf "%-44s %10.1f %9.3f %8s %8s %9s %11s %9s", l, mb, t, ratio, cpu, pf, peak, per
  }')")
}

durable_copy() {  # FILE...: copies into copy/ and flushes each copy
  rm -rf copy && mkdir copy
  cp -- "$@" copy/
  sync copy/*
}
export -f durable_copy

echo "Generating the benchmark files in $WORK ..."
"$GENERATE" --entities "$ENTITIES" --dimensions $((ENTITIES / 10)) large.jww
"$GENERATE" --entities "$ENTITIES" --dimensions $((ENTITIES / 10)) --figure large.jws
"$GENERATE" --entities 300 --dimensions 30 --block-defs 5 --copies "$SMALL_COUNT" small >/dev/null
LARGE=$(stat -c %s large.jww)
FIGURE=$(stat -c %s large.jws)
SMALL_TOTAL=$(cat small/*.jww | wc -c)
SMALL_MAX=$(stat -c %s small/*.jww | sort -n | tail -n 1)
echo "large.jww: $LARGE bytes; large.jws: $FIGURE bytes; $SMALL_COUNT small drawings: $SMALL_TOTAL bytes"

converts=false
if "$CLI" --help 2>&1 | grep -q -- '--output-dir'; then converts=true; fi

# What any run of the program takes, whatever the file.
measure ':' "$CLI" --version
row "tessaly-cli --version (the process floor)" 0 "$T" 0 "$M" 1

# The large drawing.
measure 'rm -rf copy' bash -c 'durable_copy large.jww'
COPY=$T
row "large drawing: durable copy (cp + sync)" "$LARGE" "$T" "$COPY" 0
measure ':' "$CLI" --info large.jww
row "large drawing: tessaly-cli --info" "$LARGE" "$T" "$COPY" "$M"
measure 'rm -f saved.jww' "$ROUNDTRIP" large.jww saved.jww
LOADSAVE=$T LOADSAVE_M=$M
LOAD=$(cat out.* | awk '{ print $2 }' | median)
SAVE=$(cat out.* | awk '{ print $4 }' | median)
C=- F=- row "large drawing: load (in the process below)" "$LARGE" "$LOAD" "$COPY" 0
C=- F=- row "large drawing: save (in the process below)" "$LARGE" "$SAVE" "$COPY" 0
row "large drawing: load + save, fresh process" "$LARGE" "$LOADSAVE" "$COPY" "$LOADSAVE_M"
if $converts; then
  measure 'rm -rf conv && mkdir conv' "$CLI" -q -o conv large.jww
  if [[ -f conv/large.jww ]]; then row "large drawing: tessaly-cli -o DIR (convert)" "$LARGE" "$T" "$COPY" "$M"; fi
fi

# The same entities as a figure.
measure 'rm -rf copy' bash -c 'durable_copy large.jws'
COPY=$T
row "large figure: durable copy (cp + sync)" "$FIGURE" "$T" "$COPY" 0
measure 'rm -f saved.jws' "$ROUNDTRIP" large.jws saved.jws
row "large figure: load + save, fresh process" "$FIGURE" "$T" "$COPY" "$M"
if $converts; then
  measure 'rm -rf conv && mkdir conv' "$CLI" -q -o conv large.jws
  if [[ -f conv/large.jws ]]; then
    row "large figure: tessaly-cli -o DIR (convert)" "$FIGURE" "$T" "$COPY" "$M"
  else
    echo "(tessaly-cli does not convert figures yet: that row is skipped)"
  fi
fi

# Many small drawings in one call.
measure 'rm -rf copy' bash -c 'durable_copy small/*.jww'
COPY=$T
row "$SMALL_COUNT small drawings: durable copy" "$SMALL_TOTAL" "$T" "$COPY" 0
if $converts; then
  measure 'rm -rf conv && mkdir conv' "$CLI" -q -o conv small
  n=$(find conv -name '*.jww' | wc -l)
  ((n == SMALL_COUNT)) || echo "(only $n of $SMALL_COUNT small drawings were written)"
  row "$SMALL_COUNT small drawings: tessaly-cli -o DIR" "$SMALL_TOTAL" "$T" "$COPY" "$M" "$SMALL_MAX"
  # The same files spread over processes with GNU parallel, as the README shows.
  if command -v parallel >/dev/null; then
    for jobs in 2 4; do
      measure 'rm -rf conv && mkdir conv' bash -c "find small -name '*.jww' -print0 |
        parallel -0 -X -j$jobs '$CLI' -q --base small -o conv"
      row "$SMALL_COUNT small drawings: parallel -j$jobs" "$SMALL_TOTAL" "$T" "$COPY" "$M" "$SMALL_MAX"
    done
  else
    echo "(GNU parallel is missing: its rows are skipped)"
  fi
  # Two large drawings: one process after the other, and two at once.
  cp large.jww large2.jww
  measure 'rm -rf copy' bash -c 'durable_copy large.jww large2.jww'
  COPY=$T
  row "two large drawings: durable copy" "$((2 * LARGE))" "$T" "$COPY" 0
  measure 'rm -rf conv && mkdir conv' "$CLI" -q -o conv large.jww large2.jww
  row "two large drawings: one tessaly-cli" "$((2 * LARGE))" "$T" "$COPY" "$M" "$LARGE"
  measure 'rm -rf conv && mkdir conv' bash -c "'$CLI' -q -o conv large.jww & '$CLI' -q -o conv large2.jww & wait"
  row "two large drawings: two tessaly-cli at once" "$((2 * LARGE))" "$T" "$COPY" "$M" "$LARGE"
  rm -f large2.jww
else
  echo "(tessaly-cli does not convert yet: conversion rows skipped)"
fi

echo
echo "Medians of $RUNS runs on $(nproc) cores; x copy: against the durable copy of the same files;"
echo "cpu s: processor seconds (user + system) and faults: page faults, medians of the same runs;"
echo "peak: largest resident set of the process; peak/size: against the largest file."
printf '%-44s %10s %9s %8s %8s %9s %11s %9s\n' "" "size MB" "seconds" "x copy" "cpu s" "faults" "peak MB" "peak/size"
printf '%s\n' "${ROWS[@]}"
