#!/usr/bin/env bash
# Builds the Debian package, lints it, unpacks it into a temporary root and starts the program from there.
# Usage: deb_package.sh CPACK BUILD_DIR
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${1:-}" = "--start" ]; then
    # Inside scripts/xsession.sh: the window comes up, and closing it ends the program cleanly.
    "$2" &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT
    window="$(timeout 30 xdotool search --sync --onlyvisible --name '^qelo$' | head -n 1)" ||
        fail "no window named qelo within 30 s"
    xdotool windowactivate --sync "$window"
    # Alt+F4 is openbox's close; repeated, since a key pressed before openbox focuses the window is lost.
    for attempt in $(seq 50); do
        ((attempt % 10 == 1)) && xdotool key alt+F4
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$pid" 2>/dev/null && fail "the program still runs 10 s after its window was closed"
    wait "$pid" || fail "the program did not end cleanly when its window was closed (status $?)"
    exit 0
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$1" -G DEB --config "$2/CPackConfig.cmake" -B "$work" >/dev/null
deb="$(echo "$work"/qelo_*_*.deb)"
[ -f "$deb" ] || fail "cpack made no qelo_<version>_<arch>.deb"
# The README lists the warnings kept on purpose; any other warning fails like an error.
lintian --fail-on error,warning --suppress-tags no-manual-page "$deb" || fail "lintian"

# Qt loads these at run time, so dpkg-shlibdeps cannot find them.
depends="$(dpkg-deb -f "$deb" Depends)"
for package in libqt6widgets6 qt6-qpa-plugins libqt6svg6 fonts-ipafont-gothic; do
    [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop="$(echo "$root"/usr/share/applications/*.desktop)"
report="$(desktop-file-validate "$desktop" 2>&1)" && ! grep -E '(error|warning):' <<<"$report" ||
    fail "desktop-file-validate: $report"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli"
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "no icon"
program="$root$(sed -n 's/^Exec=//p' "$desktop")"
[ -x "$program" ] || fail "the menu entry does not start a program in the package"
bash "$here/../../scripts/xsession.sh" bash "${BASH_SOURCE[0]}" --start "$program"
