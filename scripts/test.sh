#!/usr/bin/env bash
# Installs what is missing, builds qelo with its tests and benchmarks and runs every test; then builds it again
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test there too.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing "${build_packages[@]}" "${session_packages[@]}" "${test_packages[@]}"

# Usage: run_tests BUILD_DIR [CTEST_OPTION...]. Every tool is installed above, so a test skipped for want of one
# means a list in setup.sh lacks it: that fails too.
run_tests() {
    ctest --test-dir "$1" --output-on-failure "${@:2}"
    if grep '^SKIP: ' "$1/Testing/Temporary/LastTest.log"; then
        echo "test.sh: tests were skipped in $1" >&2
        exit 1
    fi
}

# The benchmarks are built, not run, so that they keep compiling. A compiler warning fails the build.
build -DBUILD_TESTING=ON -DQELO_BENCH=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
run_tests "$build_dir" --timeout 600

# Any sanitizer report fails its test: ASan and UBSan stop at the first error, LeakSanitizer
# checks every process that exits.
sanitize_dir="${build_dir}-asan"
echo "Sanitizer build in $sanitize_dir"
cmake -S "$root_dir" -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE="${QELO_BUILD_TYPE:-RelWithDebInfo}" \
    -DQELO_SANITIZE=ON -DQELO_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build "$sanitize_dir" --parallel "$(nproc)"
ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    run_tests "$sanitize_dir" --timeout 1200
