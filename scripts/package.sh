#!/usr/bin/env bash
# Makes the Debian package from a clean configure, with the settings kept per user, and prints its path last.
# With SOURCE_DATE_EPOCH set (scripts/release.sh sets it), two builds of the same sources give the same bytes.
# Usage: package.sh [--no-install] [CMAKE_OPTION...], such as -DQELO_DEB_MAINTAINER=... and -DQELO_HOMEPAGE=... for a
# publisher. --no-install takes what is installed, as the package test does; otherwise apt installs what is missing.
# QELO_PACKAGE_DIR chooses the build folder (default build-package/), which it empties first.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
if [ "${1:-}" = --no-install ]; then
    shift
else
    install_missing "${build_packages[@]}" dpkg-dev file
fi
build_dir="${QELO_PACKAGE_DIR:-$root_dir/build-package}"
# The package's files and folders get the usual modes whatever the caller's umask, as dpkg-buildpackage does.
umask 022
# Emptied only when it is a package's build folder, by its cache or, from before QELO_DEB_PACKAGE, by what cpack
# makes there: the variable may name another folder by mistake.
if [ -e "$build_dir" ] && ! grep -qx 'QELO_DEB_PACKAGE:BOOL=ON' "$build_dir/CMakeCache.txt" 2>/dev/null &&
    ! grep -qx 'set(CPACK_GENERATOR "DEB")' "$build_dir/CPackConfig.cmake" 2>/dev/null; then
    echo "package.sh: $build_dir exists and is not a folder package.sh made" >&2
    exit 1
fi
rm -rf "$build_dir"
build -DBUILD_TESTING=OFF -DQELO_BENCH=OFF -DQELO_PER_USER_SETTINGS=ON -DQELO_DEB_PACKAGE=ON -DQELO_REPRODUCIBLE=ON \
    "$@" >&2
# The cpack of the CMake that configured the folder.
cpack="$(dirname "$(sed -n 's/^CMAKE_COMMAND:INTERNAL=//p' "$build_dir/CMakeCache.txt")")/cpack"
(cd "$build_dir" && "$cpack" -G DEB >&2)
ls "$build_dir"/qelo_*_*.deb
