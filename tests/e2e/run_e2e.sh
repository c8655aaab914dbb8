#!/usr/bin/env bash
# Runs the end-to-end session on a private X display; exits 77 (skipped) only when the desktop tools are missing.
# Usage: run_e2e.sh QELO_EXECUTABLE
set -euo pipefail
source "$(dirname "$0")/../../scripts/setup.sh"
require_session
# -B: no compiled helper module left in the source tree.
exec bash "$root_dir/scripts/xsession.sh" /usr/bin/python3 -B "$(dirname "$0")/qelo_e2e.py" "$@"
