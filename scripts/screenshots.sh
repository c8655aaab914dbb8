#!/usr/bin/env bash
# Makes the screenshots in docs/screenshots/ (docs/playing.md, README) from the real program under Xvfb with openbox.
# Rerun it after any visual change; it sets up and builds like play.sh first.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing "${build_packages[@]}" "${session_packages[@]}"
build
# The system's python3 has pyatspi, which finds the program's widgets as assistive technology does;
# -B keeps the shared helper module from leaving compiled files in the source tree.
QELO_SCREEN="${QELO_SCREEN:-1024x640x24}" bash "$root_dir/scripts/xsession.sh" \
    /usr/bin/python3 -B "$root_dir/scripts/screenshots.py" "$build_dir/src/qelo" "$root_dir/docs/screenshots"
