#!/usr/bin/env bash
# mervane-unit as mervane-cli meets it on 127.0.76.x: --quiet prints the start-up lines and
# nothing else, however much the unit is asked, and --one-shot holds what --yes clears.
#
# mervane-cli asks UDP port 30718, so the units listen there: status 77 (skipped) when it is taken.
#
#   bash tests/package/unit-cli.sh MERVANE-UNIT MERVANE-CLI
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: bash $0 MERVANE-UNIT MERVANE-CLI" >&2
    exit 2
fi
unit=$1 cli=$2
scratch=$(mktemp -d)
pid=""
trap '[ -z "$pid" ] || kill "$pid"; rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# start ARGUMENT...: runs the unit until stop; sets tcp to its TCP port.
start() {
    "$unit" --udp-port 30718 --tcp-port 0 "$@" >"$scratch/out" 2>&1 &
    pid=$!
    tcp=""
    for _ in $(seq 100); do
        tcp=$(grep -oE 'TCP (port |[0-9.]+:)[0-9]+' "$scratch/out" | grep -oE '[0-9]+$')
        if [ -n "$tcp" ] || ! kill -0 "$pid" 2>/dev/null; then break; fi
        sleep 0.1
    done
    if [ -z "$tcp" ]; then
        grep -q "cannot start" "$scratch/out" && exit 77
        fail "$*: did not start: $(cat "$scratch/out")"
    fi
}
stop() {
    kill -INT "$pid"
    wait "$pid"
    pid=""
}

for arguments in "--address 127.0.76.1" "--count 2 --address 127.0.76.1"; do
    # shellcheck disable=SC2086 # the arguments are words on purpose
    start $arguments --active --quiet
    "$cli" --port "$tcp" read 127.0.76.1 >/dev/null 2>&1 || fail "$arguments: read failed"
    stop
    if grep -v "^mervane-unit: .*simulated " "$scratch/out"; then fail "$arguments --quiet"; fi
done

# Standard input is no terminal: the one-shot setting is kept (No), until --yes clears it.
start --address 127.0.76.1 --one-shot 3,8 --quiet
"$cli" --port "$tcp" read 127.0.76.1 >/dev/null 2>&1 && fail "--one-shot: read without --yes"
"$cli" --port "$tcp" --yes read 127.0.76.1 >/dev/null 2>&1 || fail "--one-shot: read with --yes"
"$cli" --port "$tcp" read 127.0.76.1 >/dev/null 2>&1 || fail "--one-shot: not cleared by --yes"
stop
exit "$failed"
