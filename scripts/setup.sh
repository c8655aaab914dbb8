#!/usr/bin/env bash
# Installs what building, running and testing qelo need on Debian or Ubuntu, then builds.
# Sourced by play.sh and test.sh; a second run finds everything in place and only rebuilds.
set -euo pipefail

root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${QELO_BUILD_DIR:-$root_dir/build}"

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libqt6svg6
    fonts-ipafont-gothic
    xvfb xauth openbox xdotool x11-utils imagemagick
    dbus dbus-x11 at-spi2-core python3-pyatspi
    clang libx11-dev
    desktop-file-utils appstream librsvg2-bin icoutils icnsutils binutils-mingw-w64-x86-64
)

# libFuzzer's runtime is a package of its own on Debian 12; elsewhere clang brings it.
optional=(libclang-rt-14-dev)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done

as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo "${as_root[@]}"); fi
if ((${#missing[@]})); then
    "${as_root[@]}" apt-get update -qq
fi
# An optional package counts only where the package lists know it.
for package in "${optional[@]}"; do
    if ! installed "$package" && apt-cache show "$package" >/dev/null 2>&1; then missing+=("$package"); fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${QELO_BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build_dir" --parallel
