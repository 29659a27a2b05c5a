#!/usr/bin/env bash
# Renders the real window, connected to the simulated unit, into a PNG (default docs/window.png)
# on a virtual X server with the Japanese font the set-up installs, and fails when any text in the
# window is cut off. With --plant it renders the plant list instead (default docs/plant-list.png):
# a plant of 8 varied units found by its search, all ticked and read.
#
#   bash scripts/screenshot.sh [OUTPUT.png]
#   bash scripts/screenshot.sh --plant [OUTPUT.png]
#
# The window speaks the language the locale asks for, as it would for an operator; an English
# window goes to docs/window-en.png (docs/plant-list-en.png) unless told otherwise:
#
#   LANGUAGE=en bash scripts/screenshot.sh [--plant]
#
# It runs through scripts/run.sh, so the window reaches the units over the same private network
# namespace (198.18.0.2 on, from the adapter 198.18.0.1) as an operator trying it would.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --inside ]; then
    # In the namespace, with the units running: a 96 dpi screen, as the form's sizes assume.
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
        build/default/tools/shot/mervane-shot "$2" "$3" 0
fi

# The window's own rule: the first of these that is set decides; Japanese, C and POSIX keep the
# window Japanese.
suffix=""
for value in "${LANGUAGE:-}" "${LC_ALL:-}" "${LC_MESSAGES:-}" "${LANG:-}"; do
    language=${value%%[:_.@]*}
    [ -n "$language" ] || continue
    case $language in
        ja | C | POSIX) ;;
        *) suffix=-en ;;
    esac
    break
done

if [ "${1:-}" = --plant ]; then
    output=$(realpath -m "${2:-docs/plant-list$suffix.png}")
    target=--plant
    # Enough units, of every kind, to show each column's texts.
    default_units="--count 8 --variety"
else
    output=$(realpath -m "${1:-docs/window$suffix.png}")
    target=198.18.0.2
    # A unit with something to show.
    default_units="--active --mask 0x6D --times 5:5 10:5 3:3 20:10 1:1 8:2 15:15 2:40"
fi
mkdir -p "$(dirname "$output")"
bash scripts/setup.sh xvfb xauth
cmake --preset default >/dev/null
cmake --build --preset default --target mervane-shot
export MERVANE_UNIT_ARGS="${MERVANE_UNIT_ARGS:-$default_units}"
MERVANE_RUN_CLIENT="bash scripts/screenshot.sh --inside $target $output" bash scripts/run.sh
