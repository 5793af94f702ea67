#!/usr/bin/perl
# Walks one tag of an index file with Perl's XBase::Index, an independent
# reader, and prints the record numbers in the tag's order, one a line.
# Usage: walk_index.pl FILE KEYTYPE [TAG]   (KEYTYPE: C, N or D)
use strict;
use warnings;
use XBase::Index;

my ($file, $type, $tag) = @ARGV;
die "usage: walk_index.pl FILE KEYTYPE [TAG]\n" unless defined $type;
my @options = ('type' => $type);
push @options, ('tag' => $tag) if defined $tag;
my $index = XBase::Index->new($file, @options) or die "cannot read $file: " . XBase::Index->errstr . "\n";
$index->prepare_select;
while (my ($key, $record) = $index->fetch) {
  print "$record\n";
}
