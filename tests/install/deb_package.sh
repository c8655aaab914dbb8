#!/usr/bin/env bash
# Makes the Debian package with scripts/package.sh, lints it, unpacks it into a temporary root and plays the
# unpacked program there to see where it keeps its settings; makes it again from a copy of the sources elsewhere,
# which must give the same bytes.
# Usage: deb_package.sh BUILD_DIR (the package is built in BUILD_DIR/package)
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/setup.sh"
# Skipped, never installed, where any is missing.
require_tools cmake ninja dpkg-query dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli
require_session
# In the build folder: CPack counts a folder's size as its file system has it into Installed-Size, so the second
# build below must be on the same file system as the first.
work="$(mktemp -d "$1/deb_package.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The time every file of the package carries; scripts/release.sh sets the commit's.
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-1796558400}"
# The same sources elsewhere, copied before the first build, with other file times: for a second build below.
copy="$work/elsewhere/qelo-copy"
mkdir -p "$copy"
tar -C "$root_dir" --exclude='./build*' --exclude=./dist --exclude=./.git -cf - . | tar -xf - -C "$copy"
find "$copy" -exec touch -h -d '2001-02-03 04:05:06' {} +
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
# The README and the pages it leads to link only to files the package holds.
doc="$work/root/usr/share/doc/qelo"
while IFS= read -r page; do
    for target in $(grep -oE '\]\([^)#:]+' "$page" | cut -c3-); do
        [ -f "$(dirname "$page")/$target" ] || fail "${page#"$doc/"} links to $target, which the package lacks"
    done
done < <(find "$doc" -name '*.md')
[ -s "$work/root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "no icon"
# The program the menu entry starts, played where it was unpacked.
bash "$root_dir/scripts/xsession.sh" /usr/bin/python3 -B "$here/packaged_settings.py" \
    "$work/root$(sed -n 's/^Exec=//p' "$desktop")"

# Another folder, umask, time zone and locale: the same bytes.
again="$(cd "$copy" && umask 077 && TZ=Asia/Tokyo LC_ALL=C QELO_PACKAGE_DIR="$work/elsewhere/build" \
    bash scripts/package.sh --no-install 2>"$work/log" | tail -n 1)" || fail "scripts/package.sh again: $(cat "$work/log")"
if ! cmp "$deb" "$again"; then
    command -v diffoscope >/dev/null && diffoscope "$deb" "$again"
    fail "two builds of the package from the same sources differ"
fi
