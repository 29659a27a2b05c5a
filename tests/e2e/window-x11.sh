#!/usr/bin/env bash
# The real window, driven as an operator drives it: on a virtual X server (Xvfb), with mouse and
# keys sent by xdotool, inside the private network namespace that scripts/run.sh makes for trying
# the window (the window on 198.18.0.1, a plant of five units on 198.18.0.2 to .6). On the first
# unit it connects, has an apply refused for an ON time of 0 (the message box appears and is
# answered) and starts the unit's cycle (the unit's log shows its outputs switching). It
# disconnects, lists the plant with "検索..." (a broadcast on mervane0's subnet), applies a profile
# to every unit from there (each unit's log shows the writes) and chooses the first unit, to
# connect to it by the address the plant list filled in. It presses Esc during a connect
# attempt: the program must end within a second. Last, started with LANGUAGE=en, the program's
# plant list is titled in English.
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
    readonly first=198.18.0.2 plant=(198.18.0.2 198.18.0.3 198.18.0.4 198.18.0.5 198.18.0.6)
    ip link show mervane0 >/dev/null 2>&1 || fail "not inside the window's private network"

    logged() { grep -q -- "$1" "$log"; }
    logged_count() { grep -c -- "$1" "$log" || true; }

    # -T5000: a connect attempt to an address where nothing answers waits 5 s for it, and the
    # plant list's search takes as long. The C locale keeps the window's titles the Japanese ones
    # looked for below, whatever the locale of whoever runs the test.
    env -u LANGUAGE -u LC_MESSAGES LC_ALL=C.UTF-8 "$window" -T5000 &
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
    typed "$first"
    click ${connect/,/ }
    # The read that completes a connect ends with DO8's times, on the session after the probe.
    wait_until 10 logged "$first tcp#2 OI  4F 49 27 C8" || fail "the connect did not read the settings"
    sleep 0.5

    echo "== an apply refused for an ON time of 0"
    click ${on_time_1/,/ }
    typed 0
    click ${apply/,/ }
    # Captioned with the program's name; xdotool's search ignores case, so the window matches too.
    boxes() { xdotool search --onlyvisible --name '^mervane$' 2>/dev/null | grep -vx "$wid"; }
    find_box() { box=$(boxes | head -n 1) && [ -n "$box" ]; }
    wait_until 5 find_box || fail "no message box for an ON time of 0"
    ! logged "$first tcp#2 OC" || fail "the refused settings were sent"
    xdotool windowfocus "$box"
    sleep 0.2
    xdotool key Return
    box_gone() { ! boxes >/dev/null; }
    wait_until 5 box_gone || fail "the message box did not close on Return"

    echo "== Start/Stop"
    xdotool windowfocus "$wid"
    switches_before=$(logged_count "$first DO1 ")
    click ${start_stop/,/ }
    wait_until 5 logged "$first tcp#2 OL  4F 4C 28 C8" || fail "Start/Stop sent no start"
    cycled() { (($(logged_count "$first DO1 ") >= switches_before + 3)); }
    wait_until 5 cycled || fail "the unit's outputs do not cycle"

    echo "== the plant listed by 検索..., a profile applied to all of it, the first unit chosen"
    click ${connect/,/ }  # Disconnect
    click ${address/,/ }
    typed 198.18.0.9
    click ${search/,/ }
    titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }
    find_search() { found=$(titled ユニット検索 | head -n 1) && [ -n "$found" ]; }
    wait_until 5 find_search || fail "the plant list did not appear"
    xdotool windowfocus "$found"
    # The search starts by itself: a broadcast from a UDP socket of its own, open for its reply
    # window (-T), and a probe of each unit that answers; the buttons wait for its end.
    sockets() { ss -Hanp "$1" | grep -q "pid=$window_pid,"; }
    wait_until 5 sockets -u || fail "the plant list did not search"
    idle() { ! sockets -u && ! sockets -t; }
    wait_until 15 idle || fail "the search did not end"
    sleep 0.3
    # Alt+A is the target field's; after it in the tab order: the list, 検索, すべて選択, 選択解除,
    # 失敗したユニットを選択, 設定受信, プロファイル適用...
    xdotool key alt+a Tab Tab Tab space
    sleep 0.2
    xdotool key Tab Tab Tab Tab space
    find_files() { files=$(titled プロファイル適用 | head -n 1) && [ -n "$files" ]; }
    wait_until 5 find_files || fail "プロファイル適用... asked for no profile"
    xdotool windowfocus "$files"
    sleep 0.3
    typed "$MERVANE_E2E_PROFILE"
    xdotool key Return
    find_question() { asked=$(titled ユニット検索 | grep -vx "$found" | head -n 1) && [ -n "$asked" ]; }
    wait_until 5 find_question || fail "no question before writing to the plant"
    xdotool windowfocus "$asked"
    sleep 0.2
    xdotool key y
    # Every unit is given the profile's times (DO1 3:3); those stopped are started.
    written() {
        for unit in "${plant[@]}"; do logged "$unit tcp#[0-9]* OT  4F 54 20 30 33 30 33 " || return 1; done
        for unit in "${plant[@]:1}"; do logged "$unit tcp#[0-9]* OL " || return 1; done
    }
    wait_until 15 written || fail "the profile did not reach every unit"
    wait_until 10 idle || fail "the apply did not end"
    sleep 0.3
    reads_before=$(logged_count "$first tcp#[0-9]* OI  4F 49 27 C8")
    xdotool windowfocus "$found"
    xdotool key alt+a Tab Home Return  # the list's first row, chosen
    search_gone() { ! titled ユニット検索 >/dev/null; }
    wait_until 5 search_gone || fail "the plant list did not close on Return"
    xdotool windowfocus "$wid"
    click ${connect/,/ }
    connected_again() { (($(logged_count "$first tcp#[0-9]* OI  4F 49 27 C8") > reads_before)); }
    wait_until 10 connected_again || fail "no connect to the address the plant list filled in"
    sleep 0.5

    echo "== Esc during a connect attempt"
    click ${connect/,/ }  # Disconnect
    click ${address/,/ }
    typed 198.18.0.9  # nothing answers there
    click ${connect/,/ }
    # The identification's UDP socket is open for as long as the attempt waits.
    wait_until 5 sockets -u || fail "no connect attempt under way"
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

    echo "== the same program in English"
    LANGUAGE=en "$window" -T5000 &
    window_pid=$!
    trap 'kill "$window_pid" 2>/dev/null || true' EXIT
    wait_until 20 find_window || fail "the English window did not appear"
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    xdotool windowfocus "$wid"
    click ${search/,/ }
    find_english() { titled "Find Units" >/dev/null; }
    wait_until 5 find_english || fail "LANGUAGE=en: the plant list is not titled Find Units"
    ! titled ユニット検索 >/dev/null || fail "LANGUAGE=en: a plant list titled in Japanese"
    kill "$window_pid"
    wait "$window_pid" || true
    trap - EXIT
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
# Qt's own file dialog, whatever desktop the caller runs.
export QT_QPA_PLATFORMTHEME=generic

# Five units, each with two outputs enabled at 200 ms on, 200 ms off, stopped. The profile
# differs in its times, so that every unit is written, and starts the cycle.
export MERVANE_UNIT_ARGS="--count 5 --mask 0x03 --times 2:2"
export MERVANE_E2E_PROFILE=$work/profile.json
echo '{"active": true, "enableMask": 3, "onTime": [3, 3], "offTime": [3, 3]}' >"$MERVANE_E2E_PROFILE"
export MERVANE_RUN_PROGRAMS="$window $unit"
export MERVANE_RUN_CLIENT="bash $here/window-x11.sh --inside $window $unit"
export MERVANE_E2E_UNIT_LOG=$work/unit.log
status=0
bash "$top/scripts/run.sh" >"$work/unit.log" 2>&1 || status=$?
echo "--- scripts/run.sh and the unit's log:"
cat "$work/unit.log"
exit "$status"
