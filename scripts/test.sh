#!/usr/bin/env bash
# Installs what is missing, builds qelo and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
ctest --test-dir "$build_dir" --output-on-failure --timeout 600
