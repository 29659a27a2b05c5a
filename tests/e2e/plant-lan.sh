#!/usr/bin/env bash
# Discovery over a virtual plant LAN: mervane-cli finds, by broadcast, every unit on its subnet
# and none behind a router, and reaches the routed one by asking its range. Each party is a
# network namespace of its own (198.18.0.0/15 is the benchmarking range, never on a real LAN):
#
#   operator  lan0   198.18.4.1/24, route to 198.18.5.0/24 via 198.18.4.254
#   switch    br0    198.18.4.254/24, the bridge every 198.18.4.0/24 party is plugged into;
#             wan0   198.18.5.1/24, and forwarding on: the router to the second subnet
#   unit1..3  unitN  198.18.4.11 to .13, one mervane-unit each: .11 and .12 bound to their address
#                    with the broadcast listener on 198.18.4.255, .13 on 0.0.0.0
#   plant     plant0 198.18.4.100/24 and .101 to .149: one mervane-unit running 50 units of every
#                    kind, whose broadcast listener finds 198.18.4.255 by itself
#   routed    wan1   198.18.5.10/24, default route via 198.18.5.1, one mervane-unit
#
#   bash tests/e2e/plant-lan.sh MERVANE-CLI MERVANE-UNIT
#
# The script runs itself again under unshare: that shell is the operator, with a fresh sysfs on
# /sys so that the adapter list shows lan0 alone. The others are namespaces kept alive by
# sleeping processes and entered with nsenter.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no network namespaces with a bridge here).
set -euo pipefail

readonly udp_port=30718 tcp_port=10003 plant_count=50

