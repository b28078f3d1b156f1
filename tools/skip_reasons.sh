#!/bin/sh
# Prints each test that the last ctest run in a build folder skipped, with the
# reason the test gave: ctest itself only says "Skipped".
log="${1:-build}/Testing/Temporary/LastTest.log"
[ -f "$log" ] || exit 0
awk '
  /: Skipped$/ { getline reason; next }
  /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ {
    name = $0; sub(/^\[  SKIPPED \] /, "", name); sub(/ \([0-9]+ ms\)$/, "", name)
    printf "skipped: %s: %s\n", name, (reason == "" ? "no reason given" : reason)
    reason = ""
  }
' "$log" | sort -u
