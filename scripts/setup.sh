#!/usr/bin/env bash
# Installs missing Debian or Ubuntu packages and builds qelo; sourced by play.sh, test.sh and screenshots.sh,
# which each install only the lists they need. A second run finds everything in place and only rebuilds.
# Tests (and make-icons.sh --check) source it only to check for their tools: they never install anything.
set -euo pipefail
# A failure inside $(...) fails the script too, not only the substitution.
shopt -s inherit_errexit

root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${QELO_BUILD_DIR:-$root_dir/build}"
# What is built once and kept between runs: the Debian 13 roots, Qt for MinGW-w64 and for WebAssembly.
cache_dir="${QELO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/qelo}"

# Building and playing: the compiler, CMake and Qt, and what qelo loads at run time (Qt's X11 platform plugin,
# its SVG plug-ins, which render the window icon at build time and outside X11, a Japanese font for the symbols
# and captions). Debian 13 moved the SVG plug-ins from libqt6svg6 into qt6-svg-plugins.
build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins 'qt6-svg-plugins|libqt6svg6'
    fonts-ipafont-gothic
)
# A private desktop for the window tests and the screenshots, and the tools that drive and read it.
session_packages=(
    xvfb xauth openbox xdotool x11-utils imagemagick
    dbus dbus-x11 at-spi2-core python3-pyatspi
)
# The other tests: desktop entry, metainfo and icon tools, what cpack and lintian need; Xlib's headers for a benchmark.
test_packages=(
    desktop-file-utils appstream librsvg2-bin icoutils icnsutils
    dpkg-dev file lintian libx11-dev diffoscope-minimal
)

fail() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

# Usage: own_folder FOLDER: makes FOLDER this script's, refusing one that exists and that it did not make, since
# what it leaves there is replaced on every run.
own_folder() {
    local marker="$1/.made-by-$(basename "$0" .sh)"
    [ ! -e "$1" ] || [ -f "$marker" ] || fail "$1 exists and is not a folder $(basename "$0") made"
    mkdir -p "$1" && touch "$marker"
}

# Prints the Debian archive this machine's apt takes its packages from (QELO_DEBIAN_MIRROR overrides it).
debian_archive() {
    local uri="${QELO_DEBIAN_MIRROR:-}"
    [ -n "$uri" ] || uri="$(apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' \
        'Created-By: Packages' | awk '$2 !~ /-(security|updates|backports)$/ { print $1; exit }')"
    if [ -z "$uri" ]; then
        echo "no Debian archive in this machine's apt sources: set QELO_DEBIAN_MIRROR" >&2
        return 1
    fi
    echo "${uri%/}"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# "A|B": the first of A and B that the package lists know (releases move files between packages), else "A|B".
pick() {
    local alternative
    for alternative in ${1//|/ }; do
        apt-cache show "$alternative" >/dev/null 2>&1 && { echo "$alternative"; return; }
    done
    echo "$1"
}

# Usage: install_missing PACKAGE|"PACKAGE|ALTERNATIVE"...
install_missing() {
    local missing=() package
    for package in "$@"; do
        [[ $package == *"|"* ]] && package="$(pick "$package")"
        installed "$package" || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    local as_root=(env DEBIAN_FRONTEND=noninteractive)
    if [ "$(id -u)" -ne 0 ]; then as_root=(sudo "${as_root[@]}"); fi
    "${as_root[@]}" apt-get update -qq
    for package in "${!missing[@]}"; do
        [[ ${missing[$package]} == *"|"* ]] && missing[$package]="$(pick "${missing[$package]}")"
    done
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# A test without its tools ends with 77, which CTest reports as skipped, and names what it lacks.
skip() {
    echo "SKIP: $*"
    exit 77
}

# Usage: require_tools TOOL...
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/test.sh installs it)"
    done
}

# What a session of xsession.sh, played through AT-SPI, needs (session_packages).
require_session() {
    require_tools Xvfb openbox xdotool xprop xdpyinfo import dbus-run-session
    # pyatspi comes with Debian's own Python, whatever python3 is first on PATH.
    { /usr/bin/python3 -c 'import pyatspi' && [ -e /usr/share/dbus-1/services/org.a11y.Bus.service ]; } 2>/dev/null ||
        skip "/usr/bin/python3 lacks pyatspi (python3-pyatspi) or the AT-SPI bus (at-spi2-core)"
}

# The version set once in CMakeLists.txt, for the names of what the scripts leave.
project_version() {
    sed -n 's/^project(qelo VERSION \([0-9.]*\).*/\1/p' "$root_dir/CMakeLists.txt"
}

# Usage: reproducible_zip ZIP FOLDER: zips the folder (a path relative to the current one) so that the same files
# make the same bytes: in a fixed order, with the usual modes and no owners or extra time fields, every time in UTC
# and, when SOURCE_DATE_EPOCH is set, at that time.
reproducible_zip() {
    chmod -R u+rwX,go+rX,go-w "$2"
    if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then find "$2" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; fi
    find "$2" | LC_ALL=C sort | TZ=UTC zip -qX "$1" -@
}

# Usage: build [CMAKE_OPTION...]
build() {
    cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${QELO_BUILD_TYPE:-RelWithDebInfo}" "$@"
    cmake --build "$build_dir" --parallel
}
