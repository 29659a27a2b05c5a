# bash completion for mervane-cli                                   -*- shell-script -*-
# Commands, options and the values worth offering; file names only for --hosts and --profile.

_mervane_cli() {
    local cur="" prev=""
    cur=${COMP_WORDS[COMP_CWORD]}
    if ((COMP_CWORD > 0)); then
        prev=${COMP_WORDS[COMP_CWORD - 1]}
    fi
    # "--port=N": bash splits at the "=".
    if [[ $cur == "=" ]]; then
        cur=""
    elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    case $prev in
        --bind)
            # The addresses the window offers, from the program itself; it contacts no unit.
            local addresses
            addresses=$("$1" adapters 2>/dev/null | cut -d ' ' -f 1)
            mapfile -t COMPREPLY < <(compgen -W "$addresses" -- "$cur")
            return
            ;;
        --port)
            mapfile -t COMPREPLY < <(compgen -W "10003" -- "$cur")
            return
            ;;
        --interval)
            local intervals=({100..2000..100} {3000..14000..1000})
            mapfile -t COMPREPLY < <(compgen -W "${intervals[*]}" -- "$cur")
            return
            ;;
        --jobs)
            mapfile -t COMPREPLY < <(compgen -W "1 4 16 64 256" -- "$cur")
            return
            ;;
        --hosts | --profile | --trace)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        -T | --mask | --times | :)
            return
            ;;
    esac

    # The words before the cursor, with what bash split off at ":" or "=" joined up again.
    local words=() i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if ((${#words[@]} > 0)) &&
            [[ ${COMP_WORDS[i]} == [:=] || ${COMP_WORDS[i - 1]} == [:=] ]]; then
            words[-1]+=${COMP_WORDS[i]}
        else
            words+=("${COMP_WORDS[i]}")
        fi
    done
    # The command, skipping the values of options.
    local command="" word skip=0
    for word in "${words[@]}"; do
        if ((skip)); then
            skip=0
            continue
        fi
        case $word in
            --bind | -T | --port | --jobs | --hosts | --trace | --mask | --times | --interval | --profile) skip=1 ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=$word
                fi
                ;;
        esac
    done

    local options="--bind -T --port --json --yes --jobs --hosts --trace -h --help"
    case $command in
        "")
            if [[ $cur == -* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$options --version" -- "$cur")
            else
                mapfile -t COMPREPLY < <(compgen -W "read apply check start stop adapters discover" -- "$cur")
            fi
            ;;
        read | apply | check | start | stop)
            if [[ $command == apply ]]; then
                options+=" --profile --mask --times --interval --verify --force"
            elif [[ $command == check ]]; then
                options+=" --profile"
            fi
            if [[ $cur == -* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
            else
                mapfile -t COMPREPLY < <(compgen -A hostname -- "$cur")
            fi
            ;;
        adapters)
            if [[ $cur == -* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
            fi
            ;;
        discover)
            # Targets are addresses, ranges or host names: only the names can be offered.
            if [[ $cur == -* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$options --no-probe" -- "$cur")
            else
                mapfile -t COMPREPLY < <(compgen -A hostname -- "$cur")
            fi
            ;;
    esac
}

complete -F _mervane_cli mervane-cli
