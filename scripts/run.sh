#!/usr/bin/env bash
# Tries the window against the simulated unit, without hardware and without root: sets up and
# builds, starts mervane-unit, then runs the window `mervane` in the foreground. Closing the window
# (or Ctrl+C) stops the unit as well.
#
#   bash scripts/run.sh [WINDOW OPTIONS]       e.g. bash scripts/run.sh -T5000
#
# Environment:
#   MERVANE_UNIT_ARGS   options for mervane-unit, split at blanks (see mervane-unit --help), e.g.
#                       MERVANE_UNIT_ARGS="--type _L --model 3" bash scripts/run.sh
#                       MERVANE_UNIT_ARGS="--active --mask 0xFF --times 5:5" bash scripts/run.sh
#                       With --count N (or --count=N) a plant of N units runs on 198.18.0.2 to
#                       198.18.0.(1+N), all on mervane1, for the window's search to find; at most
#                       253 fit. A plant needs the namespace below.
#                       MERVANE_UNIT_ARGS="--count 20 --variety" bash scripts/run.sh
#   MERVANE_RUN_CLIENT  for testing this script without a display: a command (split at blanks) run
#                       in place of the window, which is then not built; e.g.
#                       MERVANE_RUN_CLIENT="build/default/tools/cli/mervane-cli --bind 198.18.0.1 read 198.18.0.2"
#   MERVANE_RUN_PROGRAMS  for tests: "WINDOW UNIT", the paths of a window and a unit already built,
#                       run in place of build/default's; nothing is then set up or built
#
# Why a network namespace: the window's adapter list leaves out 127.0.0.1, so a unit on the
# loopback interface cannot be reached from it, and a unit on the machine's LAN address would be
# open to the whole LAN. Instead the script makes a private user + network namespace (no root
# needed) holding a veth pair, mervane0 198.18.0.1/24 and mervane1 198.18.0.2/24 (198.18.0.0/15 is
# the benchmarking range, never used on a real LAN), runs the unit on 198.18.0.2 and the window
# in there, where the adapter list shows mervane0 first. The window reads the interfaces from
# /sys/class/net, which shows the network namespace that mounted sysfs, so the namespace gets a
# private mount namespace too, with a fresh sysfs on /sys. All of it ends with its last process.
# The window still reaches the display: the X11 socket file /tmp/.X11-unix/X<n> (libxcb falls back
# to it, the abstract socket being private to each network namespace) and the Wayland socket in
# $XDG_RUNTIME_DIR are files, which a network namespace does not hide; DISPLAY, XAUTHORITY,
# WAYLAND_DISPLAY and XDG_RUNTIME_DIR are passed on unchanged.
#
# When no namespace can be made (user namespaces disabled, or an X display reached over TCP, such
# as ssh -X), the unit runs on every address of this machine and the script names the address to
# type instead. A plant cannot run there: its units need addresses of their own, so the script
# stops, saying so.
set -euo pipefail

script=$(readlink -f "$0")
cd "$(dirname "$script")/.."

