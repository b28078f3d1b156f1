#!/usr/bin/perl
# The command line killed at every point of a run, and the order of its steps.
#
#   perl tests/kill/kill_points.pl [--most N] [--only SCENARIO] CLI EXAMPLES
#
# For each scenario (a drawing converted in place beside an older backup; one
# converted into a folder over an existing target; several converted at once,
# the next read while the previous is put in place; a drawing with embedded
# images) it runs CLI once under strace and checks the order of the steps that
# keep a drawing safe when the power goes: every file flushed before its
# rename; the backup's rename, and its folder flushed, before the target's
# rename; every folder renamed into flushed before the end.
#
# Then it kills CLI at each call of each system call that changes a file or a
# folder (strace's fault injection sends SIGKILL as the call begins), and after
# each kill checks that every file is either as it was or as the run meant to
# write it, never partial; that a drawing being replaced is recoverable (its
# target unchanged, or its backup an exact copy of it); and that anything else
# left is a temporary file or a working folder of the run's own naming. Then it
# runs CLI again, which must succeed, write what the first run meant to, and
# leave nothing behind. --most N samples at most N points of a scenario, evenly.
#
# Prints "PASSED FAILED SKIPPED" (points) to $SUITE_DIR/counts when set, and
# answers 0 when every point held. Without strace it fails, saying so.
use strict;
use warnings;
use Cwd qw(abs_path);
use File::Basename qw(dirname basename);
use File::Copy qw(copy);
use File::Find qw(find);
use File::Path qw(make_path remove_tree);
use File::Temp qw(tempdir);
use Getopt::Long qw(GetOptions);

my $most = 0;
my $only = '';
GetOptions('most=i' => \$most, 'only=s' => \$only) && @ARGV == 2
  or die "usage: $0 [--most N] [--only SCENARIO] CLI EXAMPLES\n";
my ($cli, $examples) = map { abs_path($_) } @ARGV;
-x $cli or die "$0: $ARGV[0] is not a program\n";
system('strace -V >/dev/null 2>&1') == 0
  or die "$0: strace is missing (make deps installs it)\n";

# The calls at which a kill leaves a different state on disk: the state between
# two of them is the same wherever the kill comes. exit_group: killed at the
# very end.
my @KILL_AT = qw(openat write pwrite64 ftruncate fallocate fchmod fchown utimensat fsync fdatasync
  close rename renameat renameat2 unlink unlinkat mkdir rmdir exit_group);
my $TRACED = join ',', @KILL_AT;

sub slurp {
  my ($file) = @_;
  open my $in, '<:raw', $file or die "$file: $!\n";
  local $/;
  my $bytes = <$in>;
  return $bytes // '';
}

sub spit {
  my ($file, $bytes) = @_;
  make_path(dirname($file));
  open my $out, '>:raw', $file or die "$file: $!\n";
  print $out $bytes;
  close $out or die "$file: $!\n";
}

# Every file and folder below $root: relative name => bytes (a folder: undef).
sub state_of {
  my ($root) = @_;
  my %s;
  find({ no_chdir => 1, wanted => sub {
    return if $_ eq $root;
    (my $rel = $_) =~ s{^\Q$root\E/}{};
    $s{$rel} = -d $_ && !-l $_ ? undef : slurp($_);
  } }, $root);
  return \%s;
}

# What a run of ours may leave when killed: a temporary file beside a target or
# a backup, a working folder (and what is in it).
sub ours_left {
  my ($rel) = @_;
  return basename($rel) =~ /^\..+\.\d+\.[0-9a-f]{8}\.tmp$/ || $rel =~ m{^tmp/tessaly-\d+-[A-Za-z0-9]+(/|$)};
}

# The scenarios: the files before, the command, the targets and their backups.
my $older = "an older drawing, replaced by the run\n";
my @SCENARIOS = (
  { name => 'in-place', files => { 'plan.jww' => 'plan.jww', 'plan._JWW' => \"an older backup\n" },
    args => ['plan.jww'], targets => { 'plan.jww' => 'plan._JWW' } },
  { name => 'into-folder', files => { 'src/plan.jww' => 'plan.jww', 'out/plan.jww' => \$older },
    args => ['-o', 'out', 'src/plan.jww'], targets => { 'out/plan.jww' => 'out/plan._JWW' } },
  { name => 'several', files => { 'src/a.jww' => 'plan.jww', 'src/b.jws' => 'figure.jws',
      'src/c.jww' => 'versions/v420.jww', 'src/d.jww' => 'versions/v300.jww', 'out/b.jws' => \$older },
    args => ['-o', 'out', map { "src/$_" } qw(a.jww b.jws c.jww d.jww)],
    targets => { 'out/a.jww' => 'out/a._JWW', 'out/b.jws' => 'out/b._JWS', 'out/c.jww' => 'out/c._JWW',
                 'out/d.jww' => 'out/d._JWW' } },
  { name => 'images', files => { 'image.jww' => 'image.jww' },
    args => ['image.jww'], targets => { 'image.jww' => 'image._JWW' } },
);

