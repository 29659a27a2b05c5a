#!/usr/bin/env bash
# mervane-unit as a plant: the counts and addresses it refuses are usage errors (status 2, one
# error and the pointer to --help on standard error), and a small plant on loopback says where
# each unit is, tags its lines with the unit's address and stops cleanly on SIGINT.
#
#   bash tests/package/plant.sh PROGRAM
set -uo pipefail

if [ $# -ne 1 ]; then
    echo "usage: bash $0 PROGRAM" >&2
    exit 2
fi
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

for arguments in "--count 0" "--count 1001" "--count 2" "--count 3 --address 255.255.255.254" \
    "--broadcast 127.255.255.255"; do
    # shellcheck disable=SC2086 # the arguments are words on purpose
    "$program" $arguments >"$scratch/out" 2>"$scratch/err"
    status=$?
    mapfile -t lines <"$scratch/err"
    if [ "$status" -ne 2 ] || [ -s "$scratch/out" ] || [ "${#lines[@]}" -ne 2 ] ||
        [[ ${lines[0]} != "mervane-unit: "* ]]; then
        fail "$arguments: status $status, standard error: $(cat "$scratch/err")"
    fi
done

"$program" --count 3 --address 127.0.92.1 --udp-port 0 --tcp-port 0 --active >"$scratch/out" &
pid=$!
for _ in $(seq 100); do
    grep -q "^[0-9:.]* 127.0.92.3 DO1" "$scratch/out" && break
    sleep 0.1
done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "plant: exit status $status after SIGINT"
grep -q "^mervane-unit: simulated plant of 3 units, 127.0.92.1 to 127.0.92.3;" "$scratch/out" ||
    fail "plant: no summary line"
[ "$(grep -c "^mervane-unit: 127.0.92.[123] simulated unit" "$scratch/out")" -eq 3 ] ||
    fail "plant: not one line per unit"
grep -q "^[0-9:.]* 127.0.92.3 DO1" "$scratch/out" || fail "plant: no output line of the third unit"
[ "$(tail -n 1 "$scratch/out")" = "mervane-unit: stopped by SIGINT" ] || fail "plant: last line"
exit "$failed"
