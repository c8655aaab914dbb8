#!/usr/bin/env bash
# Checks that the installed program shows its maximised window with an icon and ends cleanly when it is closed.
# Usage: start_installed.sh PROGRAM (inside scripts/xsession.sh)
set -euo pipefail

program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
settings="$(dirname "$program")/qelo.ini"

"$program" &
pid=$!
# Whatever check fails, the program does not outlive the test.
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=""
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing its window"
    window="$(xdotool search --onlyvisible --name '^qelo$' 2>/dev/null | head -n 1)" || true
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window named qelo within 30 s"
[ "$(xdotool getwindowpid "$window")" = "$pid" ] || fail "the qelo window belongs to another process"

# The installed program finds its icon (a failed SVG load would leave the window without one).
icon="$(xprop -id "$window" _NET_WM_ICON)" || true
[[ $icon == *'_NET_WM_ICON(CARDINAL) = '*Icon* ]] || fail "the window has no icon"

# The window manager has taken the window over once it has maximised it, as the program asks.
state=""
for _ in $(seq 100); do
    state="$(xprop -id "$window" _NET_WM_STATE 2>/dev/null)" || true
    [[ $state == *_NET_WM_STATE_MAXIMIZED_VERT* && $state == *_NET_WM_STATE_MAXIMIZED_HORZ* ]] && break
    sleep 0.1
done
[[ $state == *_NET_WM_STATE_MAXIMIZED_VERT* && $state == *_NET_WM_STATE_MAXIMIZED_HORZ* ]] ||
    fail "the window did not come up maximised: $state"

# Alt+F4 is openbox's close: the program gets the same request as from the close box.
# Repeated while the program runs, since a key pressed before openbox focuses the window is lost.
xdotool windowactivate --sync "$window"
for attempt in $(seq 100); do
    (( attempt % 20 == 1 )) && xdotool key alt+F4
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end within 10 s of closing its window"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ ! -e "$settings" ] || fail "closing the window wrote $settings"
echo "start_installed: the window came up maximised and closed"