sub set_up {
  my ($sc, $dir) = @_;
  remove_tree($dir);
  make_path("$dir/tmp");
  for my $rel (sort keys %{ $sc->{files} }) {
    my $from = $sc->{files}{$rel};
    spit("$dir/$rel", ref $from ? $$from : slurp("$examples/$from"));
  }
}

# Runs CLI in $dir (its working folder under $dir/tmp), with strace's options
# before it; answers the exit status and the signal that ended it.
sub run_cli {
  my ($sc, $dir, @strace) = @_;
  my $pid = fork // die "fork: $!\n";
  if ($pid == 0) {
    chdir $dir or die "$dir: $!\n";
    $ENV{TMPDIR} = "$dir/tmp";
    open STDOUT, '>', '/dev/null';
    open STDERR, '>', '/dev/null';
    my @cmd = (@strace ? ('strace', '-f', '-qq', @strace, '--') : (), $cli, '-q', @{ $sc->{args} });
    exec @cmd or exit 127;
  }
  waitpid $pid, 0;
  # strace ends the way the program did: killed by the same signal, or with
  # the shell's status for it.
  my ($status, $signal) = ($? >> 8, $? & 127);
  ($status, $signal) = (0, $status - 128) if @strace && $signal == 0 && $status > 128;
  return ($status, $signal);
}

