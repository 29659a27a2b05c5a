# Sourced by the end-to-end scripts that build a virtual LAN out of network namespaces of their
# own. The sourcing script defines fail (says what went wrong, exits 1), and once inside the
# namespaces sets work (a scratch directory) and cli_bin (the mervane-cli to run).
# shellcheck shell=bash disable=SC2034,SC2154  # variables shared with the sourcing script

readonly skipped=77

# Outside: checks the programs and tools, then runs SCRIPT again with ARGS under unshare (with a
# user namespace too, unless root), in new network and mount namespaces where the shell command
# PROBE works: everything the script needs that an unprivileged sandbox may refuse. Exits 77,
# saying why, when no way works. Inside (the second run): returns at once.
enter_namespaces() {  # NEEDS PROBE SCRIPT ARGS...
    if [ "${_MERVANE_E2E_INSIDE:-}" = 1 ]; then
        unset _MERVANE_E2E_INSIDE
        return 0
    fi
    local needs=$1 probe=$2 script=$3 f tool candidate reasons="" output ns
    shift 3
    for f in "$@"; do
        [ -x "$f" ] || { echo "FAIL: $f is not an executable" >&2; exit 1; }
    done
    for tool in ip ss unshare nsenter setpriv timeout; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIPPED: $tool is not installed"
            exit "$skipped"
        fi
    done
    # Root needs no user namespace (and may be in a container that forbids one); anyone else does.
    local candidates=()
    [ "$(id -u)" != 0 ] || candidates+=("unshare --net --mount")
    candidates+=("unshare --user --map-root-user --net --mount")
    for candidate in "${candidates[@]}"; do
        read -r -a ns <<<"$candidate"
        if output=$("${ns[@]}" sh -c "$probe" 2>&1); then
            export _MERVANE_E2E_INSIDE=1
            exec "${ns[@]}" -- bash "$script" "$@"
        fi
        reasons+="${reasons:+; }$candidate: ${output:-failed without a message}"
    done
    echo "SKIPPED: cannot make network namespaces with $needs ($reasons)."
    echo "User namespaces may be disabled (sysctl user.max_user_namespaces," \
        "kernel.unprivileged_userns_clone) or the sandbox may forbid them."
    exit "$skipped"
}

# Polls COMMAND every 50 ms for at most 10 s (sanitized builds on a busy machine start slowly).
poll() {
    local i
    for ((i = 0; i < 200; i++)); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}

namespace_moved() { [ "$(readlink "/proc/$1/ns/net")" != "$(readlink /proc/self/ns/net)" ]; }

# Starts a process that holds a new network namespace and is killed with this shell, whatever
# ends it (the namespace and its interfaces go with it); sets holder to its process id.
hold_namespace() {
    setpriv --pdeathsig KILL -- unshare --net -- sleep infinity &
    holder=$!
    poll namespace_moved "$holder" || fail "a network namespace did not appear"
}

# Runs COMMAND in the network namespace that process PID holds.
in_ns() { local pid=$1; shift; nsenter --net="/proc/$pid/ns/net" -- "$@"; }

# Runs mervane-cli (bounded in time); sets out, err and status.
run_cli() {  # ARGS...
    status=0
    timeout --kill-after=5 30 "$cli_bin" "$@" >"$work/out" 2>"$work/err" || status=$?
    out=$(<"$work/out")
    err=$(<"$work/err")
}

# Success: status 0 and nothing on stderr (which also catches sanitizer reports that go on).
expect_ok() {  # WHAT
    [[ $status == 0 && -z $err ]] || fail "$1: status $status, stderr: $err"
}

expect_eq() {  # WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1:"$'\n'"expected: $3"$'\n'"actual:   $2"
}
