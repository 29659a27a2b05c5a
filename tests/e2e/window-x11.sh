#!/usr/bin/env bash
# The real window, driven as an operator drives it: on a virtual X server (Xvfb), with mouse and
# keys sent by xdotool, inside the private network namespace that scripts/run.sh makes for trying
# the window (the window on 198.18.0.1, mervane-unit on 198.18.0.2). It connects, has an apply
# refused for an ON time of 0 (the message box appears and is answered), starts the unit's cycle
# (the unit's log shows its outputs switching), disconnects and finds the unit again with
# "検索..." (a broadcast on mervane0's subnet) to connect to it by the address the search filled
# in, then presses Esc during a connect attempt: the program must end within a second.
#
#   window-x11.sh MERVANE MERVANE_UNIT          exit 0 passed, 1 failed, 77 skipped (says why)
# shellcheck disable=SC2317  # the small predicates are called through wait_until
set -euo pipefail

if [ "${1:-}" = --inside ]; then
    inside=1
    shift
fi
window=$(realpath "$1")
unit=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
top=$(realpath "$here/../..")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Polls `test_command` every 50 ms for at most SECONDS.
wait_until() {  # SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# --- inside the namespace, with the unit running: the operator --------------------------------

if [ -n "${inside:-}" ]; then
    log=$MERVANE_E2E_UNIT_LOG
    ip link show mervane0 >/dev/null 2>&1 || fail "not inside the window's private network"

    logged() { grep -q -- "$1" "$log"; }
    logged_count() { grep -c -- "$1" "$log" || true; }

    # -T15000: a connect attempt to an address where nothing answers waits 15 s for it.
    "$window" -T15000 &
    window_pid=$!
    trap 'kill "$window_pid" 2>/dev/null || true' EXIT

    find_window() { wid=$(xdotool search --onlyvisible --name '^Mervane$' 2>/dev/null | head -n 1) && [ -n "$wid" ]; }
    wait_until 20 find_window || fail "the window did not appear"
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    xdotool windowfocus "$wid"
    # The form is in dialog units (311 x 322); the window is the form at some scale.
    click() {  # X Y in dialog units
        xdotool mousemove --sync $((X + $1 * WIDTH / 311)) $((Y + $2 * HEIGHT / 322)) click 1
        sleep 0.2
    }
    typed() {  # TEXT: replaces the focused field's text
        xdotool key ctrl+a
        xdotool type --delay 20 "$1"
    }
    readonly address=85,52 connect=275,52 on_time_1=115,147 apply=265,117 start_stop=240,285
    readonly search=275,87

    echo "== connect"
    click ${address/,/ }
    typed 198.18.0.2
    click ${connect/,/ }
    # The read that completes a connect ends with DO8's times, on the session after the probe.
    wait_until 10 logged 'tcp#2 OI  4F 49 27 C8' || fail "the connect did not read the settings"
    sleep 0.5

    echo "== an apply refused for an ON time of 0"
    click ${on_time_1/,/ }
    typed 0
    click ${apply/,/ }
    # Captioned with the program's name; xdotool's search ignores case, so the window matches too.
    boxes() { xdotool search --onlyvisible --name '^mervane$' 2>/dev/null | grep -vx "$wid"; }
    find_box() { box=$(boxes | head -n 1) && [ -n "$box" ]; }
    wait_until 5 find_box || fail "no message box for an ON time of 0"
    ! logged 'tcp#2 OC' || fail "the refused settings were sent"
    xdotool windowfocus "$box"
    sleep 0.2
    xdotool key Return
    box_gone() { ! boxes >/dev/null; }
    wait_until 5 box_gone || fail "the message box did not close on Return"

    echo "== Start/Stop"
    xdotool windowfocus "$wid"
    switches_before=$(logged_count 'DO1 ')
    click ${start_stop/,/ }
    wait_until 5 logged 'tcp#2 OL  4F 4C 28 C8' || fail "Start/Stop sent no start"
    cycled() { (($(logged_count 'DO1 ') >= switches_before + 3)); }
    wait_until 5 cycled || fail "the unit's outputs do not cycle"

    echo "== the unit found by the search, and connected to by its listed address"
    click ${connect/,/ }  # Disconnect
    click ${address/,/ }
    typed 198.18.0.9
    click ${search/,/ }
    find_search() { found=$(xdotool search --onlyvisible --name '^ユニット検索$' 2>/dev/null | head -n 1) && [ -n "$found" ]; }
    wait_until 5 find_search || fail "the search dialog did not appear"
    xdotool windowfocus "$found"
    sleep 0.2
    xdotool key Return  # the default button: search, by broadcast alone
    # Connections 1 and 2 were the connect's probe and session; 3 is the search's probe.
    wait_until 10 logged 'tcp#3 ' || fail "the search did not probe the unit"
    sleep 0.5
    xdotool key Tab Home Return  # into the list, its first row, chosen
    search_gone() { ! xdotool search --onlyvisible --name '^ユニット検索$' >/dev/null 2>&1; }
    wait_until 5 search_gone || fail "the search dialog did not close on Return"
    xdotool windowfocus "$wid"
    click ${connect/,/ }
    wait_until 10 logged 'tcp#5 OI  4F 49 27 C8' || fail "no connect to the address the search filled in"
    sleep 0.5

    echo "== Esc during a connect attempt"
    click ${connect/,/ }  # Disconnect
    click ${address/,/ }
    typed 198.18.0.9  # nothing answers there
    click ${connect/,/ }
    # The identification's UDP socket is open for as long as the attempt waits.
    identifying() { ss -Huanp | grep -q "pid=$window_pid,"; }
    wait_until 5 identifying || fail "no connect attempt under way"
    sleep 0.3
    started=$(date +%s%N)
    xdotool key Escape
    ended() { ! kill -0 "$window_pid" 2>/dev/null; }
    wait_until 10 ended || fail "the window did not end on Esc"
    took=$((($(date +%s%N) - started) / 1000000))
    wait "$window_pid" || true
    trap - EXIT
    echo "the window ended $took ms after Esc"
    ((took < 1000)) || fail "the window took $took ms to end after Esc"
    echo "PASS"
    exit 0
fi

# --- outside: what the test needs, the X server, then scripts/run.sh ---------------------------

skip() {
    echo "SKIPPED: $*"
    exit 77
}
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
if ! probe=$(unshare --user --map-root-user --net --mount sh -c \
        "ip link add mervane1 type veth peer name mervane0 && mount -t sysfs sysfs /sys" 2>&1); then
    skip "no private network namespace: ${probe:-unshare failed}"
fi

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A 96 dpi screen, as the form's sizes assume; the server picks a free display number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.log" &
xvfb_pid=$!
has_display() { [ -s "$work/display" ]; }
wait_until 10 has_display || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
DISPLAY=":$(cat "$work/display")"
export DISPLAY
unset WAYLAND_DISPLAY
# On this X server, whatever platform the caller's environment asks Qt for.
export QT_QPA_PLATFORM=xcb

# The unit starts with two outputs enabled at 200 ms on, 200 ms off, stopped.
export MERVANE_UNIT_ARGS="--mask 0x03 --times 2:2"
export MERVANE_RUN_PROGRAMS="$window $unit"
export MERVANE_RUN_CLIENT="bash $here/window-x11.sh --inside $window $unit"
export MERVANE_E2E_UNIT_LOG=$work/unit.log
status=0
bash "$top/scripts/run.sh" >"$work/unit.log" 2>&1 || status=$?
echo "--- scripts/run.sh and the unit's log:"
cat "$work/unit.log"
exit "$status"
