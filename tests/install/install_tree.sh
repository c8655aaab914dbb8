#!/usr/bin/env bash
# Checks that `cmake --install` into a fresh prefix gives files a desktop accepts and a program that starts and closes.
# Usage: install_tree.sh BUILD_DIR SOURCE_DIR APP_ID PROJECT_VERSION
set -euo pipefail

build_dir=$1 source_dir=$2 app_id=$3 version=$4
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

program="$prefix/bin/qelo"
desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
icon="$prefix/share/icons/hicolor/scalable/apps/qelo.svg"
license="$prefix/share/doc/qelo/LICENSE"
for file in "$program" "$desktop" "$metainfo" "$icon" "$license"; do
    [ -f "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
[ -x "$program" ] || fail "bin/qelo is not executable"

# The validators' own verdicts; desktop-file-validate exits 0 on warnings, so they are looked for too.
report="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $report"
if grep -E '(error|warning):' <<<"$report"; then fail "desktop-file-validate complains"; fi
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"

# What the menu shows and starts.
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Name)" = "qelo" ] || fail "Name is '$(entry Name)'"
[ "$(entry Exec)" = "$(basename "$program")" ] || fail "Exec '$(entry Exec)' is not the installed program"
[ "$(entry Icon)" = "$(basename "$icon" .svg)" ] || fail "Icon '$(entry Icon)' is not the installed icon"
for category in Game Education; do
    [[ ";$(entry Categories)" == *";$category;"* ]] || fail "Categories lacks $category"
done
LC_ALL=C.UTF-8 grep -qP '^Comment=.*[\p{Hiragana}\p{Katakana}\p{Han}]' "$desktop" || fail "Comment is not Japanese"

# The metainfo names this entry, this release and the licence of LICENSE.
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || fail "launchable"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metainfo"
grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "project_license is not MIT"
[ "$(head -n 1 "$license")" = "MIT License" ] || fail "LICENSE is not the MIT licence"

# The menu icon is the window icon's drawing, and it renders.
cmp -s "$icon" "$source_dir/resources/qelo.svg" || fail "installed icon differs from resources/qelo.svg"
rsvg-convert --width 48 --height 48 "$icon" --output "$prefix/icon.png" || fail "the icon does not render"
[ -s "$prefix/icon.png" ] || fail "the icon renders empty"

bash "$source_dir/scripts/xsession.sh" bash "$source_dir/tests/install/start_installed.sh" "$program"
echo "install_tree: all checks passed"