if [ $# -ne 2 ]; then
    echo "usage: bash $0 MERVANE-CLI MERVANE-UNIT" >&2
    exit 2
fi
cli_bin=$(readlink -f "$1")
unit_bin=$(readlink -f "$2")
script=$(readlink -f "$0")

# shellcheck source-path=SCRIPTDIR source=namespaces.sh
. "$(dirname "$script")/namespaces.sh"

enter_namespaces "a bridge, veth pairs, forwarding and a fresh sysfs" \
    "ip link add br0 type bridge && ip link add lan0 type veth peer name lan1 &&
        echo 1 >/proc/sys/net/ipv4/ip_forward && mount -t sysfs sysfs /sys && unshare --net true" \
    "$script" "$cli_bin" "$unit_bin"

# --- inside: the operator -----------------------------------------------------------------------

work=$(mktemp -d -t mervane-plant-lan.XXXXXX)
unit_pids=()
holders=()

# Stops every unit with SIGTERM (SIGKILL when one lingers); fails unless each exited with 0, so
# that a sanitizer report at its exit counts.
stop_units() {
    local pid status failed=0
    for pid in "${unit_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${unit_pids[@]}"; do
        poll gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
        status=0
        wait "$pid" 2>/dev/null || status=$?
        [ "$status" = 0 ] || { echo "mervane-unit $pid exited with status $status" >&2; failed=1; }
    done
    unit_pids=()
    return "$failed"
}

gone() { ! kill -0 "$1" 2>/dev/null; }

cleanup() {
    stop_units 2>/dev/null || true
    local pid
    for pid in "${holders[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$work"/*.log; do
        [ -s "$log" ] || continue
        echo "--- the last lines of $(basename "$log") ---" >&2
        tail -n 20 "$log" >&2
    done
    exit 1
}

new_namespace() { hold_namespace; holders+=("$holder"); }

# Joins the namespace that process PID holds (or this one, given $$) to the bridge with a veth
# pair: IF on its side, and a port of the same name with a p- in front on the bridge.
plug() {  # PID IF
    ip link add "$2" type veth peer name "p-$2"
    ip link set "p-$2" netns "$switch"
    [ "$1" = $$ ] || ip link set "$2" netns "$1"
    in_ns "$switch" ip link set "p-$2" master br0 up
    in_ns "$1" ip link set lo up
}

mount -t sysfs -o nosuid,nodev,noexec sysfs /sys
ip link set lo up

new_namespace
switch=$holder
in_ns "$switch" ip link add br0 type bridge
in_ns "$switch" ip address add 198.18.4.254/24 brd + dev br0
in_ns "$switch" ip link set br0 up
in_ns "$switch" sh -c 'echo 1 >/proc/sys/net/ipv4/ip_forward'

plug $$ lan0
ip address add 198.18.4.1/24 brd + dev lan0
ip link set lan0 up
ip route add 198.18.5.0/24 via 198.18.4.254

unit_ns=()
for n in 1 2 3; do
    new_namespace
    unit_ns[n]=$holder
    plug "$holder" "unit$n"
    in_ns "$holder" ip address add "198.18.4.1$n/24" brd + dev "unit$n"
    in_ns "$holder" ip link set "unit$n" up
done

new_namespace
plant=$holder
plug "$plant" plant0
{
    echo "address add 198.18.4.100/24 brd + dev plant0"
    for ((i = 1; i < plant_count; i++)); do echo "address add 198.18.4.$((100 + i))/24 dev plant0"; done
    echo "link set plant0 up"
} | in_ns "$plant" ip -batch -

new_namespace
routed=$holder
ip link add wan0 type veth peer name wan1
ip link set wan0 netns "$switch"
ip link set wan1 netns "$routed"
in_ns "$switch" ip address add 198.18.5.1/24 brd + dev wan0
in_ns "$switch" ip link set wan0 up
in_ns "$routed" ip link set lo up
in_ns "$routed" ip address add 198.18.5.10/24 brd + dev wan1
in_ns "$routed" ip link set wan1 up
in_ns "$routed" ip route add default via 198.18.5.1

# --- the units ----------------------------------------------------------------------------------

# True once the namespace of PID has exactly TCP listeners on the unit's TCP port and UDP sockets
# on its identification port (a plant's units plus its broadcast listener).
listening() {  # PID TCP UDP
    [ "$(in_ns "$1" ss -Hltn "sport = :$tcp_port" | wc -l)" = "$2" ] &&
        [ "$(in_ns "$1" ss -Hlun "sport = :$udp_port" | wc -l)" = "$3" ]
}

# Starts mervane-unit with OPTIONS in the namespace of PID, logging to NAME.log, and waits until
# it listens as listening says.
start_unit() {  # PID NAME TCP UDP OPTIONS...
    local pid=$1 name=$2 tcp=$3 udp=$4
    shift 4
    setpriv --pdeathsig TERM -- nsenter --net="/proc/$pid/ns/net" -- \
        "$unit_bin" "$@" >"$work/$name.log" 2>&1 &
    unit_pids+=($!)
    poll listening "$pid" "$tcp" "$udp" || fail "mervane-unit $name does not listen"
}

start_unit "${unit_ns[1]}" unit1 1 2 --address 198.18.4.11 --broadcast 198.18.4.255 \
    --unit-id 11 --active
start_unit "${unit_ns[2]}" unit2 1 2 --address 198.18.4.12 --broadcast 198.18.4.255 \
    --unit-id 12 --type _L --model 3
start_unit "${unit_ns[3]}" unit3 1 1 --address 0.0.0.0 --unit-id 13 --model 21
start_unit "$plant" plant "$plant_count" $((plant_count + 1)) \
    --count "$plant_count" --address 198.18.4.100 --variety --quiet
in_ns "$plant" ss -Hlun "sport = :$udp_port" | grep -qF "198.18.4.255:$udp_port" ||
    fail "the plant does not listen on the subnet's broadcast address"
start_unit "$routed" routed 1 1 --address 198.18.5.10 --unit-id 9 --type _L --model 1

# --- what discover should list ------------------------------------------------------------------

# A probed unit as discover --json lists it.
unit_json() {  # ADDRESS ACTIVE GENERATION MODEL OUTPUTS TYPE ID
    printf '{"active":%s,"address":"%s","generation":%s,"model":"%s","outputs":%s,' "$2" "$1" \
        "$3" "$4" "$5"
    printf '"typeCode":"%s","unitId":%s}' "$6" "$7"
}

probed=("$(unit_json 198.18.4.11 true 4 KX-M19 8 _W 11)"
    "$(unit_json 198.18.4.12 false 3 KX-M03G3 5 _L 12)"
    "$(unit_json 198.18.4.13 null 4 KX-M21 0 _W 13)")
answered=('{"address":"198.18.4.11","typeCode":"_W"}' '{"address":"198.18.4.12","typeCode":"_L"}'
    '{"address":"198.18.4.13","typeCode":"_W"}')
# The plant's kinds in their cycle: state, generation, model, outputs, type code.
kinds=("true 4 KX-M19 8 _W" "true 3 KX-M03G3 5 _L" "false 4 KX-M17 4 _W"
    "false 3 KX-M01G3 3 _L" "true 4 KX-M25 2 _W" "null 4 KX-M21 0 _W")
for ((i = 0; i < plant_count; i++)); do
    read -r active generation model outputs type <<<"${kinds[i % 6]}"
    address=198.18.4.$((100 + i))
    probed+=("$(unit_json "$address" "$active" "$generation" "$model" "$outputs" "$type" $((i % 16)))")
    answered+=("{\"address\":\"$address\",\"typeCode\":\"$type\"}")
done
join() { local IFS=,; echo "[$*]"; }

# The output must be the JSON array of OBJECTS; on a mismatch, shows them one a line.
expect_objects() {  # WHAT OBJECTS...
    local what=$1
    shift
    [ "$out" != "$(join "$@")" ] || return 0
    printf '%s\n' "$@" >"$work/expected"
    grep -o '{[^}]*}' <<<"$out" >"$work/actual" || true
    fail "$what: the lines expected (-) and listed (+):"$'\n'"$(diff "$work/expected" "$work/actual")"
}

# --- broadcast: every unit of the subnet, none behind the router ---------------------------------

# lan0 counts as an adapter once it is operational, a moment after its bridge port comes up.
adapter_listed() { run_cli adapters && [[ $status == 0 ]]; }
poll adapter_listed || true
run_cli adapters
expect_ok "adapters"
expect_eq "adapters" "$out" "198.18.4.1 (lan0)"

run_cli -T 1000 --json discover
expect_ok "discover --json"
expect_objects "discover --json" "${probed[@]}"

run_cli -T 1000 --bind 198.18.4.1 --json discover
expect_ok "discover --json --bind 198.18.4.1"
expect_objects "discover --json --bind 198.18.4.1" "${probed[@]}"

run_cli -T 1000 --json discover --no-probe
expect_ok "discover --json --no-probe"
expect_objects "discover --json --no-probe" "${answered[@]}"

# --- ranges: the own subnet asked address by address, and the routed unit --------------------

# Requests to the subnet's ~200 absent addresses wait in the kernel until their resolution fails;
# none of the units' requests may be lost behind them.
run_cli -T 1000 --json discover 198.18.4.0/24 --no-probe
expect_ok "discover --json 198.18.4.0/24 --no-probe"
expect_objects "discover --json 198.18.4.0/24 --no-probe" "${answered[@]}"

run_cli -T 1000 discover 198.18.5.0/24
expect_ok "discover 198.18.5.0/24"
expect_eq "discover 198.18.5.0/24" "$out" \
    "ADDRESS          TYPE  GEN  ID  MODEL             OUTPUTS  STATE
198.18.5.10      _L    3    9   KX-M01G3          3        Non-active"

stop_units || fail "a mervane-unit did not stop cleanly"
echo "PASSED: discover found the $((3 + plant_count)) units on 198.18.4.0/24 by broadcast" \
    "and by its range, and the routed one on 198.18.5.0/24 by its range"
