#!/usr/bin/env bash
# Runs a command inside a private X display with openbox and a D-Bus session, as a desktop would.
# Usage: xsession.sh COMMAND [ARG...]
# QELO_DISPLAY picks the display number (default: a free one), QELO_SCREEN the screen size.
set -euo pipefail
screen=${QELO_SCREEN:-1280x800x24}
display_file=$(mktemp)
xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -f "$display_file"
}
trap cleanup EXIT

# -noreset: without it the server resets when its last client leaves (the probe below),
# and a client connecting during that reset, such as openbox, is turned away.
if [ -n "${QELO_DISPLAY:-}" ]; then
    echo "$QELO_DISPLAY" >"$display_file"
    Xvfb ":$QELO_DISPLAY" -screen 0 "$screen" -nolisten tcp -noreset >/dev/null 2>&1 &
else
    # Xvfb chooses a free display and writes its number once it accepts clients,
    # so sessions started side by side never collide.
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$display_file" >/dev/null 2>&1 &
fi
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$display_file" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$display_file")"
for _ in $(seq 200); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "xsession.sh: Xvfb did not start on $DISPLAY" >&2; exit 1; }

# Not exec'd: the trap must stop Xvfb when the command ends.
status=0
dbus-run-session -- bash -c '
    openbox >/dev/null 2>&1 &
    # Wait until openbox manages the screen, so that it handles the first window too.
    for _ in $(seq 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.05
    done
    if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
        echo "xsession.sh: openbox did not start on $DISPLAY" >&2
        exit 1
    fi
    "$@"' xsession "$@" || status=$?
exit "$status"
