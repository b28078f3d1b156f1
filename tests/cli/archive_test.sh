#!/usr/bin/env bash
# An archive as its users convert it: a tree of drawings converted by one run
# with --json, every line read by a real JSON parser (Perl's JSON::PP); a dry
# run that writes nothing; and the README's GNU parallel recipe, whose tree
# must be the one run's, byte for byte.
#   tests/cli/archive_test.sh CLI EXAMPLES
# Answers 77 (skipped) when GNU parallel is missing, unless in CI.
set -euo pipefail
cli=$(realpath "$1")
examples=$(realpath "$2")
if ! command -v parallel >/dev/null; then
  echo "GNU parallel is missing (make deps installs it)"
  [[ -n ${CI:-} ]] && exit 1
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TMPDIR=$work/tmp LC_ALL=C.UTF-8
mkdir -p tmp one many

# A tree of about 60 drawings and figures in nested folders, one of them named
# in bytes that are not UTF-8, one in Japanese, and a file of another kind.
for d in tree tree/a tree/a/b tree/c/d/e tree/図面; do
  mkdir -p "$d"
  cp "$examples"/plan.jww "$examples"/figure.jws "$examples"/image.jww "$examples"/versions/*.jww "$d"/
done
cp "$examples/plan.jww" "tree/a/$(printf 'plan-\xff')".jww
cp "$examples/plan.jww" tree/図面/平面.jww
echo "notes" >tree/a/notes.txt
files=$(find tree -type f \( -iname '*.jww' -o -iname '*.jws' \) | wc -l)

# A dry run: the plan of every file, nothing written anywhere.
before=$(find tree one tmp -printf '%p %s %T@\n' | sort)
"$cli" -q --dry-run --json -o one tree >dry.jsonl
[[ $(find tree one tmp -printf '%p %s %T@\n' | sort) == "$before" ]] || { echo "FAIL: the dry run changed files"; exit 1; }

# One run, its results as JSON Lines.
"$cli" -q --json -o one tree >one.jsonl

perl -MJSON::PP -e '
  use strict;
  my ($files, @docs) = (shift);
  my @keys = qw(type source target backup outcome written dimensions lines texts points format version code reason);
  for my $name (@ARGV) {
    open my $in, "<:raw", $name or die "$name: $!\n";
    my @objects = map { JSON::PP->new->utf8->decode($_) } <$in>;  # dies on anything that is not JSON
    my $summary = pop @objects;
    die "$name: no summary last\n" unless $summary->{type} eq "summary" && $summary->{exit_status} == 0;
    die "$name: " . @objects . " file objects for $files files\n" unless @objects == $files;
    my $want = $name eq "dry.jsonl" ? "planned" : "converted";
    for my $o (@objects) {
      for my $k (@keys) { die "$name: no key $k\n" unless exists $o->{$k} }
      die "$name: $o->{source}: $o->{outcome}\n" unless $o->{outcome} eq $want && $o->{dimensions} > 0;
      die "$name: $o->{source}: no version\n" unless $o->{version} >= 200 && $o->{format} =~ /^JW[WS]$/;
      if (exists $o->{source_bytes}) {
        my $bytes = pack "H*", $o->{source_bytes};
        die "$name: $o->{source_bytes} names no file\n" unless -f $bytes && $bytes =~ /plan-\xff\.jww$/;
      }
    }
    die "$name: the summary counts $summary->{$want}\n" unless $summary->{$want} == $files;
  }
' "$files" dry.jsonl one.jsonl || { echo "FAIL: the JSON lines"; exit 1; }
grep -q '"source_bytes"' one.jsonl || { echo "FAIL: the name that is not UTF-8 has no source_bytes"; exit 1; }

# The tree spread over four processes, as the README shows it.
find tree -type f \( -iname '*.jww' -o -iname '*.jws' \) -print0 |
  parallel -0 -X -j4 "$cli" -q --base tree -o many
diff -r one many >/dev/null || { echo "FAIL: the tree of four processes differs from one run's"; diff -rq one many; exit 1; }
[[ -z $(ls -A tmp) ]] || { echo "FAIL: working folders left: $(ls tmp)"; exit 1; }
echo "ok: $files files: --json read by JSON::PP, the dry run wrote nothing, four processes wrote the one run's tree"
