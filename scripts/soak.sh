#!/usr/bin/env bash
# Builds mervane-soak in the default preset (RelWithDebInfo) and runs the full soak: 10,000
# connect, read, disconnect cycles against simulated units, half of them misbehaving, checking
# that descriptors, threads and resident memory stay flat. Takes about twenty minutes.
# An argument replaces the cycle count; BUILD_DIR names another configured build directory
# (it is then built as it is, without the preset).
set -euo pipefail
cd "$(dirname "$0")/.."

cycles="${1:-10000}"
build_dir="${BUILD_DIR:-}"

if [ -z "$build_dir" ]; then
    bash scripts/setup.sh
    cmake --preset default >/dev/null
    cmake --build --preset default --target mervane-soak
    build_dir=build/default
else
    cmake --build "$build_dir" --target mervane-soak
fi
exec "$build_dir/tests/soak/mervane-soak" "$cycles"
