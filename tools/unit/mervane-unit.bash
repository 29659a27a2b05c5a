# bash completion for mervane-unit                                  -*- shell-script -*-
# Options and the values worth offering; never file names (the program reads none).

_mervane_unit() {
    local cur="" prev=""
    cur=${COMP_WORDS[COMP_CWORD]}
    if ((COMP_CWORD > 0)); then
        prev=${COMP_WORDS[COMP_CWORD - 1]}
    fi
    # "--type=_L": bash splits at the "=".
    if [[ $cur == "=" ]]; then
        cur=""
    elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    local values=""
    case $prev in
        --type) values="_W _L X6" ;;
        --model) values=$(echo {0..31}) ;;
        --unit-id) values=$(echo {0..15}) ;;
        --address)
            values="0.0.0.0 127.0.0.1"
            # The adapters the window offers, from mervane-cli beside this program when it is there.
            local cli=${1%mervane-unit}mervane-cli
            if type -P "$cli" >/dev/null; then
                values+=" $("$cli" adapters 2>/dev/null | cut -d ' ' -f 1)"
            fi
            ;;
        --broadcast) values="127.255.255.255" ;;
        --udp-port) values=30718 ;;
        --tcp-port) values=10003 ;;
        --oversized) values="F8 F4 E7" ;;
        --one-shot) values=$(echo {1..8}) ;;
        --silent) values="F6 LN F8 F4 E7 UU MI OL OJ OC OH OT OI NJ NS E1 E2 E3 F1 F2 F3" ;;
        --count | --mask | --times | --interval | --first-reply-size | --split | --split-pause | --stray | \
            --close-after | --delay)
            return
            ;;
        *)
            if [[ $cur == -* ]]; then
                values="-h --help --version --type --model --unit-id --address --udp-port
                    --tcp-port --quiet --count --variety --broadcast --active --mask --times --interval --one-shot --no-udp-reply
                    --first-reply-other-port --first-reply-size --oversized --answer-both --no-uu
                    --uu-nibble7 --split --split-pause --stray --one-byte-binary --extra-binary-byte
                    --wrong-echo --no-frame-end --garbage --tcp-silent --close-mid-reply --reset
                    --chatter --silent --close-after --delay"
            fi
            ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
}

complete -F _mervane_unit mervane-unit
