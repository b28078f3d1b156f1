#!/bin/sh
# tessaly started with files, as a file manager's "Open With" starts it: they
# are converted where the settings say (here each in its own folder) without a
# question, and the program ends by itself with status 0.
# usage: command_line_test.sh TESSALY TESSALY_CLI EXAMPLES_DIR
set -eu
tessaly=$1 cli=$2 examples=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/config/tessaly" "$dir/home" "$dir/図面"
cp "$examples/plan.jww" "$examples/figure.jws" "$dir/図面/"
# LF line ends, which the program reads; it writes CR LF.
printf '192\n107\n194\n107\n416\n219\n0\n0\n1\n0\n\n\n1\n' >"$dir/config/tessaly/tessaly.dat"
export XDG_CONFIG_HOME="$dir/config" HOME="$dir/home" TMPDIR="$dir"

fail() { echo "command_line_test: $*" >&2; exit 1; }

timeout 60 "$tessaly" "$dir/図面/plan.jww" "$dir/図面/figure.jws" "$dir/missing.jww" ||
  fail "tessaly ended with status $?"
cmp -s "$examples/plan.jww" "$dir/図面/plan._JWW" || fail "no backup of the original plan"
cmp -s "$examples/figure.jws" "$dir/図面/figure._JWS" || fail "no backup of the original figure"
"$cli" --info "$dir/図面/plan.jww" | grep -q "dimensions: 0" || fail "plan.jww was not converted"
"$cli" --info "$dir/図面/figure.jws" | grep -q "dimensions: 0" || fail "figure.jws was not converted"
[ "$(tr -cd '\r' <"$dir/config/tessaly/tessaly.dat" | wc -c)" -eq 13 ] || fail "the settings were not written"
sed -n 9p "$dir/config/tessaly/tessaly.dat" | grep -q '^1' || fail "the destination choice was not kept"

# No argument names a drawing: nothing to do, and the program ends at once.
timeout 30 "$tessaly" "$dir/readme.txt" || fail "tessaly readme.txt ended with status $?"
[ ! -e "$dir/home/Desktop" ] || fail "a Desktop folder was made"
echo "command_line_test: ok"