# The order of the steps, from one traced run: the problems found.
sub order_problems {
  my ($sc, $dir, $trace) = @_;
  my (@calls, %pending);
  open my $in, '<', $trace or die "$trace: $!\n";
  while (my $line = <$in>) {
    chomp $line;
    my ($tid, $rest) = $line =~ /^(\d+)\s+(.*)$/ or next;
    if ($rest =~ /^(.*?)\s*<unfinished \.\.\.>$/) {
      $pending{$tid} = { text => $1, start => scalar @calls };
      push @calls, undef;  # its place when it began
      next;
    }
    my $start;
    if ($rest =~ /^<\.\.\. \w+ resumed>(.*)$/) {
      my $p = delete $pending{$tid} or next;
      $rest = $p->{text} . $1;
      $start = $p->{start};
    }
    $start //= scalar @calls;
    push @calls, { text => $rest, start => $start, end => scalar @calls };
  }
  my (%synced, %written, %renamed, %folder_synced, @problems);
  my %backup_of = %{ $sc->{targets} };
  my %target_of = reverse %backup_of;
  my $abs = sub { my ($p) = @_; $p = "$dir/$p" unless $p =~ m{^/}; $p =~ s{/\./}{/}g; $p };
  my $rel = sub { my ($p) = @_; $p =~ s{^\Q$dir\E/}{}; $p };
  for my $c (grep { defined } @calls) {
    my $t = $c->{text};
    if ($t =~ /^(?:write|pwrite64)\(\d+<([^>]*)>/) {
      $written{$1} = $c->{end};
    } elsif ($t =~ /^(?:fsync|fdatasync)\(\d+<([^>]*)>.*= 0$/) {
      my $p = $1;
      if (-d $p) { push @{ $folder_synced{$p} }, $c } else { $synced{$p} = $c->{end} }
    } elsif ($t =~ /^rename\("([^"]*)", "([^"]*)"\)\s*= 0$/) {
      my ($from, $to) = ($abs->($1), $abs->($2));
      my $name = $rel->($to);
      push @problems, "$name: renamed into place without a flush"
        unless defined $synced{$from} && $synced{$from} < $c->{start};
      push @problems, "$name: written after its flush"
        if defined $written{$from} && defined $synced{$from} && $written{$from} > $synced{$from};
      push @problems, "$name: renamed into place twice" if $renamed{$name};
      $renamed{$name} = $c;
      my $backup = $backup_of{$name};
      if ($backup && exists $sc->{files}{$name}) {
        my $b = $renamed{$backup};
        if (!$b || $b->{end} > $c->{start}) {
          push @problems, "$name: put in place before its backup $backup";
        } elsif (!grep { $_->{start} > $b->{end} && $_->{end} < $c->{start} }
                 @{ $folder_synced{dirname($abs->($backup))} }) {
          push @problems, "$name: put in place before the folder of its backup was flushed";
        }
      }
    }
  }
  for my $name (sort keys %backup_of) {
    push @problems, "$name: never put in place" unless $renamed{$name};
    my $backup = $backup_of{$name};
    push @problems, "$backup: no backup made" if $backup && exists $sc->{files}{$name} && !$renamed{$backup};
  }
  # Every folder renamed into is flushed after its last rename.
  my %last;
  for my $name (keys %renamed) {
    my $f = dirname($abs->($name));
    $last{$f} = $renamed{$name}{end} if ($last{$f} // -1) < $renamed{$name}{end};
  }
  for my $f (sort keys %last) {
    push @problems, "$f: not flushed after its last rename"
      unless grep { $_->{start} > $last{$f} } @{ $folder_synced{$f} };
  }
  return @problems;
}

# What is wrong with the files after a kill: before and meant are the states
# of a fresh set-up and of a run that ended.
sub kill_problems {
  my ($sc, $before, $meant, $now) = @_;
  my @problems;
  for my $name (sort keys %$now) {
    next if ours_left($name);
    my $bytes = $now->{$name};
    next if !defined $bytes && (exists $before->{$name} || exists $meant->{$name});  # a folder
    my $as_was = exists $before->{$name} && defined $before->{$name} && defined $bytes && $bytes eq $before->{$name};
    my $as_meant = exists $meant->{$name} && defined $meant->{$name} && defined $bytes && $bytes eq $meant->{$name};
    push @problems, "$name: neither as it was nor as meant" unless $as_was || $as_meant;
  }
  for my $name (sort keys %$before) {
    push @problems, "$name: gone" unless exists $now->{$name};
  }
  for my $target (sort keys %{ $sc->{targets} }) {
    my $backup = $sc->{targets}{$target};
    next unless exists $before->{$target};
    my $original = $before->{$target};
    push @problems, "$target: lost (neither it nor $backup holds the original)"
      unless ($now->{$target} // "\0none") eq $original || ($now->{$backup} // "\0none") eq $original;
  }
  return @problems;
}

# After a second run: what it meant to write, and nothing of ours left. (A
# target the first run had put in place is backed up by the second.)
sub rerun_problems {
  my ($sc, $meant, $now) = @_;
  my %backups = map { $_ => 1 } values %{ $sc->{targets} };
  my @problems;
  for my $name (sort keys %$now) {
    push @problems, "$name: left behind" if ours_left($name);
    push @problems, "$name: not written by the run"
      unless exists $meant->{$name} || $backups{$name} || ours_left($name);
  }
  for my $target (sort keys %{ $sc->{targets} }) {
    push @problems, "$target: not as meant after the second run"
      unless ($now->{$target} // "\0none") eq $meant->{$target};
  }
  return @problems;
}

my $work = tempdir('tessaly-kill-points.XXXXXX', TMPDIR => 1, CLEANUP => !$ENV{KEEP});
my ($passed, $failed) = (0, 0);
for my $sc (@SCENARIOS) {
  next if $only ne '' && $sc->{name} ne $only;
  my $dir = "$work/$sc->{name}";
  set_up($sc, $dir);
  my $before = state_of($dir);
  my $trace = "$work/$sc->{name}.trace";
  my ($status) = run_cli($sc, $dir, '-y', '-o', $trace, '-e', "trace=$TRACED");
  die "$sc->{name}: the run failed (status $status)\n" if $status != 0;
  my $meant = state_of($dir);
  my @order = order_problems($sc, $dir, $trace);
  print "$sc->{name}: order: $_\n" for @order;
  @order ? $failed++ : $passed++;

  # The points: the n-th call of each kind in a thread, up to the most any
  # thread makes (the first thread to reach its n-th call is the one killed).
  my %most;
  {
    my %count;
    open my $in, '<', $trace or die "$trace: $!\n";
    while (<$in>) {
      next if /resumed>/;
      my ($tid, $call) = /^(\d+)\s+(\w+)\(/ or next;
      my $n = ++$count{$tid}{$call};
      $most{$call} = $n if ($most{$call} // 0) < $n;
    }
  }
  my @points = map { my $c = $_; map { [$c, $_] } 1 .. ($most{$c} // 0) } @KILL_AT;
  if ($most && @points > $most) {
    my @every = @points;
    @points = map { $every[int($_ * @every / $most)] } 0 .. $most - 1;
  }
  my ($killed, $bad) = (0, 0);
  for my $point (@points) {
    my ($call, $n) = @$point;
    set_up($sc, $dir);
    my ($status, $signal) = run_cli($sc, $dir, '-o', '/dev/null', '-e', "trace=$call",
                                  '-e', "inject=$call:signal=KILL:when=$n");
    next unless $signal == 9;  # that call came no more than n-1 times in every thread
    $killed++;
    my @problems = kill_problems($sc, $before, $meant, state_of($dir));
    my ($again) = run_cli($sc, $dir);
    push @problems, "the second run failed (status $again)" if $again != 0;
    push @problems, rerun_problems($sc, $meant, state_of($dir));
    if (@problems) {
      $bad++;
      print "$sc->{name}: killed at $call #$n: $_\n" for @problems;
    }
  }
  printf "%s: %d kill points, %d held%s\n", $sc->{name}, $killed, $killed - $bad,
    @order ? ", the order of the steps wrong" : ", the steps in order";
  $passed += $killed - $bad;
  $failed += $bad;
}
print "$passed passed, $failed failed\n";
if ($ENV{SUITE_DIR}) {
  open my $counts, '>', "$ENV{SUITE_DIR}/counts" or die "$ENV{SUITE_DIR}/counts: $!\n";
  print $counts "$passed $failed 0\n";
}
exit($failed ? 1 : 0);
