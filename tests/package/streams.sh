#!/usr/bin/env bash
# --help and --version answer on standard output with status 0; a usage error says so once, on
# standard error, points to --help, exits with status 2 and prints nothing on standard output.
#
#   bash tests/package/streams.sh NAME PROGRAM VERSION
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: bash $0 NAME PROGRAM VERSION" >&2
    exit 2
fi
name=$1 program=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAIL: $name $*" >&2
    failed=1
}

# Runs the program with the arguments; sets status and leaves its streams in files.
run() {
    "$program" "$@" >"$scratch/out" 2>"$scratch/err"
    status=$?
}

run --help
[ "$status" -eq 0 ] || fail "--help: exit status $status, not 0"
grep -q "^Usage: $name " "$scratch/out" || fail "--help: no usage line on standard output"
[ ! -s "$scratch/err" ] || fail "--help: wrote to standard error: $(cat "$scratch/err")"

run --version
[ "$status" -eq 0 ] || fail "--version: exit status $status, not 0"
[ "$(cat "$scratch/out")" = "$name $version" ] ||
    fail "--version: printed \"$(cat "$scratch/out")\", not \"$name $version\""
[ ! -s "$scratch/err" ] || fail "--version: wrote to standard error: $(cat "$scratch/err")"

run --bogus
[ "$status" -eq 2 ] || fail "--bogus: exit status $status, not 2"
[ ! -s "$scratch/out" ] || fail "--bogus: wrote to standard output: $(cat "$scratch/out")"
# One error, then where to look: nothing else.
mapfile -t lines <"$scratch/err"
if [ "${#lines[@]}" -ne 2 ] || [[ ${lines[0]} != "$name: "*--bogus* ]] ||
    [ "${lines[1]}" != "Run '$name --help' for usage." ]; then
    fail "--bogus: standard error is not the one error and the pointer to --help:
$(cat "$scratch/err")"
fi

exit "$failed"
