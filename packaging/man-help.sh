#!/bin/sh
# Prints a program's --help in the shape help2man makes a manual page of. help2man runs it
# as "sh man-help.sh PROGRAM --help".
#
# "Exit status:" is a section of its own ("*Exit status*" is how help2man is told of one);
# help2man would make it a part of the section before it.
#
# A program with subcommands gets, in place of its list of them, a SUBCOMMANDS section at
# the end ("*Subcommands*" is how help2man is told of a section of its own) with each
# subcommand's help: its usage as the heading, then its description, arguments and options.
set -eu
program=$1

help=$("$program" --help)
subcommands=$(printf '%s\n' "$help" | sed -n '/^Subcommands:$/,/^$/s/^  \([^ ]\{1,\}\) .*/\1/p')

printf '%s\n' "$help" | awk '
  /^Exit status:$/ { print "*Exit status*"; next }
  /^Subcommands:$/ { listing = 1; next }
  listing && /^  / { next }
  { listing = 0; print }'

[ -n "$subcommands" ] || exit 0
printf '\n*Subcommands*\n\n'
for subcommand in $subcommands; do
  # A subcommand's help: its description, "Usage: ...", then its groups of arguments and
  # options under headings, each starting with the -h,--help every subcommand has.
  "$program" "$subcommand" --help | awk '
    sub(/^Usage: /, "") {
      print $0 ":"
      if (description != "") print "  " description "\n"
      usage = 1
      next
    }
    !usage { description = $0; next }
    /^[^ ].*:$/ || /^$/ || /^  -h,--help / { next }
    { print }'
  echo
done
