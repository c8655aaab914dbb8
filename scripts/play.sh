#!/usr/bin/env bash
# Installs what is missing, builds qelo and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
exec "$build_dir/src/qelo"
