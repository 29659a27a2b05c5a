#!/usr/bin/env bash
# What the completions offer where it matters: commands, the options of the command typed so
# far (past option values and the "=" and ":" bash splits off), and fixed option values.
#
#   bash tests/package/completion.sh MERVANE-CLI.BASH MERVANE-UNIT.BASH
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: bash $0 MERVANE-CLI.BASH MERVANE-UNIT.BASH" >&2
    exit 2
fi
# shellcheck source=/dev/null
source "$1"
# shellcheck source=/dev/null
source "$2"

failed=0
# expect "WANTED" WORD...: completing the last WORD, as bash has split the line, offers WANTED.
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    local function
    function=$(complete -p "$1" | awk '{ print $(NF - 1) }')
    "$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    if [ "${COMPREPLY[*]}" != "$wanted" ]; then
        echo "FAIL: completing \"$*\" offers \"${COMPREPLY[*]}\", not \"$wanted\"" >&2
        failed=1
    fi
}

expect "read apply check start stop adapters discover" mervane-cli ""
expect "apply adapters" mervane-cli --json -T 500 a
expect "--bind --port --json --yes --jobs --hosts --trace --help --profile --mask --times --interval --verify --force" \
    mervane-cli --port = 7 apply --times 1 : 5 : 10 h --
expect "--hosts" mervane-cli read h --hos
expect "--profile" mervane-cli check h --pro
expect "--no-probe" mervane-cli --jobs 4 discover 10.0.0.0/24 --no
expect "16" mervane-cli discover --jobs 16
expect "1000 10000" mervane-cli apply h --interval 1000
expect "_W _L X6" mervane-unit --type = ""
expect "--no-udp-reply --no-uu --no-frame-end" mervane-unit --no
expect "" mervane-unit --times 5 : ""
exit "$failed"
