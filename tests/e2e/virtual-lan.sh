#!/usr/bin/env bash
# End to end over a virtual LAN: mervane-cli against mervane-unit on the unit's real ports
# (identification UDP 30718, TCP 10003), each in a network namespace of its own, joined by a veth
# pair: e2e0 198.18.0.1/24 on the operator side, e2e1 198.18.0.2/24 on the unit side
# (198.18.0.0/15 is the benchmarking range, never used on a real LAN).
#
#   bash tests/e2e/virtual-lan.sh MERVANE-CLI MERVANE-UNIT
#
# The script runs itself again under unshare: that shell is the operator side, with a fresh sysfs
# on /sys so that the adapter list shows the namespace's own interfaces. The unit side is a second
# network namespace, kept alive by a sleeping process and entered with nsenter.
#
# Proving --bind: the operator side also has 198.18.1.1 (on lo, which the adapter list leaves
# out), and its route to the unit prefers that as the source address; the unit side has no route
# back to 198.18.1.1. So a request gets an answer only when it is sent from 198.18.0.1: unbound,
# mervane-cli must fail; bound to the address the adapter list offers, it must work.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no network namespaces can be made here).
set -euo pipefail

readonly host_if=e2e0 host_ip=198.18.0.1 unit_if=e2e1 unit_ip=198.18.0.2 other_ip=198.18.1.1
readonly udp_port=30718 tcp_port=10003
readonly comm_error="通信エラー"  # what mervane-cli prints for any failure to reach the unit

if [ $# -ne 2 ]; then
    echo "usage: bash $0 MERVANE-CLI MERVANE-UNIT" >&2
    exit 2
fi
cli_bin=$(readlink -f "$1")
unit_bin=$(readlink -f "$2")
script=$(readlink -f "$0")

# shellcheck source-path=SCRIPTDIR source=namespaces.sh
. "$(dirname "$script")/namespaces.sh"

# --- outside: make the namespaces, or skip ----------------------------------------------------

enter_namespaces "a veth pair and a fresh sysfs" \
    "ip link add $unit_if type veth peer name $host_if && mount -t sysfs sysfs /sys &&
        unshare --net true" \
    "$script" "$cli_bin" "$unit_bin"

# --- inside: the operator side ----------------------------------------------------------------

work=$(mktemp -d -t mervane-e2e.XXXXXX)
unit_log=$work/unit.log
holder_pid=""
unit_pid=""

# Stops the unit with SIGTERM (SIGKILL when it lingers); returns its exit status, so that a
# sanitizer report at its exit counts.
stop_unit() {
    [ -n "$unit_pid" ] || return 0
    kill -TERM "$unit_pid" 2>/dev/null || true
    poll unit_gone || kill -KILL "$unit_pid" 2>/dev/null || true
    local status=0
    wait "$unit_pid" 2>/dev/null || status=$?
    unit_pid=""
    return "$status"
}

unit_gone() { ! kill -0 "$unit_pid" 2>/dev/null; }

cleanup() {
    stop_unit || true
    if [ -n "$holder_pid" ]; then
        kill -KILL "$holder_pid" 2>/dev/null || true
        wait "$holder_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$unit_log" ]; then
        echo "--- mervane-unit's log ---" >&2
        cat "$unit_log" >&2
    fi
    exit 1
}

in_unit_ns() { in_ns "$holder_pid" "$@"; }

mount -t sysfs -o nosuid,nodev,noexec sysfs /sys
ip link set lo up

hold_namespace
holder_pid=$holder

ip link add "$unit_if" type veth peer name "$host_if"
ip link set "$unit_if" netns "$holder_pid"
ip address add "$host_ip/24" dev "$host_if"
ip address add "$other_ip/32" dev lo
ip link set "$host_if" up
ip route add "$unit_ip/32" dev "$host_if" src "$other_ip"

in_unit_ns ip link set lo up
in_unit_ns ip address add "$unit_ip/24" dev "$unit_if"
in_unit_ns ip link set "$unit_if" up

unit_listens() {
    kill -0 "$unit_pid" 2>/dev/null || fail "mervane-unit exited (see its log)"
    local tcp udp
    tcp=$(in_unit_ns ss -Hltn "sport = :$tcp_port")
    udp=$(in_unit_ns ss -Hlun "sport = :$udp_port")
    [[ $tcp == *"$unit_ip:$tcp_port"* && $udp == *"$unit_ip:$udp_port"* ]]
}

# Starts mervane-unit on the unit side with its default ports and OPTIONS, logging to unit_log,
# and waits until both of its services listen.
start_unit() {  # OPTIONS...
    setpriv --pdeathsig TERM -- nsenter --net="/proc/$holder_pid/ns/net" -- \
        "$unit_bin" --address "$unit_ip" "$@" >"$unit_log" 2>&1 &
    unit_pid=$!
    poll unit_listens || fail "mervane-unit did not listen on $unit_ip:$udp_port/$tcp_port"
}

expect_comm_error() {  # WHAT
    [[ $status == 1 && $err == "$comm_error" && -z $out ]] ||
        fail "$1: expected status 1 and \"$comm_error\" alone on stderr;" \
            "got status $status, stdout: $out, stderr: $err"
}

