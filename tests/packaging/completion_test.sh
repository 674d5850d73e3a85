#!/usr/bin/env bash
# The bash completion of weirlink, driven as bash drives it on Tab, against the real program
# and a running simulated unit.
#   completion_test.sh COMPLETION_FILE WEIRLINK WEIRLINK_SIM
completion=$(realpath "$1") weirlink=$(realpath "$2") weirlink_sim=$(realpath "$3")

# bash-completion's helpers are written for an interactive shell, not for set -eu.
source /usr/share/bash-completion/bash_completion || exit 1
source "$completion" || exit 1

work=$(mktemp -d)
trap 'kill $sim_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
PATH=$(dirname "$weirlink"):$PATH
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run

# A simulated unit, so that there is a port to offer: it prints its terminal once announced.
coproc sim { exec "$weirlink_sim" 2>/dev/null; }
sim_pid=$sim_PID
read -r -t 10 terminal <&"${sim[0]}" || { echo "the simulated unit did not start"; exit 1; }

mkdir "$work/files" "$work/files/site" && cd "$work/files" || exit 1
touch site.cfg software.bin notes.txt

# What Tab offers at the end of the line, one per line.
offers()
{
    COMP_LINE=$1
    COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _weirlink weirlink "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}"
}

failures=0
# expect LINE WORD...: each WORD is offered, each !WORD is not; "-" alone: nothing is.
expect()
{
    local line=$1 word got
    shift
    got=$(offers "$line")
    for word in "$@"; do
        if [[ $word == - && -n $got ]] ||
            [[ $word == !* && $'\n'$got$'\n' == *$'\n'${word#!}$'\n'* ]] ||
            [[ $word != - && $word != !* && $'\n'$got$'\n' != *$'\n'$word$'\n'* ]]; then
            printf 'FAIL: "%s" offers:\n%s\nexpected: %s\n' "$line" "$got" "$*"
            failures=$((failures + 1))
            return
        fi
    done
    printf 'ok: "%s"\n' "$line"
}

expect "weirlink " defaults show commands read send flash test-output ports !--help
expect "weirlink te" test-output !send
expect "weirlink --" --help --version !defaults
expect "weirlink send --" --port --trace --baud --sync-time --zero-totalizer !--channel
expect "weirlink read --port " COM1 "$terminal" !site.cfg
expect "weirlink flash --port COM1 --download-baud " 1200 57600 115200 !site.cfg
expect "weirlink test-output --port COM1 --channel " -
expect "weirlink test-output --port COM1 " --channel --current !site.cfg
expect "weirlink show " site.cfg site !software.bin !notes.txt
expect "weirlink send --trace " site.cfg !software.bin
expect "weirlink flash --port COM1 " software.bin !site.cfg

echo "$failures failed"
[ "$failures" -eq 0 ]
