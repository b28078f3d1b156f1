#!/usr/bin/env bash
# Runs the cross-built programs under Wine: the unit tests, then tessaly-cli.exe
# against the native build, which must write the same bytes into a folder and
# in place with backups, also under Japanese file and folder names.
#   tests/win32/run_under_wine.sh NATIVE_BUILD WINDOWS_BUILD
# Wine runs headless in its own prefix under WINDOWS_BUILD. Every Wine command
# has a time limit and writes to files, never to a pipe: a wineserver that
# keeps a pipe open would hang the run.
set -uo pipefail
cd "$(dirname "$0")/../.."
native=${1:-build}
win=${2:-build-win}
native_cli=$PWD/$native/src/tessaly-cli
win_cli=$PWD/$win/src/tessaly-cli.exe
corpus=$PWD/../shared/corpus
check=$PWD/$win/wine-check
export WINEPREFIX=$PWD/$win/wineprefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installers, and a crashing program ends instead of waiting
# in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LC_ALL=C.UTF-8
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# wine_run LOG ARGS...: runs one Windows program, its output in LOG.out/.err;
# answers its exit status.
wine_run() {
  local log=$1
  shift
  timeout 300 wine "$@" >"$log.out" 2>"$log.err" </dev/null
}

prepare_prefix() {
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    local start=$SECONDS
    mkdir -p "$WINEPREFIX"
    timeout 120 wineboot -i >"$win/wineboot.log" 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    # The Japanese Gothic font under the name the windows ask for.
    cat >"$win/fonts.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAGothic"
"MS Gothic"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
REG
    timeout 60 wine regedit /S "$(winepath_w "$win/fonts.reg")" >"$win/regedit.log" 2>&1
    timeout 60 wineserver -w
    echo "wine prefix made in $((SECONDS - start)) s"
  fi
}

winepath_w() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# The inputs: the examples, the real drawings (when beside the checkout) and a
# few under Japanese names.
make_inputs() {
  local to=$1
  rm -rf "$to" && mkdir -p "$to"
  cp -r examples "$to/examples"
  if [[ -d $corpus ]]; then
    mkdir -p "$to/corpus"
    cp -r "$corpus/jww" "$corpus/jws" "$to/corpus/"
  fi
  mkdir -p "$to/図面/表示"
  cp examples/plan.jww "$to/図面/平面.jww"
  cp examples/figure.jws "$to/図面/表示/表.jws"
  cp examples/image.jww "$to/図面/表示/画像付き.jww"
  # An old time, so that a backup that lost it shows.
  find "$to" -type f -exec touch -d '2001-02-03 04:05:06' {} +
}

compare_trees() {
  local what=$1 a=$2 b=$3
  if diff -r "$a" "$b" >"$check/$what.diff" 2>&1; then
    pass "$what: $(find "$a" -type f | wc -l) files byte for byte as the native build"
  else
    fail "$what: differs from the native build ($(wc -l <"$check/$what.diff") lines in $check/$what.diff)"
    head -5 "$check/$what.diff"
  fi
}

# Every backup keeps the time of the file it copies.
check_backup_times() {
  local what=$1 tree=$2 bad=0 n=0
  while IFS= read -r -d '' f; do
    n=$((n + 1))
    [[ $(stat -c %Y "$f") == $(date -d '2001-02-03 04:05:06' +%s) ]] || { bad=$((bad + 1)); echo "  time lost: $f"; }
  done < <(find "$tree" \( -name '*._JWW' -o -name '*._JWS' \) -print0)
  if ((n == 0)); then fail "$what: no backups made"
  elif ((bad > 0)); then fail "$what: $bad of $n backups lost the time of their file"
  else pass "$what: $n backups keep their file's time"; fi
}

prepare_prefix
# One wineserver for the whole run: one that ends between two programs races
# with the next one's start ("wine client error: recvmsg").
timeout 30 wineserver -p >"$win/wineserver.log" 2>&1
trap 'timeout 60 wineserver -k >/dev/null 2>&1' EXIT
rm -rf "$check" && mkdir -p "$check"
start=$SECONDS

