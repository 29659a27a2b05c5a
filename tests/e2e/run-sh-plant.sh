#!/usr/bin/env bash
# scripts/run.sh with a plant, mervane-cli in place of the window: the private network must hold
# every unit's address for a search from mervane0 to find them all, and a plant too large for its
# /24 is refused before anything starts.
#
#   run-sh-plant.sh MERVANE_CLI MERVANE_UNIT    exit 0 passed, 1 failed, 77 skipped (says why)
set -euo pipefail

cli=$(realpath "$1")
unit=$(realpath "$2")
top=$(realpath "$(dirname "$(realpath "$0")")/../..")
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! probe=$(unshare --user --map-root-user --net --mount sh -c \
        "ip link add mervane1 type veth peer name mervane0 && mount -t sysfs sysfs /sys" 2>&1); then
    echo "SKIPPED: no private network namespace: ${probe:-unshare failed}"
    exit 77
fi
# No display is needed, and one reached over TCP would keep run.sh out of its namespace.
unset DISPLAY WAYLAND_DISPLAY
export MERVANE_RUN_PROGRAMS="/nonexistent/mervane $unit"
export MERVANE_RUN_CLIENT="$cli --bind 198.18.0.1 -T 1000 --json discover --no-probe"
run() { MERVANE_UNIT_ARGS=$1 timeout --kill-after=5 60 bash "$top/scripts/run.sh" 2>&1; }

out=$(run "--count 3 --variety --quiet") || fail "a plant of three: $out"
found='[{"address":"198.18.0.2","typeCode":"_W"},{"address":"198.18.0.3","typeCode":"_L"},'
found+='{"address":"198.18.0.4","typeCode":"_W"}]'
grep -qxF "$found" <<<"$out" || fail "a plant of three, the search did not list $found: $out"

out=$(run "--count=254") && fail "--count=254 was not refused: $out"
grep -q "use --count 253 or fewer" <<<"$out" || fail "--count=254, no count that fits: $out"
echo PASS
