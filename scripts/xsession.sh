#!/usr/bin/env bash
# Runs a command inside a private X display with openbox and a D-Bus session, as a desktop would.
# Usage: xsession.sh COMMAND [ARG...]
set -euo pipefail
display_number=${QELO_DISPLAY:-$((100 + RANDOM % 800))}
export DISPLAY=":$display_number"
Xvfb "$DISPLAY" -screen 0 ${QELO_SCREEN:-1280x800x24} -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
exec dbus-run-session -- bash -c 'openbox >/dev/null 2>&1 & sleep 0.5; "$@"' xsession "$@"
