#!/usr/bin/env bash
# Runs the end-to-end session on a private X display; exits 77 (skipped) only when the desktop tools are missing.
# Usage: run_e2e.sh QELO_EXECUTABLE
set -euo pipefail
for tool in Xvfb openbox xdotool xprop xdpyinfo import dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
# pyatspi comes with Debian's own Python, whatever python3 is first on PATH.
{ /usr/bin/python3 -c 'import pyatspi' && [ -e /usr/share/dbus-1/services/org.a11y.Bus.service ]; } 2>/dev/null \
    || { echo "SKIP: /usr/bin/python3 lacks pyatspi (python3-pyatspi) or the AT-SPI bus (at-spi2-core)"; exit 77; }
# -B: no compiled helper module left in the source tree.
exec bash "$(dirname "$0")/../../scripts/xsession.sh" /usr/bin/python3 -B "$(dirname "$0")/qelo_e2e.py" "$@"