expect_line() {  # WHAT LINE (a whole line of out)
    grep -qxF -- "$2" <<<"$out" || fail "$1: no line \"$2\" in:"$'\n'"$out"
}

log_lines() { wc -l <"$unit_log"; }

# The unit logs its outputs ("hh:mm:ss.mmm DO1 ON  DO2 off ...") each time they change; these
# are the lines after line MARK.
outputs_since() { tail -n "+$(($1 + 1))" "$unit_log" | grep -E '^[0-9:.]+ DO1 ' || true; }

some_output_on_since() {  # MARK
    local lines
    lines=$(outputs_since "$1")
    [[ $lines == *" ON"* ]]
}

# The whole log: stopped at a moment when every output was off already, the unit logs no change.
all_outputs_off_now() {
    local lines
    lines=$(outputs_since 0)
    [ -n "$lines" ] && [[ ${lines##*$'\n'} != *" ON"* ]]
}

# Generation 4, eight outputs, every channel's times different so that a mix-up shows.
start_unit --type _W --model 19 --unit-id 5 --mask 0xA5 \
    --times 1:2,3:4,5:6,7:8,9:10,11:12,13:14,15:16

# --- the adapter list sees the veth interface, and names the address to bind --------------------

run_cli adapters
expect_ok "adapters"
expect_eq "adapters" "$out" "$host_ip ($host_if)"

run_cli adapters --json
expect_ok "adapters --json"
ifindex=$(<"/sys/class/net/$host_if/ifindex")
expect_eq "adapters --json" "$out" \
    "[{\"item\":\"$host_ip ($host_if)\",\"address\":\"$host_ip\",\"mask\":\"255.255.255.0\",\"interface\":$ifindex,\"description\":\"$host_if\",\"name\":\"$host_if\"}]"
bind=$(sed -n 's/.*"address":"\([0-9.]*\)".*/\1/p' <<<"$out")
expect_eq "the address adapters --json offers" "$bind" "$host_ip"

# --- read -----------------------------------------------------------------------------------

run_cli --bind "$bind" read "$unit_ip"
expect_ok "read"
expect_line "read" "Unit id   5"
expect_line "read" "Status    Non-active"
expect_line "read" "DO1  enabled   ON   1 (100 ms)    OFF   2 (200 ms)"
expect_line "read" "DO2  disabled  ON   3 (300 ms)    OFF   4 (400 ms)"
expect_line "read" "DO8  enabled   ON  15 (1500 ms)   OFF  16 (1600 ms)"

run_cli --bind "$bind" --json read "$unit_ip"
expect_ok "read --json"
expect_eq "read --json" "$out" \
    '{"active":false,"enableMask":165,"generation":4,"model":"KX-M19","offTime":[2,4,6,8,10,12,14,16],"onTime":[1,3,5,7,9,11,13,15],"outputs":8,"unitId":5}'

# --- apply, and the unit keeps it -----------------------------------------------------------

run_cli --bind "$bind" apply --mask 0x0F --times 2:7:9 --times 8:20:30 "$unit_ip"
expect_ok "apply"
expect_line "apply" "DO2  enabled   ON   7 (700 ms)    OFF   9 (900 ms)"

run_cli --bind "$bind" --json read "$unit_ip"
expect_ok "read --json after apply"
expect_eq "read --json after apply" "$out" \
    '{"active":false,"enableMask":15,"generation":4,"model":"KX-M19","offTime":[2,9,6,8,10,12,14,30],"onTime":[1,7,5,7,9,11,13,20],"outputs":8,"unitId":5}'

# --- start and stop: the unit's state and its outputs follow ---------------------------------

mark=$(log_lines)
run_cli --bind "$bind" start "$unit_ip"
expect_ok "start"
expect_eq "start" "$out" "Active"
poll some_output_on_since "$mark" || fail "start: the unit's log shows no output switched on"
run_cli --bind "$bind" --json read "$unit_ip"
expect_ok "read --json after start"
grep -qF '"active":true,' <<<"$out" || fail "read --json after start: not active: $out"

run_cli --bind "$bind" stop "$unit_ip"
expect_ok "stop"
expect_eq "stop" "$out" "Non-active"
poll all_outputs_off_now || fail "stop: the unit's log does not show every output off"
run_cli --bind "$bind" --json read "$unit_ip"
expect_ok "read --json after stop"
grep -qF '"active":false,' <<<"$out" || fail "read --json after stop: still active: $out"

# --- failures the operator is told about ----------------------------------------------------

# Unbound, the request leaves from 198.18.1.1, which the unit cannot answer.
run_cli -T 500 read "$unit_ip"
expect_comm_error "read without --bind"

# The unit answers the identification, but nobody listens on that TCP port.
run_cli --bind "$bind" --port $((tcp_port + 1)) read "$unit_ip"
expect_comm_error "read --port $((tcp_port + 1))"

stop_unit || fail "mervane-unit exited with status $?"

# A unit that hears the identification request but never answers it.
start_unit --no-udp-reply
run_cli --bind "$bind" -T 300 read "$unit_ip"
expect_comm_error "read from a silent unit"
grep -q ' udp F6 ' "$unit_log" || fail "the silent unit's log shows no identification request"
stop_unit || fail "the silent mervane-unit exited with status $?"

echo "PASSED: mervane-cli and mervane-unit over $host_if $host_ip <-> $unit_if $unit_ip"
