#!/usr/bin/env bash
# Renders the real window, connected to the simulated unit, into a PNG (default docs/window.png)
# on a virtual X server with the Japanese font the set-up installs, and fails when any text in the
# window is cut off.
#
#   bash scripts/screenshot.sh [OUTPUT.png]
#
# It runs through scripts/run.sh, so the window reaches the unit over the same private network
# namespace (198.18.0.2, from the adapter 198.18.0.1) as an operator trying it would.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --inside ]; then
    # In the namespace, with the unit running: a 96 dpi screen, as the form's sizes assume.
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
        build/default/tools/shot/mervane-shot 198.18.0.2 "$2" 0
fi

output=$(realpath -m "${1:-docs/window.png}")
mkdir -p "$(dirname "$output")"
bash scripts/setup.sh xvfb xauth
cmake --preset default >/dev/null
cmake --build --preset default --target mervane-shot
# A unit with something to show, unless MERVANE_UNIT_ARGS says otherwise.
export MERVANE_UNIT_ARGS="${MERVANE_UNIT_ARGS:---active --mask 0x6D --times 5:5 10:5 3:3 20:10 1:1 8:2 15:15 2:40}"
MERVANE_RUN_CLIENT="bash scripts/screenshot.sh --inside $output" bash scripts/run.sh
