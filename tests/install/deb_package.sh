#!/usr/bin/env bash
# Makes the Debian package with scripts/package.sh, lints it, unpacks it into a temporary root and plays the
# unpacked program there to see where it keeps its settings.
# Usage: deb_package.sh BUILD_DIR (the package is built in BUILD_DIR/package)
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/setup.sh"
# Skipped, never installed, where any is missing.
require_tools cmake ninja dpkg-query dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli
require_session
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
deb="$(QELO_PACKAGE_DIR="$1/package" bash "$root_dir/scripts/package.sh" --no-install 2>"$work/log" | tail -n 1)" ||
    fail "scripts/package.sh: $(cat "$work/log")"
[[ $deb == /*/qelo_*_*.deb && -f $deb ]] || fail "scripts/package.sh printed no qelo_<version>_<arch>.deb: $deb"
# docs/building.md lists the warnings kept on purpose; any other warning fails like an error.
lintian --fail-on error,warning --suppress-tags no-manual-page "$deb" || fail "lintian"

# Qt loads these plug-ins at run time, so dpkg-shlibdeps cannot find their packages: those that own them here.
depends="$(dpkg-deb -f "$deb" Depends)"
for plugin in platforms/libqxcb.so imageformats/libqsvg.so iconengines/libqsvgicon.so; do
    owner="$(dpkg-query -S "*/qt6/plugins/$plugin" | head -n 1 | cut -d: -f1)" || fail "no package holds $plugin"
    grep -qE "(^|, )$owner( |,|$)" <<<"$depends" || fail "Depends lacks $owner, which holds $plugin: $depends"
done
[[ $depends == *"fonts-ipafont-gothic"* ]] || fail "Depends lacks the Japanese font: $depends"
[[ $depends == *"libqt6widgets6 ("* ]] || fail "Depends lacks what dpkg-shlibdeps finds: $depends"

dpkg-deb -x "$deb" "$work/root"
desktop="$(echo "$work/root"/usr/share/applications/*.desktop)"
report="$(desktop-file-validate "$desktop" 2>&1)" && ! grep -E '(error|warning):' <<<"$report" ||
    fail "desktop-file-validate: $report"
# Notes are for information; a warning fails.
report="$(appstreamcli validate --no-net "$work/root"/usr/share/metainfo/*.metainfo.xml 2>&1)" &&
    ! grep -E '^W:|^E:' <<<"$report" || fail "appstreamcli: $report"
[ -s "$work/root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "no icon"
# The program the menu entry starts, played where it was unpacked.
bash "$root_dir/scripts/xsession.sh" /usr/bin/python3 -B "$here/packaged_settings.py" \
    "$work/root$(sed -n 's/^Exec=//p' "$desktop")"
