#!/usr/bin/perl
# The patterns the program says things with: every string literal (or run of
# adjacent literals) given to Message(...) in src/, once each, in the order
# first met. With --check PO: fails, naming them, when a pattern has no
# translation in the catalogue PO or the catalogue holds a pattern the program
# no longer says.
use strict;
use warnings;
use File::Find;

my ($check, $po) = (@ARGV && $ARGV[0] eq '--check') ? (1, $ARGV[1]) : (0, undef);
my $root = $0 =~ m{^(.*)/tools/[^/]+$} ? $1 : '.';

my (@order, %seen);
my @files;
find(sub { push @files, $File::Find::name if /\.(cpp|h)$/ }, "$root/src");
for my $file (sort @files) {
  open my $fh, '<', $file or die "$file: $!";
  local $/;
  my $text = <$fh>;
  # Message(" ... " " ... ") and Message::Value are not patterns.
  while ($text =~ /\bMessage\(\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\)/g) {
    my $lits = $1;
    my $pattern = '';
    $pattern .= $1 while $lits =~ /"((?:[^"\\]|\\.)*)"/g;
    $pattern =~ s/\\n/\n/g;
    $pattern =~ s/\\"/"/g;
    $pattern =~ s/\\\\/\\/g;
    push @order, $pattern unless $seen{$pattern}++;
  }
}

unless ($check) {
  print "$_\n---\n" for @order;
  exit 0;
}

# The catalogue's entries: msgid and msgstr with their continuation lines.
open my $fh, '<', $po or die "$po: $!";
my (%catalogue, $key, $id, $str);
my $flush = sub {
  $catalogue{$id} = $str if defined $id && $id ne '';
  ($id, $str) = (undef, undef);
};
while (my $line = <$fh>) {
  if ($line =~ /^msgid\s+"(.*)"\s*$/) { $flush->(); $id = $1; $key = \$id; next; }
  if ($line =~ /^msgstr\s+"(.*)"\s*$/) { $str = $1; $key = \$str; next; }
  if ($line =~ /^"(.*)"\s*$/ && $key) { $$key .= $1; next; }
  $key = undef if $line =~ /^\s*$/ || $line =~ /^#/;
}
$flush->();
for my $k (keys %catalogue) {
  my ($i, $s) = ($k, $catalogue{$k});
  delete $catalogue{$k};
  for ($i, $s) { s/\\n/\n/g; s/\\"/"/g; s/\\t/\t/g; s/\\\\/\\/g; }
  $catalogue{$i} = $s;
}

my $bad = 0;
for my $p (@order) {
  if (!defined $catalogue{$p} || $catalogue{$p} eq '') {
    print "no translation in $po: \"$p\"\n";
    $bad = 1;
    next;
  }
  # Every hole of the pattern is in the translation, and no other.
  my %holes = map { $_ => 1 } ($p =~ /\{(\w+)\}/g);
  my %theirs = map { $_ => 1 } ($catalogue{$p} =~ /\{(\w+)\}/g);
  for my $h (sort keys %holes) {
    next if $theirs{$h};
    print "the translation of \"$p\" lacks {$h}\n";
    $bad = 1;
  }
  for my $h (sort keys %theirs) {
    next if $holes{$h};
    print "the translation of \"$p\" has {$h}, which the program does not fill\n";
    $bad = 1;
  }
}
for my $k (sort keys %catalogue) {
  next if $seen{$k};
  print "$po holds \"$k\", which the program no longer says\n";
  $bad = 1;
}
print scalar(@order), " patterns, all translated\n" unless $bad;
exit $bad;
