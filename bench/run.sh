#!/usr/bin/env bash
# Builds the program and prints the tables of docs/benchmarks.md: how close connect, the three
# buttons' sequences, the window and `mervane-cli read` come to the least time the protocol
# allows, against the simulated unit on loopback; then finding a plant, the window's plant list
# on up to 1000 units, and mervane-cli on up to 250 units at once. docs/benchmarks.md shows the
# last tables and explains their columns.
#
#   bash bench/run.sh [--runs N]      (default 30; the window and process rows use fewer)
#
# Run it on a quiet machine: the sequences take tens of microseconds, and anything else running
# shows in them.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh xvfb xauth
cmake --preset default >/dev/null
cmake --build --preset default --target mervane-bench mervane-bench-window mervane-bench-discovery \
    mervane-bench-fleet mervane-bench-plant mervane-cli mervane-unit >/dev/null

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$scratch"

# A virtual X server on a free display (it writes the display's number to descriptor 3).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$scratch/display" \
    >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$scratch/display" ] && break
    sleep 0.1
done
if [ ! -s "$scratch/display" ]; then
    echo "bench/run.sh: Xvfb did not start" >&2
    exit 1
fi
display=":$(head -n1 "$scratch/display")"

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores;" \
    "$(uname -sr); $(sed -n 's/^PRETTY_NAME="\(.*\)"$/\1/p' /etc/os-release)"
echo "Build: $(c++ --version | head -n1); Qt $(dpkg-query -W -f='${Version}' qt6-base-dev)"
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $(git rev-parse --short HEAD 2>/dev/null || echo none)"
echo
build/default/bench/mervane-bench --xvfb "$display" "$@"
# The search of a plant: rows that continue the table above.
build/default/bench/mervane-bench-discovery "$@"
# The plant list: more rows of the same table, offscreen, then under Xvfb (its own run counts:
# a run takes seconds).
QT_QPA_PLATFORM=offscreen build/default/bench/mervane-bench-plant
QT_QPA_PLATFORM=xcb DISPLAY="$display" build/default/bench/mervane-bench-plant --window-only
# Many units at once: tables of their own.
echo
build/default/bench/mervane-bench-fleet "$@"
# The Ansible collection's settings module against mervane-cli alone.
echo
bash bench/ansible-settings.sh
