#!/usr/bin/env bash
# Renders the Windows .ico and the macOS .icns from resources/qelo.svg, the one drawing of the icon.
# Run it after changing the drawing and commit what it writes; `make-icons.sh --check` fails while they are stale.
# Needs rsvg-convert (librsvg2-bin), icotool (icoutils) and png2icns (icnsutils).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
svg="$root_dir/resources/qelo.svg"
ico="$root_dir/packaging/windows/qelo.ico"
icns="$root_dir/packaging/macos/qelo.icns"
# The drawing's checksum at the last render; Windows and macOS builds cannot render the SVG themselves.
stamp="$root_dir/packaging/icons.sha256"

svg_sum() { sha256sum "$svg" | cut -d' ' -f1; }

if [ "${1:-}" = "--check" ]; then
    require_tools icotool
    status=0
    if [ "$(cat "$stamp")" != "$(svg_sum)" ]; then
        echo "resources/qelo.svg changed since the icons were rendered: run scripts/make-icons.sh" >&2
        status=1
    fi
    # Explorer picks among these sizes; a missing one gets scaled from another and blurs.
    for size in 16 24 32 48 64 256; do
        if ! icotool -l "$ico" | grep -q -- "--width=$size --height=$size"; then
            echo "packaging/windows/qelo.ico has no ${size}x${size} image" >&2
            status=1
        fi
    done
    if ! head -c 4 "$icns" | grep -q '^icns$'; then
        echo "packaging/macos/qelo.icns is not an icns file" >&2
        status=1
    fi
    exit "$status"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for size in 16 24 32 48 64 128 256 512; do
    rsvg-convert --width "$size" --height "$size" "$svg" --output "$work/$size.png"
done

# The 256-pixel image is stored as PNG, as Windows expects for that size; the small ones as bitmaps.
icotool --create --output "$ico" \
    "$work/16.png" "$work/24.png" "$work/32.png" "$work/48.png" "$work/64.png" --raw="$work/256.png"
png2icns "$icns" "$work/16.png" "$work/32.png" "$work/48.png" "$work/128.png" "$work/256.png" "$work/512.png" >/dev/null
svg_sum > "$stamp"
echo "Wrote ${ico#"$root_dir"/}, ${icns#"$root_dir"/} and ${stamp#"$root_dir"/}"