# 0. The unit tests: each program started once for all its tests (a Wine start
# per test case would cost half a second each).
mkdir -p "$check/unit"
tests=$(find "$win/tests" -name '*_test.exe' | sort)
if [[ -z $tests ]]; then
  echo "no unit tests in $win/tests (GoogleTest sources missing?)"
fi
for t in $tests; do
  name=$(basename "$t" .exe)
  wine_run "$check/unit/$name" "$t" --gtest_brief=1
  status=$?
  summary=$(grep -E '^\[  (PASSED|SKIPPED) ' "$check/unit/$name.out" | tr -s ' ' | tr '\n' ' ')
  if [[ $status == 0 ]]; then
    pass "$name: $summary"
  else
    fail "$name: exit $status, see $check/unit/$name.out"
    grep -E '^\[  FAILED  \]' "$check/unit/$name.out" | head -10
  fi
done
echo "unit tests under Wine: $((SECONDS - start)) s"

# 1. Into a folder.
make_inputs "$check/in"
mkdir -p "$check/native-out" "$check/win-out"
(cd "$check/in" && "$native_cli" -q -o ../native-out . >"$check/native-out.log" 2>&1)
native_status=$?
(cd "$check/in" && wine_run "$check/win-out" "$win_cli" -q -o ..\\win-out .)
win_status=$?
[[ $win_status == "$native_status" ]] && pass "into a folder: exit $win_status as natively" ||
  fail "into a folder: exit $win_status, natively $native_status (see $check/win-out.err)"
compare_trees "into-a-folder" "$check/native-out" "$check/win-out"
[[ -f "$check/win-out/図面/平面.jww" ]] && pass "Japanese folder and file names kept" ||
  fail "図面/平面.jww missing from the output"

# 2. In place, with backups, twice: the second run replaces the backups and the
# files the first run wrote.
make_inputs "$check/native-inplace"
make_inputs "$check/win-inplace"
for round in 1 2; do
  (cd "$check/native-inplace" && "$native_cli" . >"$check/native-inplace-$round.log" 2>&1)
  native_status=$?
  (cd "$check/win-inplace" && wine_run "$check/win-inplace-$round" "$win_cli" .)
  win_status=$?
  [[ $win_status == "$native_status" ]] && pass "in place, run $round: exit $win_status as natively" ||
    fail "in place, run $round: exit $win_status, natively $native_status (see $check/win-inplace-$round.err)"
  if ((round == 1)); then
    check_backup_times "in place" "$check/win-inplace"
    [[ -f "$check/win-inplace/図面/平面._JWW" ]] && pass "backup named 図面/平面._JWW" ||
      fail "no backup 図面/平面._JWW: $(cd "$check/win-inplace/図面" && ls)"
  fi
done
compare_trees "in-place" "$check/native-inplace" "$check/win-inplace"
grep -q '平面.jww' "$check/win-inplace-1.out" && pass "console output in UTF-8" ||
  fail "the console output does not show 平面.jww in UTF-8"

# 3. Arguments with Japanese names, a read-only target and a missing file.
(cd "$check/win-inplace" && wine_run "$check/win-args" "$win_cli" -o ..\\win-out "図面\\平面.jww" "図面/表示/表.jws")
status=$?
[[ $status == 0 ]] && pass "Japanese names as arguments" || fail "Japanese names as arguments: exit $status: $(head -3 "$check/win-args.err")"
chmod a-w "$check/win-out/図面/平面.jww"
(cd "$check/win-inplace" && wine_run "$check/win-readonly" "$win_cli" -o ..\\win-out\\図面 "図面\\平面.jww")
status=$?
[[ $status == 1 ]] && grep -q 'read-only' "$check/win-readonly.err" && pass "a read-only target is refused" ||
  fail "read-only target: exit $status: $(head -3 "$check/win-readonly.err")"
(cd "$check/win-inplace" && wine_run "$check/win-missing" "$win_cli" "無い.jww")
status=$?
[[ $status == 1 ]] && pass "a missing file fails" || fail "missing file: exit $status"

echo "command-line checks under Wine: $((SECONDS - start)) s, $failures failed"
((failures == 0))
