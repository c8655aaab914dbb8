#!/usr/bin/env bash
# Builds qelo for 64-bit Windows with MinGW-w64, makes its setup with cpack (NSIS) and a portable zip (qelo.exe with
# the Qt and MinGW run-time DLLs) in the build folder, runs every QtTest suite and one game under Wine, and checks
# the setup there from install to upgrade to uninstall (tests/windows/setup_check.sh); exits non-zero on any
# failure. Qt for MinGW-w64 is built once from Debian's qt6-base source into the cache (scripts/qt.sh).
# QELO_CACHE_DIR chooses the cache (default ~/.cache/qelo), QELO_WINDOWS_DIR the build folder (build-windows/).
# --if-cached: only when that Qt is already built; otherwise say so and succeed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source "$root_dir/scripts/qt.sh"

toolchain="$root_dir/cmake/mingw-w64-x86_64.cmake"
# Debian's source lacks the Wintab headers, so no tablet events; direct2d stays on, as the Windows plug-in's link
# needs it in 6.4.2. The host's Qt of the same version provides moc, rcc and uic.
qt_inputs=("$toolchain")
qt_define mingw 6.4.2 bookworm -release -shared -xplatform win32-g++ -qt-host-path /usr \
    -nomake examples -nomake tests -nomake benchmarks -no-feature-sql -no-feature-network -no-feature-dbus \
    -no-feature-printsupport -no-feature-concurrent -no-feature-xml -no-feature-tabletevent \
    -- -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
qt_skip_unless_cached "the Windows check" "$@"
build_dir="$(realpath -m "${QELO_WINDOWS_DIR:-$root_dir/build-windows}")"
own_folder "$build_dir"

# Wine runs the programs; the rest plays the game.
install_missing g++-mingw-w64-x86-64-posix wine wine64 zip unzip xz-utils nsis osslsigncode openssl \
    "${build_packages[@]}" "${session_packages[@]}"
[[ $(dpkg-query -W -f='${Version}' qt6-base-dev) == "$qt_version"* ]] ||
    fail "the host's Qt must be $qt_version, as on Debian 12, to build Qt $qt_version for MinGW-w64"
qt_ensure

cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$qt_prefix" -DCMAKE_FIND_ROOT_PATH="$qt_prefix" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_TESTING=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DQELO_REPRODUCIBLE=ON
cmake --build "$build_dir" --parallel

# The setup; a publisher's certificate signs it (packaging/windows/sign.sh).
version="$(project_version)"
setup="$build_dir/qelo-$version-windows-x64-setup.exe"
rm -f "$setup" "$build_dir"/qelo-*.zip
started=$SECONDS
(cd "$build_dir" && cpack -G NSIS)
echo "Setup made in $((SECONDS - started)) s: $setup, $(stat -c %s "$setup") bytes"
[ "$(stat -c %s "$setup")" -le 9500000 ] || fail "the setup is larger than 9.5 MB"
# The portable folder holds what the setup installs, as cpack laid it out, stripped and signed.
staged="$build_dir/_CPack_Packages/win64/NSIS/qelo-$version-windows-x64-setup"
portable="$build_dir/qelo"
rm -rf "$portable" && cp -r "$staged" "$portable"
zip_file="$build_dir/qelo-$version-windows-x64.zip"
(cd "$build_dir" && reproducible_zip "$zip_file" qelo)

# The checks find windows by their Japanese titles, which Wine and xdotool read right in a UTF-8 locale only; the
# artefacts above are made in the caller's.
export LC_ALL=C.UTF-8
# Each check has a new Wine prefix, as a new Windows user. Wine finds the DLLs the suites need on WINEPATH, as
# Windows would on PATH.
scratch="$(mktemp -d "$build_dir/wine.XXXXXX")"
app="$scratch/setup/drive_c/Program Files/qelo"
trap 'wineserver -k 2>/dev/null || true; chattr -i "$scratch/locked" "$app" 2>/dev/null || true; rm -rf "$scratch"' EXIT
winpath() { echo "Z:${1//\//\\}"; }
# Wine hands a program the QT_ variables only by the names WINEQT_...: so the suites run on Qt's Windows platform
# plug-in, in real windows on the X display, and print their results instead of sending them to the debugger.
# Shortcuts that the setup makes stay in the prefix, with no menu entries on this desktop.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEQT_FORCE_STDERR_LOGGING=1
# Windows' Japanese faces are drawn by the IPA fonts (fonts-ipafont-gothic), as Wine's replacements: Qt falls back
# to MS UI Gothic for Japanese, and the setup's wizard asks for ＭＳ Ｐゴシック. Without them whichever font the machine
# has with Japanese in it draws the captions. The file is UTF-16, so that no locale changes the names.
new_prefix() {
    export WINEPREFIX="$scratch/$1"
    wineboot --init 2>/dev/null && wineserver -w
    { printf '\xff\xfe'; printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' '"MS UI Gothic"="IPAPGothic"' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"MS Gothic"="IPAGothic"' |
        iconv -f UTF-8 -t UTF-16LE; } >"$WINEPREFIX/fonts.reg"
    wine regedit /S "$(winpath "$WINEPREFIX/fonts.reg")" && wineserver -w
}
play() { bash "$root_dir/scripts/xsession.sh" /usr/bin/python3 -B "$root_dir/tests/windows/wine_play.py" "$@"; }

new_prefix wine
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
play "$scratch/qelo/qelo.exe" "$build_dir/wine-play"

source "$root_dir/tests/windows/setup_check.sh"
if [ -n "${QELO_SIGN_PFX:-}" ]; then signed="signed with $QELO_SIGN_PFX"; else signed="unsigned"; fi
echo "Windows build, suites, game and setup under Wine passed; left after uninstalling: ${left//$'\n'/, }"
echo "Setup ($signed): $setup"
echo "Portable zip: $zip_file"
