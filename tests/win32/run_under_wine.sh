#!/usr/bin/env bash
# Runs the cross-built programs under Wine: the unit tests (the window's among
# them, and the window's again on a screen at 150 %), then tessaly-cli.exe
# against the native build, which must write the same bytes into a folder and
# in place with backups, also under Japanese file and folder names, then
# tessaly.exe started with two files.
#   tests/win32/run_under_wine.sh NATIVE_BUILD WINDOWS_BUILD
#   tests/win32/run_under_wine.sh --screenshots DIR WINDOWS_BUILD
# The second form only draws the main window into DIR/tessaly-main-win32.png,
# and at 150 % into DIR/tessaly-main-win32-150.png.
# Wine runs in its own prefix under WINDOWS_BUILD, its windows on a virtual
# display of its own (Xvfb). Every Wine command has a time limit and writes to
# files, never to a pipe: a wineserver that keeps a pipe open would hang the run.
# The last line counts the unit tests and the checks that passed, failed and
# were skipped; in a suite (SUITE_DIR, see tools/suite.sh) the counts and the
# unit tests' skip reasons go there too.
set -uo pipefail
cd "$(dirname "$0")/../.."
shots=""
if [[ ${1:-} == --screenshots ]]; then
  shots=$2
  shift 2
  set -- build "$@"
fi
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
failures=0 passes=0 skips=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

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
    echo "wine prefix made in $((SECONDS - start)) s"
  fi
  # The Japanese Gothic font under the name the windows ask for. Windows that
  # no window manager looks after: with none on the virtual display, Wine
  # would wait 2 s for one each time a window is shown or hidden.
  cat >"$win/prefix.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAGothic"
"MS Gothic"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
  # Applied again to a prefix made before these keys changed.
  if ! cmp -s "$win/prefix.reg" "$WINEPREFIX/tessaly-prefix.reg"; then
    timeout 60 wine regedit /S "$(winepath_w "$win/prefix.reg")" >"$win/regedit.log" 2>&1 &&
      cp "$win/prefix.reg" "$WINEPREFIX/tessaly-prefix.reg"
    timeout 60 wineserver -w
  fi
}

# A virtual display for the windows, for the whole run.
start_display() {
  rm -f "$win/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$win/xvfb.display" >"$win/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $win/xvfb.display ]] && break
    sleep 0.1
  done
  if [[ ! -s $win/xvfb.display ]]; then
    echo "Xvfb did not start (see $win/xvfb.log)" >&2
    exit 1
  fi
  export DISPLAY=:$(head -1 "$win/xvfb.display")
}

winepath_w() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# The screen's scale as Windows' display settings set it, in dots per inch
# (96 is 100 %, 144 is 150 %): the desktop's LogPixels, which each program
# reads as it starts. The prefix notes what it has; the old note goes first, so
# that a run cut short leaves no note of a scale the prefix does not have.
set_dpi() {
  local note=$WINEPREFIX/tessaly-dpi
  [[ $(cat "$note" 2>/dev/null) == "$1" ]] && return 0
  rm -f "$note"
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >"$win/reg.log" 2>&1 && echo "$1" >"$note"
}

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

xvfb_pid=""
stop_all() {
  # The next run, or the next program, finds the prefix at 100 %.
  [[ -f $WINEPREFIX/system.reg ]] && set_dpi 96
  timeout 60 wineserver -k >/dev/null 2>&1
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
}
trap stop_all EXIT
start_display
prepare_prefix
# One wineserver for the whole run: one that ends between two programs races
# with the next one's start ("wine client error: recvmsg").
timeout 30 wineserver -p >"$win/wineserver.log" 2>&1
set_dpi 96

