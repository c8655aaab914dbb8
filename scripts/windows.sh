#!/usr/bin/env bash
# Builds qelo for 64-bit Windows with MinGW-w64, makes its setup with cpack (NSIS) and a portable zip (qelo.exe with
# the Qt and MinGW run-time DLLs) in the build folder, runs every QtTest suite and one game under Wine, and checks
# the setup there from install to upgrade to uninstall; exits non-zero on any failure.
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
install_missing g++-mingw-w64-x86-64-posix wine wine64 zip unzip xz-utils nsis osslsigncode openssl \
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
    -DBUILD_TESTING=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DQELO_REPRODUCIBLE=ON
cmake --build "$build_dir" --parallel

# The setup; a publisher's certificate signs it (packaging/windows/sign.sh).
version="$(project_version)"
setup="$build_dir/qelo-$version-windows-x64-setup.exe"
rm -f "$setup" "$build_dir"/qelo-*.zip
started=$SECONDS
(cd "$build_dir" && cpack -G NSIS)
echo "Setup made in $((SECONDS - started)) s: $setup, $(stat -c %s "$setup") bytes"
if [ "$(stat -c %s "$setup")" -gt 9500000 ]; then
    echo "windows.sh: the setup is larger than 9.5 MB" >&2
    exit 1
fi
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

# The setup. First an earlier version with a file of its own, signed with a throwaway certificate.
new_prefix setup
fail() { echo "windows.sh: setup check: $*" >&2; exit 1; }
run() { wine "$@" || fail "$* ended with status $?"; wineserver -w; }
signer="$scratch/signer"
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=qelo throwaway signer" -days 1 \
    -keyout "$signer.key" -out "$signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$signer.key" -in "$signer.pem" -passout pass:throwaway -out "$signer.pfx"
mkdir "$scratch/extra" && echo "only in the earlier version" >"$scratch/extra/earlier.txt"
(cd "$build_dir" && QELO_SIGN_PFX="$signer.pfx" QELO_SIGN_PASSWORD=throwaway QELO_SIGN_TIMESTAMP= \
    cpack -G NSIS -B "$scratch/earlier" -D CPACK_PACKAGE_VERSION=0.9.0 -D CPACK_PACKAGE_FILE_NAME=earlier \
    -D "CPACK_INSTALLED_DIRECTORIES=$scratch/extra;.") >/dev/null
earlier="$scratch/earlier/earlier.exe"
# The prefix's files and registry keys, but for the Temp folders (the uninstaller runs from a copy there).
snapshot() {
    (cd "$WINEPREFIX" && find drive_c -path '*/Temp' -prune -o -print &&
        sed -n 's/^\(\[.*\]\) [0-9]*$/\1/p' system.reg user.reg) | LC_ALL=C sort
}
entry() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\qelo' 2>/dev/null |
        tr -d '\r' | sed -n 's/^    //p'
}
snapshot >"$scratch/before"
run "$earlier" /S
[ -f "$app/earlier.txt" ] || fail "the earlier version is not in $app"
for file in "$earlier" "$app/qelo.exe" "$app/Uninstall.exe"; do
    osslsigncode verify -CAfile "$signer.pem" -in "$file" >/dev/null || fail "$file has no valid signature"
done
settings="$(realpath "$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")")/qelo/qelo.ini"
mkdir -p "${settings%/*}" && echo "the player's settings" >"$settings" && cp "$settings" "$scratch/settings"

# This version over it: the earlier one's files go, the player's settings stay, one entry with every field.
run "$setup" /S
cmp -s "$settings" "$scratch/settings" || fail "the upgrade changed $settings"
diff <(cd "$app" && find . | sort) <( (cd "$portable" && find .; echo ./Uninstall.exe) | sort) ||
    fail "$app holds other files than the portable folder and the uninstaller"
dir='C:\Program Files\qelo' publisher="$(sed -n 's/^Copyright (c) [0-9]* //p' "$root_dir/LICENSE")"
diff <(entry | sed 's/^\(EstimatedSize    REG_DWORD    \)0x[0-9a-f]*$/\1(KiB)/') - <<EOF || fail "uninstall entry"
DisplayIcon    REG_SZ    $dir\qelo.exe
DisplayName    REG_SZ    qelo
DisplayVersion    REG_SZ    $version
EstimatedSize    REG_DWORD    (KiB)
InstallLocation    REG_SZ    $dir
NoModify    REG_DWORD    0x1
NoRepair    REG_DWORD    0x1
Publisher    REG_SZ    $publisher
QuietUninstallString    REG_SZ    "$dir\Uninstall.exe" /S
UninstallString    REG_SZ    "$dir\Uninstall.exe"
EOF
kib=$(($(entry | sed -n 's/^EstimatedSize    REG_DWORD    //p')))
bytes=$(find "$app" -type f -printf '%s\n' | awk '{ sum += $1 } END { print sum }')
((kib * 1024 <= bytes && bytes < (kib + 1) * 1024)) || fail "EstimatedSize $kib KiB for $bytes bytes"
lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/qelo.lnk"
{ strings "$lnk" | grep -qxF "$dir\\qelo.exe" && strings -e l "$lnk" | grep -qxF "$dir\\qelo.exe"; } ||
    fail "$lnk does not start $dir\\qelo.exe with its icon"
# Nothing else: no Start-menu folder, no second shortcut or entry, no publisher's key.
diff <(LC_ALL=C comm -13 "$scratch/before" <(snapshot) | grep -v '^drive_c/Program Files/qelo/') <(
    printf '%s\n' '[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qelo]' "drive_c/Program Files/qelo" \
        "${lnk#"$WINEPREFIX/"}" "${settings%/*}" "$settings" | sed "s|^$WINEPREFIX/||" | LC_ALL=C sort) ||
    fail "the setup made more than its folder, shortcut and entry"

# The earlier version again: refused, as a silent setup does not ask.
if wine "$earlier" /S; then fail "the earlier version installed over this one"; fi
wineserver -w
entry | grep -qx "DisplayVersion    REG_SZ    $version" || fail "the refused setup changed the entry"

# The game from its shortcut. Program Files refuses new files to a player on Windows, so the game saves per user.
rm -r "${settings%/*}"
if chattr +i "$app" 2>/dev/null; then ini="$settings"; else ini="$app/qelo.ini"; fi
play "$lnk" "$build_dir/wine-setup" "$ini"
chattr -i "$app" 2>/dev/null || true

# The silent uninstall leaves the settings the game wrote, and nothing else of what there was not before.
run "$app/Uninstall.exe" /S
left="$(LC_ALL=C comm -13 "$scratch/before" <(snapshot))"
[ "$left" = "$(printf '%s\n' "${ini%/*}" "$ini" | sed "s|^$WINEPREFIX/||")" ] || fail "the uninstaller left $left"

if [ -n "${QELO_SIGN_PFX:-}" ]; then signed="signed with $QELO_SIGN_PFX"; else signed="unsigned"; fi
echo "Windows build, suites, game and setup under Wine passed; left after uninstalling: ${left//$'\n'/, }"
echo "Setup ($signed): $setup"
echo "Portable zip: $zip_file"
