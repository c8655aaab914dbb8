#!/usr/bin/env bash
# Installs what building and playing need, builds qelo without its tests and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing "${build_packages[@]}"
build -DBUILD_TESTING=OFF -DQELO_BENCH=OFF
exec "$build_dir/src/qelo"