# The main window's picture; answers whether it was drawn.
screenshot() {
  local to=$1
  wine_run "$win/screenshot" "$win/tests/gui/win32/tessaly-screenshot.exe" \
    "$(winepath_w "$to")" "$(winepath_w examples)" && [[ -s $to ]]
}
if [[ -n $shots ]]; then
  mkdir -p "$shots"
  for scale in 96:tessaly-main-win32.png 144:tessaly-main-win32-150.png; do
    set_dpi "${scale%%:*}"
    to=$shots/${scale#*:}
    screenshot "$to" || { echo "no picture: see $win/screenshot.out, $win/screenshot.err" >&2; exit 1; }
    echo "wrote $to"
  done
  exit 0
fi

rm -rf "$check" && mkdir -p "$check"
start=$SECONDS

# 0. The unit tests: each program started once for all its tests (a Wine start
# per test case would cost half a second each).
mkdir -p "$check/unit"
tests=$(find "$win/tests" -name '*_test.exe' | sort)
if [[ -z $tests ]]; then
  echo "no unit tests in $win/tests (GoogleTest sources missing?)"
fi
# count WORD FILE: GoogleTest's count of its tests that PASSED, SKIPPED or
# FAILED ("[  PASSED  ] 12 tests.", "[  SKIPPED ] 1 test, listed below:").
count() { sed -n "s/^\[  $1 *\] \([0-9]*\) tests\{0,1\}[.,].*/\1/p" "$2" | head -1; }
# unit NAME PROGRAM: runs one test program, counts its tests.
unit() {
  local name=$1 t=$2 status summary out passed skipped failed
  out=$check/unit/$name.out
  wine_run "$check/unit/$name" "$t" --gtest_brief=1
  status=$?
  summary=$(grep -E '^\[  (PASSED|SKIPPED) ' "$out" | tr -s ' ' | tr '\n' ' ')
  passed=$(count PASSED "$out") skipped=$(count SKIPPED "$out") failed=$(count FAILED "$out")
  if [[ $status == 0 ]]; then
    echo "ok: $name: $summary"
  else
    fail "$name: exit $status, see $out"
    grep -E '^\[  FAILED  \]' "$out" | head -10
    # The program's failure counted above, its tests here.
    failures=$((failures + ${failed:-1} - 1))
  fi
  passes=$((passes + ${passed:-0})) skips=$((skips + ${skipped:-0}))
  # Brief output names no skipped test, but each skip's place and reason.
  [[ -z ${SUITE_DIR:-} ]] || tr -d '\r' <"$out" | awk -v name="$name" '/: Skipped$/ {
      where = $0; sub(/: Skipped$/, "", where); sub(/.*\//, "", where)
      getline reason; print name " at " where "\t" reason
    }' >>"$SUITE_DIR/skipped"
}
# The window's tests know the scale the desktop has (TESSALY_TEST_DPI).
export TESSALY_TEST_DPI=96
for t in $tests; do
  unit "$(basename "$t" .exe)" "$t"
done
# The window's tests again on a screen at 150 %.
view_test=$win/tests/gui/win32/win32_view_test.exe
if [[ -f $view_test ]]; then
  set_dpi 144
  export TESSALY_TEST_DPI=144
  unit win32_view_test-150 "$view_test"
  export TESSALY_TEST_DPI=96
  set_dpi 96
fi
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

# 1b. An archive's options: a dry run writes nothing and plans as natively;
# --json says what natively it says (paths aside); --base splits the list over
# two runs into the tree one run writes. Both builds write into json-out, so
# that their lines name the same folder.
norm() { tr -d '\r' <"$1" | sed 's|\\\\|/|g'; }
mkdir -p "$check/json-out" "$check/win-base"
(cd "$check/in" && "$native_cli" -q --dry-run --json -o ../json-out . >"$check/native-dry.jsonl" 2>/dev/null)
native_status=$?
(cd "$check/in" && wine_run "$check/win-dry" "$win_cli" -q --dry-run --json -o ..\\json-out .)
status=$?
[[ $status == "$native_status" && -z $(ls -A "$check/json-out") ]] &&
  [[ $(norm "$check/win-dry.out") == "$(norm "$check/native-dry.jsonl")" ]] &&
  pass "--dry-run: nothing written, $(wc -l <"$check/native-dry.jsonl") JSON lines as natively" ||
  fail "--dry-run: exit $status (natively $native_status), $(ls -A "$check/json-out" | wc -l) files written; see $check/win-dry.out"
(cd "$check/in" && "$native_cli" -q --json -o ../json-out . >"$check/native.jsonl" 2>/dev/null)
mv "$check/json-out" "$check/native-json" && mkdir "$check/json-out"
(cd "$check/in" && wine_run "$check/win-json" "$win_cli" -q --json -o ..\\json-out .)
mv "$check/json-out" "$check/win-json"
[[ $(norm "$check/win-json.out") == "$(norm "$check/native.jsonl")" ]] && pass "--json: every line as natively" ||
  fail "--json: differs from natively (see $check/win-json.out)"
mapfile -d '' listed < <(cd "$check/in" && find . -type f \( -iname '*.jww' -o -iname '*.jws' \) -print0 | sort -z)
half=$((${#listed[@]} / 2))
(cd "$check/in" && wine_run "$check/win-base-1" "$win_cli" -q --base . -o ..\\win-base "${listed[@]:0:half}" &&
  wine_run "$check/win-base-2" "$win_cli" -q --base=. -o ..\\win-base "${listed[@]:half}")
compare_trees "--base over two runs" "$check/native-json" "$check/win-base"

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
# A Japanese Windows: everything said in Japanese. (Wine takes the language
# from LC_ALL; without that locale on the system it reads arguments as ASCII,
# hence an ASCII name here.)
(cd "$check/win-inplace" && LC_ALL=ja_JP.UTF-8 wine_run "$check/win-japanese" "$win_cli" "missing.jww")
status=$?
[[ $status == 1 ]] && grep -q '^missing.jww: 変換できませんでした: ファイルがありません' "$check/win-japanese.err" &&
  grep -q '^ファイル 1 個: 変換 0' "$check/win-japanese.out" && pass "said in Japanese on a Japanese system" ||
  fail "Japanese: exit $status: $(head -3 "$check/win-japanese.err")"

# 4. tessaly.exe started with two files, as Explorer's "Open with" starts it:
# both converted without a question where the settings beside the program say
# (each in its own folder), and the program ends by itself.
gui=$check/gui
mkdir -p "$gui/プログラム" "$gui/図面" "$gui/native"
cp "$win/src/gui/win32/tessaly.exe" "$gui/プログラム/"
printf '192\r\n107\r\n194\r\n107\r\n416\r\n219\r\n0\r\n0\r\n1\r\n0\r\n\r\n\r\n1\r\n' >"$gui/プログラム/tessaly.dat"
cp examples/plan.jww "$gui/図面/平面.jww"
cp examples/figure.jws "$gui/図面/表.jws"
cp examples/plan.jww examples/figure.jws "$gui/native/"
"$native_cli" -q "$gui/native" >"$check/gui-native.log" 2>&1
wine_run "$check/gui-run" "$gui/プログラム/tessaly.exe" "$(winepath_w "$gui/図面/平面.jww")" \
  "$(winepath_w "$gui/図面/表.jws")"
status=$?
if [[ $status == 0 ]] && cmp -s examples/plan.jww "$gui/図面/平面._JWW" &&
  cmp -s examples/figure.jws "$gui/図面/表._JWS" && cmp -s "$gui/native/plan.jww" "$gui/図面/平面.jww" &&
  cmp -s "$gui/native/figure.jws" "$gui/図面/表.jws"; then
  pass "tessaly.exe with two files: both converted as natively, backed up, and it closed"
else
  fail "tessaly.exe with two files: exit $status: $(cd "$gui/図面" && ls | tr '\n' ' ')"
fi
[[ $(tr -cd '\r' <"$gui/プログラム/tessaly.dat" | wc -c) == 13 ]] &&
  pass "tessaly.exe wrote its settings beside itself with CR LF" || fail "tessaly.dat not written again"
wine_run "$check/gui-none" "$gui/プログラム/tessaly.exe" "$(winepath_w "$gui")\\readme.txt"
status=$?
[[ $status == 0 ]] && pass "tessaly.exe with no drawing closes at once" || fail "tessaly.exe readme.txt: exit $status"
# The zip holds both programs, the README, the Japanese guide and the licence.
zip=$(ls -t "$win"/tessaly-*-windows.zip 2>/dev/null | head -1)  # the newest: an older version's may be left
listed=$(cmake -E tar tf "$zip" 2>/dev/null | sed -n 's|^tessaly/\(.\)|\1|p' | sort | tr '\n' ' ')
[[ $listed == "LICENSE README.md guide-ja.txt tessaly-cli.exe tessaly.exe " ]] && pass "the zip holds $listed" ||
  fail "the zip ${zip:-(none)} holds: $listed"
# The guide as Notepad reads it best: UTF-8 with its byte order mark, CR LF.
mkdir -p "$check/zip"
guide=$check/zip/tessaly/guide-ja.txt
[[ -n $zip ]] && (z=$(realpath "$zip") && cd "$check/zip" && cmake -E tar xf "$z" tessaly/guide-ja.txt) 2>/dev/null
if [[ -s $guide && $(head -c3 "$guide" | od -An -tx1 | tr -d ' \n') == efbbbf &&
  $(tr -cd '\n' <"$guide" | wc -c) == $(tr -cd '\r' <"$guide" | wc -c) ]]; then
  pass "the guide in the zip is UTF-8 with CR LF ($(tr -cd '\n' <"$guide" | wc -c) lines)"
else
  fail "the guide in the zip is missing, or not UTF-8 with CR LF: $guide"
fi
# The window drawn, as the README shows it, at 100 and 150 %.
screenshot "$check/tessaly-main-win32.png" && pass "the main window drawn: $check/tessaly-main-win32.png" ||
  fail "the main window could not be drawn (see $win/screenshot.err)"
set_dpi 144
screenshot "$check/tessaly-main-win32-150.png" &&
  pass "the main window drawn at 150 %: $check/tessaly-main-win32-150.png" ||
  fail "the main window could not be drawn at 150 % (see $win/screenshot.err)"
set_dpi 96

echo "command-line and window checks under Wine: $((SECONDS - start)) s"
[[ -z ${SUITE_DIR:-} ]] || echo "$passes $failures $skips" >"$SUITE_DIR/counts"
echo "under Wine: $passes passed, $failures failed, $skips skipped (unit tests and checks)"
((failures == 0))
