#!/usr/bin/env bash
# Runs one end-to-end case of qelo on a private X display; exits 77 (skipped) only when the desktop tools are missing.
# Usage: run_e2e.sh QELO_EXECUTABLE CASE [ARTIFACT_DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

for tool in Xvfb openbox xdotool xprop xdpyinfo import dbus-run-session; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done
# pyatspi comes with Debian's own Python, whatever python3 is first on PATH.
if ! /usr/bin/python3 -c 'import pyatspi' >/dev/null 2>&1; then
    echo "SKIP: /usr/bin/python3 cannot import pyatspi (python3-pyatspi)"
    exit 77
fi
if [ ! -e /usr/share/dbus-1/services/org.a11y.Bus.service ]; then
    echo "SKIP: the AT-SPI bus (at-spi2-core) is not installed"
    exit 77
fi

exec bash "$here/../../scripts/xsession.sh" /usr/bin/python3 "$here/qelo_e2e.py" "$@"
