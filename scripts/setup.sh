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

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${QELO_BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build_dir" --parallel
