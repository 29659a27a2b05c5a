#!/usr/bin/env bash
# The Ansible collection against a plant of ten simulated units on 127.0.74.1-10: the discover
# inventory, the settings module run twice (changed, then not; failed where the profile does not
# fit), in check mode (nothing written, the differing field shown), one task over a list, and
# ansible-doc for every plugin. Skipped (exit 77) without ansible-playbook.
#
#   bash tests/ansible/collection.sh MERVANE-CLI MERVANE-UNIT COLLECTIONS-DIR
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: bash $0 MERVANE-CLI MERVANE-UNIT COLLECTIONS-DIR" >&2
    exit 2
fi
for program in ansible-playbook ansible-inventory ansible-doc jq; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIP: no $program (Debian's ansible-core, jq)"
        exit 77
    fi
done
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
units=()
# shellcheck disable=SC2317  # run by the trap
cleanup() {
    local pid
    for pid in "${units[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Nothing of Ansible's reaches the user's home.
export HOME=$scratch ANSIBLE_HOME=$scratch/ansible ANSIBLE_LOCAL_TEMP=$scratch/tmp
export ANSIBLE_REMOTE_TEMP=$scratch/tmp ANSIBLE_COLLECTIONS_PATH=$3 ANSIBLE_NOCOLOR=1
export ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_RETRY_FILES_ENABLED=0
export PYTHONDONTWRITEBYTECODE=1  # nor of Python's to the source tree
PATH="$(cd "$(dirname "$1")" && pwd):$PATH"

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# Six units to change, two that already hold the profile, two of generation 3 it does not fit.
start_units() {  # LOG ARGS...
    local log=$scratch/$1
    shift
    "$unit" --tcp-port 10074 "$@" >"$log" 2>&1 &
    units+=($!)
}
unit=$2
start_units changing.log --count 6 --address 127.0.74.1
start_units holding.log --count 2 --address 127.0.74.7 --mask 0x0F --times 3:7
start_units gen3.log --count 2 --address 127.0.74.9 --type _L --model 3
sleep 1

profile=$scratch/profile.json
echo '{"active": false, "enableMask": 15, "onTime": [3,3,3,3,3,3,3,3],
       "offTime": [7,7,7,7,7,7,7,7]}' >"$profile"
inventory=$here/plant.discover.yml

# --- inventory --------------------------------------------------------------------------------

ansible-inventory -i "$inventory" --list >"$scratch/inventory.json" 2>"$scratch/inventory.err" ||
    fail "ansible-inventory: $(cat "$scratch/inventory.err")"
jq -e '(.KX_M19.hosts | length) == 8 and .KX_M03G3.hosts == ["127.0.74.9", "127.0.74.10"]
       and ._meta.hostvars["127.0.74.2"] == {ansible_host: "127.0.74.2", mervane_active: false,
           mervane_generation: 4, mervane_model: "KX-M19", mervane_outputs: 8,
           mervane_type_code: "_W", mervane_unit_id: 1}' "$scratch/inventory.json" >/dev/null ||
    fail "the inventory is not the plant: $(cat "$scratch/inventory.json")"

# --- one task per unit -------------------------------------------------------------------------

playbook() {  # NAME ARGS...: runs it, keeps its output in NAME.out
    local name=$1
    shift
    ansible-playbook -i "$inventory" "$@" >"$scratch/$name.out" 2>&1
}
recap() {  # NAME ADDRESS: "changed=N failed=N" of the unit in the run's recap
    grep -E "^$2 +:" "$scratch/$1.out" | grep -oE "(changed|failed)=[0-9]+" | tr '\n' ' '
}
expect_recap() {  # NAME CHANGED-COUNT-OF-1..6 CHANGED-OF-7..8
    for n in 1 2 3 4 5 6 7 8 9 10; do
        local want="changed=$2 failed=0 "
        [ "$n" -ge 7 ] && want="changed=$3 failed=0 "
        [ "$n" -ge 9 ] && want="changed=0 failed=1 "
        [ "$(recap "$1" "127.0.74.$n")" = "$want" ] ||
            fail "$1: 127.0.74.$n has \"$(recap "$1" "127.0.74.$n")\", not \"$want\""
    done
}
writes() {  # the write requests the units have logged
    cat "$scratch"/*.log | grep -cE " tcp#[0-9]+ (OL|OC|OT|NS|F1|F2|F3) "
}

playbook first "$here/plant.yml" -e profile="$profile"
expect_recap first 1 0
grep -q "per-output times, but this unit, KX-M03G3" "$scratch/first.out" ||
    fail "the generation-3 units' failure does not say why"
playbook second "$here/plant.yml" -e profile="$profile"
expect_recap second 0 0

# Check mode with a profile whose DO3 ON time differs: every unit of generation 4 would change,
# none is written, and the diff names the field.
jq '.onTime[2] = 9' "$profile" >"$scratch/other.json"
before=$(writes)
playbook check "$here/plant.yml" -e profile="$scratch/other.json" --check --diff
expect_recap check 1 1
[ "$(writes)" -eq "$before" ] || fail "check mode wrote to a unit"
grep -qE '^\+ +"DO3": 9' "$scratch/check.out" || fail "the diff does not show DO3's new ON time"
grep -qE '^- +"DO3": 3' "$scratch/check.out" || fail "the diff does not show DO3's ON time"

# --- one task over a list ----------------------------------------------------------------------

playbook list "$here/list.yml" -e profile="$profile" ||
    fail "the list play: $(grep -A3 -E 'FAILED|fatal' "$scratch/list.out" | tail -20)"

# --- documentation -----------------------------------------------------------------------------

for plugin in "module mervane.units.settings" "module mervane.units.info" \
    "inventory mervane.units.discover"; do
    read -r kind name <<<"$plugin"
    doc=$(ansible-doc -t "$kind" "$name" 2>&1)
    [[ $doc == *"> ${name^^}"*EXAMPLES* && $doc != *WARNING* && $doc != *ERROR* ]] ||
        fail "ansible-doc -t $kind $name: $doc"
done

if [ "$failed" -ne 0 ]; then
    for run in first second check list; do
        echo "--- $run" >&2
        cat "$scratch/$run.out" >&2
    done
fi
exit "$failed"
