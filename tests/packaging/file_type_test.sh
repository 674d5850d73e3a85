#!/usr/bin/env bash
# The .cfg file type as a desktop sees it: a shared-mime-info database of the system's
# types and the package's entry, asked through GIO as file managers ask it. The type must
# be the one the desktop entry and the AppStream metadata declare.
#   file_type_test.sh MIME_ENTRY DESKTOP_ENTRY METAINFO WEIRLINK
mime_entry=$1 desktop_entry=$2 metainfo=$3 weirlink=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/share/mime/packages" "$work/home"
cp "$mime_entry" /usr/share/mime/packages/freedesktop.org.xml "$work/share/mime/packages/" &&
    PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database "$work/share/mime" >/dev/null 2>&1 ||
    { echo "cannot build the MIME database"; exit 1; }

type_of()
{
    XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$work/share gio info -a standard::content-type "$1" |
        sed -n 's/^ *standard::content-type: //p'
}

declared=$(sed -n 's/^MimeType=\([^;]*\);$/\1/p' "$desktop_entry")
failures=0
# check WHAT GOT EXPECTED; an EXPECTED of !TYPE: anything but TYPE.
check()
{
    if [ "$2" = "$3" ] || { [ "${3#!}" != "$3" ] && [ "$2" != "${3#!}" ]; }; then
        echo "ok: $1"
    else
        echo "FAIL: $1: \"$2\", expected \"$3\""
        failures=$((failures + 1))
    fi
}

check "the AppStream metadata provides the desktop entry's type" \
    "$(sed -n 's/^ *<mediatype>\(.*\)<\/mediatype>$/\1/p' "$metainfo")" "$declared"

"$weirlink" defaults "$work/site.cfg" || exit 1
check "a file the tools wrote" "$(type_of "$work/site.cfg")" "$declared"
# By its first four bytes alone: a name that says nothing, or one that says otherwise.
cp "$work/site.cfg" "$work/site-saved-before-the-visit"
check "the same file under another name" "$(type_of "$work/site-saved-before-the-visit")" "$declared"
# The header's fourth byte changed: not the file type, whatever the first three say.
{ head -c 3 "$work/site.cfg"; printf '\022'; tail -c +5 "$work/site.cfg"; } >"$work/other-file"
check "a file with another header" "$(type_of "$work/other-file")" "!$declared"
# The name alone, for a .cfg file whatever is in it.
printf 'not yet written\n' >"$work/new.cfg"
check "a .cfg file by its name" "$(type_of "$work/new.cfg")" "$declared"

echo "$failures failed"
[ "$failures" -eq 0 ]
