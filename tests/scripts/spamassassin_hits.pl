#!/usr/bin/perl
# Prints, for each message file named on standard input (one per line),
# "FILE<TAB>RULE,RULE,..." with the rules of the given configuration folder
# that SpamAssassin's engine finds in it. The folder holds the rules alone
# (and the plugin loaders), so nothing else is run: no network, no Bayes.
use strict;
use warnings;
use Mail::SpamAssassin;

my ($rules) = @ARGV;
die "usage: $0 RULES-FOLDER <names\n" unless defined $rules && -d $rules;
my $sa = Mail::SpamAssassin->new({
    rules_filename => $rules,
    site_rules_filename => $rules,
    userprefs_filename => '/dev/null',
    dont_copy_prefs => 1,
    local_tests_only => 1,
    home_dir_for_helpers => $rules,
});
$sa->init(1);
while (my $file = <STDIN>) {
    chomp $file;
    open(my $in, '<:raw', $file) or die "$file: $!\n";
    my $text = do { local $/; <$in> };
    close $in;
    my $mail = $sa->parse($text);
    my $status = $sa->check($mail);
    my @hit = grep { /^JL_/ } split /,/, $status->get_names_of_tests_hit;
    print "$file\t", join(',', sort @hit), "\n";
    $status->finish;
    $mail->finish;
}
