#!/usr/bin/env bash
# Builds qelo for 64-bit Windows with MinGW-w64, runs every QtTest suite and one game under Wine, and leaves a
# portable zip (qelo.exe with the Qt and MinGW run-time DLLs) in the build folder; exits non-zero on any failure.
# Qt for MinGW-w64 is built once from Debian's qt6-base source (about 15 minutes on two cores) into the cache.
# QELO_CACHE_DIR chooses the cache (default ~/.cache/qelo), QELO_WINDOWS_DIR the build folder (build-windows/).
# --if-cached: only when that Qt is already built; otherwise say so and succeed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

qt_prefix="$cache_dir/qt-6.4.2-mingw"
qt_built="$qt_prefix/lib/cmake/Qt6/Qt6Config.cmake"
build_dir="$(realpath -m "${QELO_WINDOWS_DIR:-$root_dir/build-windows}")"
toolchain="$root_dir/cmake/mingw-w64-x86_64.cmake"
if [ "${1:-}" = --if-cached ] && [ ! -f "$qt_built" ]; then
    echo "SKIPPED the Windows check: no Qt for MinGW-w64 in $qt_prefix (bash scripts/windows.sh builds it once)"
    exit 0
fi

# Parts of it are emptied on every run: it must be a build folder, or none yet.
if [ -e "$build_dir" ] && [ ! -f "$build_dir/CMakeCache.txt" ]; then
    echo "windows.sh: $build_dir exists and is not a CMake build folder" >&2
    exit 1
fi

# The host's Qt of the same version provides moc, rcc and uic; Wine runs the programs; the rest plays the game.
install_missing g++-mingw-w64-x86-64-posix wine wine64 zip unzip xz-utils \
    "${build_packages[@]}" "${session_packages[@]}"
if [[ $(dpkg-query -W -f='${Version}' qt6-base-dev) != 6.4.2* ]]; then
    echo "windows.sh: the host's Qt must be 6.4.2, as on Debian 12, to build Qt 6.4.2 for MinGW-w64" >&2
    exit 1
fi

build_qt() {
    local lists="$cache_dir/apt" work="$cache_dir/qt-work"
    # A private source list, so that the system's apt set-up stays as it is.
    mkdir -p "$lists/lists/partial" "$lists/cache/archives/partial" "$work"
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main" >"$lists/sources.list"
    local apt=(apt-get -qq -o Dir::Etc::SourceList="$lists/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$lists/lists" -o Dir::Cache="$lists/cache")
    "${apt[@]}" update
    (cd "$work" && "${apt[@]}" source --download-only qt6-base)
    rm -rf "$work/src" "$work/build" && mkdir -p "$work/src" "$work/build"
    tar -xf "$work"/qt6-base_*.orig.tar.xz -C "$work/src" --strip-components=1
    # Debian's source lacks the Wintab headers, so no tablet events; direct2d stays on, as the Windows plug-in's
    # link needs it in 6.4.2.
    (cd "$work/build" && "$work/src/configure" -prefix "$qt_prefix" -release -shared -xplatform win32-g++ \
        -qt-host-path /usr -nomake examples -nomake tests -nomake benchmarks \
        -no-feature-sql -no-feature-network -no-feature-dbus -no-feature-printsupport \
        -no-feature-concurrent -no-feature-xml -no-feature-tabletevent \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
    nice cmake --build "$work/build" --parallel
    cmake --install "$work/build"
    rm -rf "$work"
}
if [ -f "$qt_built" ]; then
    echo "Qt for MinGW-w64 from the cache: $qt_prefix"
else
    echo "Building Qt for MinGW-w64 into $qt_prefix (once; about 15 minutes on two cores)"
    build_qt
fi

cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$qt_prefix" -DCMAKE_FIND_ROOT_PATH="$qt_prefix" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_TESTING=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build "$build_dir" --parallel

# The portable folder, as a player unpacks it.
stage="$build_dir/stage"
rm -rf "$stage" "$build_dir"/qelo-*.zip
cmake --install "$build_dir" --prefix "$stage"
portable="$build_dir/qelo"
rm -rf "$portable" && mv "$stage/bin" "$portable" && cp "$root_dir/LICENSE" "$root_dir/README.md" "$portable/"
# Without their debugging symbols the libraries take half the room.
x86_64-w64-mingw32-strip --strip-unneeded "$portable"/*.exe "$portable"/*.dll "$portable"/*/*.dll
version="$(sed -n 's/^project(qelo VERSION \([0-9.]*\).*/\1/p' "$root_dir/CMakeLists.txt")"
zip_file="$build_dir/qelo-$version-windows-x64.zip"
(cd "$build_dir" && zip -qr "$zip_file" qelo)

# A new Wine prefix for each run, as a new Windows user; Wine finds the DLLs the suites need on WINEPATH, as
# Windows would on PATH.
scratch="$(mktemp -d "$build_dir/wine.XXXXXX")"
trap 'wineserver -k 2>/dev/null || true; chattr -i "$scratch/locked" 2>/dev/null || true; rm -rf "$scratch"' EXIT
winpath() { echo "Z:${1//\//\\}"; }
export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine hands a program the QT_ variables only by the names WINEQT_...: so the suites run on Qt's Windows platform
# plug-in, in real windows on the X display, and print their results instead of sending them to the debugger.
export WINEQT_FORCE_STDERR_LOGGING=1
wineboot --init 2>/dev/null && wineserver -w
# A folder that refuses new files, root included, holding a file that takes its new bytes in place; making one
# takes root and a file system that keeps the immutable flag.
mkdir "$scratch/locked" && touch "$scratch/locked/file"
if chattr +i "$scratch/locked" 2>/dev/null; then
    export QELO_LOCKED_FOLDER="$(winpath "$scratch/locked")"
else
    echo "No folder that refuses new files here (chattr +i): its rows are skipped"
fi
WINEPATH="$(winpath "$qt_prefix/bin");$(winpath "$portable")" \
    bash "$root_dir/scripts/xsession.sh" ctest --test-dir "$build_dir" --output-on-failure --timeout 600
# The game itself, from an unpacked copy of the zip, with nothing on WINEPATH.
(cd "$scratch" && unzip -q "$zip_file")
bash "$root_dir/scripts/xsession.sh" /usr/bin/python3 -B "$root_dir/tests/windows/wine_play.py" \
    "$scratch/qelo/qelo.exe" "$build_dir/wine-play"
echo "Windows build, suites and game under Wine passed; portable zip: $zip_file"
