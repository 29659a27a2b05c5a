#!/usr/bin/env bash
# The man page and the bash completion keep up with the program: every long option its --help
# lists (and, for each COMMAND given, that command's --help) is in both, and the completion
# offers no option the program does not have.
#
#   bash tests/package/documented.sh PROGRAM MAN-PAGE COMPLETION [COMMAND]...
set -uo pipefail

if [ $# -lt 3 ]; then
    echo "usage: bash $0 PROGRAM MAN-PAGE COMPLETION [COMMAND]..." >&2
    exit 2
fi
program=$1 page=$2 completion=$3
shift 3

long_options() {
    grep -oE -- '--[a-z0-9]+(-[a-z0-9]+)*' | sort -u
}

if ! help=$("$program" --help); then
    echo "FAIL: $program --help failed" >&2
    exit 1
fi
for command in "$@"; do
    help+=$'\n'$("$program" "$command" --help) || {
        echo "FAIL: $program $command --help failed" >&2
        exit 1
    }
done
listed=$(long_options <<<"$help")
# Roff writes a literal minus as \-.
documented=$(sed 's/\\-/-/g' "$page" | long_options)
offered=$(long_options <"$completion")

failed=0
for option in $listed; do
    if ! grep -qxF -- "$option" <<<"$documented"; then
        echo "FAIL: $option is in --help but not in $page" >&2
        failed=1
    fi
    if ! grep -qxF -- "$option" <<<"$offered"; then
        echo "FAIL: $option is in --help but not completed by $completion" >&2
        failed=1
    fi
done
for option in $offered; do
    if ! grep -qxF -- "$option" <<<"$listed"; then
        echo "FAIL: $completion completes $option, which --help does not list" >&2
        failed=1
    fi
done
exit "$failed"
