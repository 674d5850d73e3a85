#!/bin/sh
# The package states its version in three places besides the program: each must be the
# program's own, or the package, its changelog and its AppStream release tell different
# stories.
#   versions_test.sh VERSION_HEADER CHANGELOG METAINFO
program=$(sed -n 's/.*kProgramVersion\[\] = "\(.*\)";/\1/p' "$1")
changelog=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$2")
# The newest release comes first.
metainfo=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$3" | head -n 1)

echo "program $program, changelog $changelog, AppStream $metainfo"
[ -n "$program" ] && [ "$changelog" = "$program" ] && [ "$metainfo" = "$program" ]