readonly host_if=mervane0 host_ip=198.18.0.1 unit_if=mervane1 unit_ip=198.18.0.2
readonly default_tcp_port=10003
# A plant's addresses run from unit_ip to .254, below the subnet's broadcast address.
readonly max_units=$((254 - ${unit_ip##*.} + 1))

read -r -a unit_args <<<"${MERVANE_UNIT_ARGS:-}"
# The plant's size, as mervane-unit reads it (the last --count counts); a count that is not a
# number is left for mervane-unit to refuse.
unit_count=1
for ((i = 0; i < ${#unit_args[@]}; i++)); do
    case ${unit_args[i]} in
        --count) count_text=${unit_args[i + 1]:-} ;;
        --count=*) count_text=${unit_args[i]#--count=} ;;
        *) continue ;;
    esac
    [[ $count_text =~ ^[0-9]{1,9}$ ]] && unit_count=$((10#$count_text))
done
if ((unit_count > max_units)); then
    echo "run.sh: --count $unit_count: the units take $unit_ip onwards and only $max_units fit" \
        "below ${unit_ip%.*}.255; use --count $max_units or fewer." >&2
    exit 2
fi
read -r -a programs <<<"${MERVANE_RUN_PROGRAMS:-}"
window_program=${programs[0]:-build/default/app/mervane}
unit_program=${programs[1]:-build/default/tools/unit/mervane-unit}
if [ -n "${MERVANE_RUN_CLIENT:-}" ]; then
    read -r -a client <<<"$MERVANE_RUN_CLIENT"
else
    client=("$window_program")
fi
client+=("$@")

say() { printf '==> %s\n' "$*"; }

# --- the unit --------------------------------------------------------------------------------

unit_pid=""

stop_unit() {
    [ -n "$unit_pid" ] || return 0
    kill -TERM "$unit_pid" 2>/dev/null || true
    local i
    for ((i = 0; i < 50; i++)); do
        kill -0 "$unit_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$unit_pid" 2>/dev/null || true
    wait "$unit_pid" 2>/dev/null || true
    unit_pid=""
}

# The local addresses the unit listens on, PROTOCOL t (TCP) or u (UDP).
listening() {  # PROTOCOL
    ss -Hln"$1"p 2>/dev/null | grep -F "pid=$unit_pid," | awk '{ print $4 }'
}

# Starts mervane-unit in the background on ADDRESS; it gets SIGTERM should this shell die without
# cleaning up. Then waits until it listens (a plant starts its units one after another and its
# listener on unit_broadcast, if set, last) and sets unit_port to its TCP port. HINT is added to the
# message when the unit does not start.
start_unit() {  # ADDRESS [HINT]
    trap stop_unit EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    setpriv --pdeathsig TERM -- "$unit_program" --address "$1" \
        "${unit_args[@]}" &
    unit_pid=$!

    local i line
    for ((i = 0; i < 100; i++)); do
        if ! kill -0 "$unit_pid" 2>/dev/null; then
            wait "$unit_pid" 2>/dev/null || true
            unit_pid=""
            say "mervane-unit did not start (see its message above).${2:+ $2}"
            exit 1
        fi
        line=$(listening t | head -n 1) || true
        if [ -n "$line" ] && { [ -z "${unit_broadcast:-}" ] ||
            listening u | grep -qF "$unit_broadcast:"; }; then
            unit_port=${line##*:}
            return 0
        fi
        sleep 0.1
    done
    say "Could not see mervane-unit listen; going on anyway."
    unit_port=$default_tcp_port
}

# Prints what to do in the window.
instructions() {  # ADAPTER_IP ADAPTER_NAME UNIT_IP
    local port_text=""
    if [ "$unit_port" != "$default_tcp_port" ]; then
        port_text=", $unit_port as the port"
    fi
    echo
    if ((unit_count > 1)); then
        local last=${3%.*}.$((${3##*.} + unit_count - 1))
        say "The simulated plant of $unit_count units listens on $3 to $last (TCP port $unit_port)."
        say "Select $1 ($2) as the adapter and press 検索... (Search...) to find them all, or type one's"
        say "address${port_text} and press Connect."
        say "Closing the window stops the plant."
    else
        say "The simulated unit listens on $3 (TCP port $unit_port)."
        say "Select $1 ($2) as the adapter, type $3 as the IP address${port_text} and press Connect"
        say "(or press 検索... (Search...) to find the unit and double-click it to fill in its address)."
        say "Closing the window stops the unit."
    fi
    echo
}

# Runs the window (or the test client) in the foreground, stops the unit, exits with its status.
run_client_and_exit() {
    local status=0
    "${client[@]}" || status=$?
    stop_unit
    exit "$status"
}

# --- inside the namespace (the script runs itself again under unshare) -----------------------

if [ "${_MERVANE_RUN_IN_NAMESPACE:-}" = 1 ]; then
    unset _MERVANE_RUN_IN_NAMESPACE
    mount -t sysfs -o nosuid,nodev,noexec sysfs /sys
    ip link set lo up
    # The peer is made first and gets the lower index: mervane0 heads the adapter list.
    ip link add "$unit_if" type veth peer name "$host_if"
    ip address add "$host_ip/24" dev "$host_if"
    # A plant's units each bind an address of their own, consecutive from unit_ip.
    for ((i = 0; i < unit_count; i++)); do
        echo "address add ${unit_ip%.*}.$((${unit_ip##*.} + i))/24 dev $unit_if"
    done | ip -batch -
    ip link set "$host_if" up
    ip link set "$unit_if" up
    # A unit on one address hears no broadcast unless told where they arrive: the window's
    # 検索... broadcasts on mervane0's subnet.
    unit_broadcast=${unit_ip%.*}.255
    unit_args+=(--broadcast "$unit_broadcast")
    start_unit "$unit_ip"
    instructions "$host_ip" "$host_if" "$unit_ip"
    run_client_and_exit
fi

# --- set up and build ------------------------------------------------------------------------

if [ -z "${MERVANE_RUN_PROGRAMS:-}" ]; then
    bash scripts/setup.sh
    cmake --preset default >/dev/null
    if [ -n "${MERVANE_RUN_CLIENT:-}" ]; then
        cmake --build --preset default --target mervane-unit mervane-cli
    else
        cmake --build --preset default --target mervane mervane-unit
    fi
fi

# --- the namespace, when one can be made -----------------------------------------------------

namespace_refused=""
if [ -z "${WAYLAND_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ] && [[ $DISPLAY != :* && $DISPLAY != unix:* ]]; then
    namespace_refused="the X display $DISPLAY is reached over TCP, which a private network namespace cannot reach"
elif ! probe=$(unshare --user --map-root-user --net --mount sh -c \
        "ip link add $unit_if type veth peer name $host_if && mount -t sysfs sysfs /sys" 2>&1); then
    namespace_refused="unshare --user --map-root-user --net --mount failed: ${probe:-no message}; user namespaces may be disabled"
fi

if [ -z "$namespace_refused" ]; then
    export _MERVANE_RUN_IN_NAMESPACE=1
    exec unshare --user --map-root-user --net --mount -- bash "$script" "$@"
fi

# --- fallback: the unit on every address of this machine -------------------------------------

say "No private network namespace: $namespace_refused."
if ((unit_count > 1)); then
    say "A plant (--count $unit_count) needs that namespace: its units need addresses of their own."
    say "Allow user namespaces, or leave --count out of MERVANE_UNIT_ARGS."
    exit 1
fi
say "The simulated unit runs on every address of this machine instead (reachable from the LAN)."

# The first IPv4 address the window lists: not 127.0.0.1, on an interface that is up and has a
# hardware address other than all zeros.
first_address() {
    local name addr dir hw state flags
    while read -r _ name _ addr _; do
        addr=${addr%/*}
        [ "$addr" != 127.0.0.1 ] || continue
        dir=/sys/class/net/$name
        hw=$(cat "$dir/address" 2>/dev/null) || hw=""
        [[ $hw =~ [1-9a-fA-F] ]] || continue
        state=$(cat "$dir/operstate" 2>/dev/null) || state=""
        flags=$(cat "$dir/flags" 2>/dev/null) || flags=0
        [ "$state" = up ] || { [ "$state" = unknown ] && ((flags & 1)); } || continue
        echo "$addr $name"
        return 0
    done < <(ip -o -4 address show)
    return 1
}

start_unit 0.0.0.0 "Another program may hold its ports: stop it, or choose others with MERVANE_UNIT_ARGS."
if read -r addr name < <(first_address); then
    instructions "$addr" "$name" "$addr"
else
    echo
    say "This machine has no IPv4 address the window lists (127.0.0.1 is left out):"
    say "connect it to a network, or allow user namespaces, to try the window against the unit."
    echo
fi
run_client_and_exit
