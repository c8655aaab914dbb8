#!/usr/bin/env bash
# Cuts a release of the commit checked out here: builds every artefact in a fresh clone with the project's own
# scripts, each running its own checks (suites, lintian, Wine, three browsers), and gathers them with SHA256SUMS in
# dist/qelo-<version>/, or dist/qelo-<version>-snapshot-<commit>/ when no tag v<version> names the commit. Refuses a
# dirty tree, a tag that disagrees with the version, and a version without an entry in CHANGELOG.md. Every step runs
# with SOURCE_DATE_EPOCH at the commit's time. Needs root and a Debian 12 host, as windows.sh and web.sh do.
# --twice: builds everything again from a second clone elsewhere, with another umask, time zone and locale, and
# fails unless every artefact has the same bytes (diffoscope's reports of the differences go to dist/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

twice=false
case "${1:-}" in
    --twice) twice=true ;;
    "") ;;
    *) fail "unknown option $1 (usage: release.sh [--twice])" ;;
esac
[ "$(id -u)" -eq 0 ] || fail "needs root, for the Debian 13 roots of the Debian 13 package and the browser build"
if $twice && [ -n "${QELO_SIGN_PFX:-}" ]; then
    fail "signatures hold their own time: compare unsigned builds (without QELO_SIGN_PFX)"
fi

cd "$root_dir"
version="$(project_version)"
[ -z "$(git status --porcelain)" ] ||
    fail "the work tree has changes that are not committed (git status): a release is built from one commit only"
commit="$(git rev-parse HEAD)"
tags="$(git tag --points-at HEAD 'v*')"
if [ -n "$tags" ] && ! grep -qx "v$version" <<<"$tags"; then
    fail "the commit is tagged ${tags//$'\n'/, } but CMakeLists.txt says version $version: no release made"
fi
notes="$(awk -v head="## $version - " 'index($0, head) == 1 { on = 1; next } /^## / { on = 0 } on' CHANGELOG.md)"
[ -n "$(tr -d '[:space:]' <<<"$notes")" ] ||
    fail "CHANGELOG.md has no entry \"## $version - YYYY-MM-DD\" for version $version: write what changed first"
if [ -n "$tags" ]; then
    name="qelo-$version"
    echo "Release $version, tag v$version, commit $commit"
else
    name="qelo-$version-snapshot-${commit:0:12}"
    echo "No tag v$version on commit $commit: building a snapshot, not a release"
fi
dist="$root_dir/dist"
export SOURCE_DATE_EPOCH="$(git log -1 --format=%ct "$commit")"
started=$SECONDS

work="$(mktemp -d "${TMPDIR:-/tmp}/qelo-release.XXXXXX")"
# A failed build's logs and files stay for a look; a release that is made leaves no scratch behind.
trap 'status=$?; if [ $status -eq 0 ]; then rm -rf --one-file-system "$work"; else
    echo "release.sh: logs and files kept in $work" >&2; fi' EXIT

# Usage: step LOG NAME COMMAND...: runs the command, its output in the log, and says how long it took.
step() {
    local log="$1" name="$2" begun=$SECONDS
    shift 2
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        fail "$name failed (the whole log: $log)"
    fi
    printf '  %-28s %4d s\n' "$name" $((SECONDS - begun))
}

# Usage: build_all FOLDER: clones the commit into FOLDER/qelo, builds every artefact there and gathers them in
# FOLDER/out.
build_all() {
    local clone="$1/qelo" out="$1/out" log="$1/build.log"
    mkdir -p "$out"
    echo "Building in $clone (umask $(umask), TZ ${TZ:-unset}, locale ${LC_ALL:-${LANG:-unset}}; log $log)"
    step "$log" "clone" git clone --quiet "$root_dir" "$clone"
    git -C "$clone" checkout --quiet --detach "$commit"
    # The commit's own time on every file in the tarball, in the tree's order; gzip leaves out its own time.
    step "$log" "source tarball" bash -c 'git -C "$1" archive --format=tar --prefix="qelo-$2/" "$3" | gzip -9 -n >"$4"' \
        archive "$clone" "$version" "$commit" "$out/qelo-$version.tar.gz"
    # The package that the Debian 12 suite built, linted and played.
    step "$log" "Debian 12 suite and package" bash "$clone/scripts/test.sh"
    cp "$clone"/build/package/qelo_*.deb "$out/"
    step "$log" "Debian 12 package, apt's check" apt-get install --simulate "$out"/qelo_*.deb
    step "$log" "Debian 13 suite and package" bash "$clone/scripts/debian13.sh" --out "$out"
    step "$log" "Windows setup and zip" bash "$clone/scripts/windows.sh"
    cp "$clone/build-windows/qelo-$version-windows-x64-setup.exe" "$clone/build-windows/qelo-$version-windows-x64.zip" \
        "$out/"
    step "$log" "browser page" bash "$clone/scripts/web.sh"
    cp "$clone/build-web/qelo-$version-web.zip" "$out/"
    ls "$out"/qelo_*~deb12*.deb "$out"/qelo_*~deb13*.deb >/dev/null || fail "a Debian package is missing in $out"
}

build_all "$work/first"
if $twice; then
    # Another folder at another depth, another umask, time zone and locale (C against UTF-8), and a later time.
    other_locale=C.UTF-8
    if [ "$(locale charmap)" = UTF-8 ]; then other_locale=C; fi
    (umask 077 && export TZ=Asia/Tokyo LC_ALL=$other_locale && build_all "$work/second/elsewhere")
    install_missing diffoscope-minimal >/dev/null
    different=()
    diff <(cd "$work/first/out" && ls) <(cd "$work/second/elsewhere/out" && ls) || fail "the two builds made other files"
    for file in $(cd "$work/first/out" && ls); do
        if cmp -s "$work/first/out/$file" "$work/second/elsewhere/out/$file"; then
            echo "  identical: $file"
        else
            different+=("$file")
            mkdir -p "$dist/$name-differences"
            diffoscope --text "$dist/$name-differences/$file.txt" --max-report-size 2000000 \
                "$work/first/out/$file" "$work/second/elsewhere/out/$file" || true
            echo "  DIFFERENT: $file (diffoscope: $dist/$name-differences/$file.txt)"
        fi
    done
    ((${#different[@]} == 0)) || fail "${#different[@]} artefacts differ between the two builds: no release made"
    rm -rf "$dist/$name-differences"
fi

# What changed, as CHANGELOG.md says, beside the files; SHA256SUMS covers everything else.
out="$work/first/out"
printf '# qelo %s\n%s\n' "$version" "$notes" >"$out/NOTES.md"
# Listed in one order whatever the locale, so that a rebuild's SHA256SUMS matches line for line.
(cd "$out" && export LC_ALL=C && sha256sum -- * >SHA256SUMS)
# Filled in a hidden folder and renamed at the end, so that dist/ never holds half a release.
mkdir -p "$dist"
partial="$dist/.$name.partial"
rm -rf "$partial" && cp -r "$out" "$partial"
(cd "$partial" && sha256sum --quiet -c SHA256SUMS) || fail "the copy into $dist does not match its checksums"
rm -rf "${dist:?}/$name" && mv "$partial" "$dist/$name"

echo "Made in $((SECONDS - started)) s, in $dist/$name:"
(cd "$dist/$name" && export LC_ALL=C && stat -c '%s %n' -- * | numfmt --to=iec --suffix=B --padding=8 --field=1)
if [ -z "$tags" ]; then echo "A snapshot: tag the commit v$version to make it a release."; fi
