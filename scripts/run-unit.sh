#!/usr/bin/env bash
# Sets up, builds and runs the simulated unit in the foreground (Ctrl+C stops it).
# Arguments go to mervane-unit; without any it listens on every local address, UDP port 30718
# and TCP port 10003, as an eight-output unit whose outputs are ready to cycle.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target mervane-unit
exec build/default/tools/unit/mervane-unit "$@"
