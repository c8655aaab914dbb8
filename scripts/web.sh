#!/usr/bin/env bash
# Builds qelo for the browser with Qt for WebAssembly, checks what it draws against recorded crops, plays it in
# Chromium, WebKitGTK and Firefox (tests/web/), and loads it as a phone would, offline and across an update to the
# next version (built too, as is this one once more, which must give the same bytes); ranks what takes its bytes;
# leaves the page in build-web/site/ and build-web/qelo-<version>-web.zip; exits non-zero on any failure.
# Debian 12's emscripten is too old for Qt 6, so all of it runs in a Debian 13 root (as debian13.sh makes), with
# Debian's emscripten, browsers and Qt source. Qt is built once (about 30 minutes on two cores, scripts/qt.sh) into
# the cache, and so is the root with its packages. Needs root. QELO_CACHE_DIR chooses the cache (default
# ~/.cache/qelo), QELO_WEB_DIR the output.
# --if-cached: only when that Qt is already built; otherwise say so and succeed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/debian13.sh"

source "$root_dir/scripts/qt.sh"

# Built for size: -Os, unused code dropped at link, and none of the features the game does not use (each step's
# effect is in bench/RESULTS.md). Not link-time optimized: with -ltcg the page stopped at start ("null function").
# Single-threaded, so that a page needs no cross-origin isolation; static, as Qt for WebAssembly is. Without the
# hardening that fills every new variable and checks the C++ library's bounds: the page reads no untrusted input
# but its own settings, which the game reads as untrusted bytes anyway.
wasm_features=(thread sql network dbus printsupport concurrent xml testlib jpeg gif ico
    imageformat_bmp imageformat_ppm imageformat_xbm movie pdf textodfwriter textmarkdownreader
    textmarkdownwriter mimetype-database sessionmanager desktopservices style-stylesheet graphicsview graphicseffect
    calendarwidget datetimeedit filedialog fontdialog colordialog inputdialog progressdialog errormessage
    wizard mdiarea dockwidget toolbar toolbox splashscreen lcdnumber dial splitter tabwidget
    treeview treewidget tableview tablewidget columnview undocommand undostack undogroup undoview
    syntaxhighlighter textbrowser keysequenceedit fontcombobox commandlinkbutton datawidgetmapper whatsthis statustip
    sizegrip scroller
    jalalicalendar islamiccivilcalendar datetimeparser commandlineparser
    gestures filesystemmodel completer fscompleter sortfilterproxymodel texthtmlparser cssparser
    trivial_auto_var_init_pattern libcpp_hardening)
# Kept on although unused: the style sheet code includes the Windows style's header either way, and the page's
# drag and drop, which its platform plug-in needs, requires XPM images.
# The page draws every character with the game's own font, so the platform plug-in's two DejaVu fonts (Qt's fallback
# for pages without a font of their own) stay out. Of the standard pictures the styles keep as PNG files, which no
# compression shrinks, the page keeps the 16-pixel ones and the message boxes' own at every size (the macOS style's
# few stay too, so that its list of pictures is not left empty). FreeType reads the game's font, an OpenType font
# with PostScript outlines, with its CFF driver and modules alone; HarfBuzz leaves out what Qt never calls on it
# (drawing, colour, bitmaps, maths, names, Apple's tables), none of which shapes that font. The platform plug-in
# forgets a touch that the browser cancels (packaging/web/qt/).
qt_inputs=("$root_dir"/packaging/web/qt/*.patch)
freetype_drivers=(tt_driver_class t1_driver_class t1cid_driver_class pfr_driver_class t42_driver_class
    winfnt_driver_class pcf_driver_class bdf_driver_class ft_sdf_renderer_class ft_bitmap_sdf_renderer_class
    ft_svg_renderer_class)
harfbuzz_unused=(AAT DRAW PAINT COLOR BITMAP MATH META STYLE NAME OT_FONT_GLYPH_NAMES BUFFER_SERIALIZE BUFFER_MESSAGE
    BUFFER_VERIFY MMAP OPEN SETLOCALE ERRNO ATEXIT FACE_COLLECT_UNICODES LAYOUT_COLLECT_GLYPHS)
qt_prepare_source() {
    local plugin="$1/src/plugins/platforms/wasm/CMakeLists.txt" widgets="$1/src/widgets/CMakeLists.txt" patch
    local modules="$1/src/3rdparty/freetype/include/freetype/config/ftmodule.h"
    local harfbuzz="$1/src/3rdparty/harfbuzz-ng/src/hb-config.hh"
    sed -i -E "/FT_USE_MODULE\( *[A-Za-z_]+, *($(IFS='|'; echo "${freetype_drivers[*]}")) *\)/d" "$modules"
    grep -q 'cff_driver_class' "$modules" && ! grep -qE "$(IFS='|'; echo "${freetype_drivers[*]}")" "$modules" ||
        fail "FreeType's modules are not as wanted in $modules"
    grep -q '^/\* unused by Qt \*/$' "$harfbuzz" ||
        sed -i "0,/^#define HB_CONFIG_HH/s//&\n\/* unused by Qt *\/\n$(printf '#define HB_NO_%s\\n' "${harfbuzz_unused[@]}")/" \
            "$harfbuzz"
    [ "$(sed -n '/^\/\* unused by Qt \*\/$/,/^$/p' "$harfbuzz" | grep -c '^#define HB_NO_')" -eq "${#harfbuzz_unused[@]}" ] ||
        fail "HarfBuzz's configuration is not as wanted in $harfbuzz"
    sed -i -e '/^set(wasmfonts_resource_files/,/^)/d' -e '/^qt_internal_add_resource(QWasmIntegrationPlugin "wasmfonts"/,/^)/d' \
        "$plugin"
    sed -i -E '/styles\/images\/(warning|critical|information|question)-|macstyle/b; /styles\/images\/.*-(32|64|128)\.png/d' \
        "$widgets"
    ! grep -q wasmfonts "$plugin" || fail "the fonts of Qt's platform plug-in are still in $plugin"
    ! grep -vE 'warning|critical|information|question|macstyle' "$widgets" | grep -qE 'styles/images/.*-(32|64|128)\.png' ||
        fail "large pictures of Qt's styles are still in $widgets"
    for patch in "${qt_inputs[@]}"; do
        # A resumed build finds its source patched already.
        patch -d "$1" -p1 -N -r - --dry-run -s <"$patch" >/dev/null && patch -d "$1" -p1 -N -s <"$patch"
        patch -d "$1" -p1 -R --dry-run -s <"$patch" >/dev/null || fail "$patch does not apply to Qt's source"
    done
}
qt_define wasm 6.8.2 trixie -platform wasm-emscripten -qt-host-path /usr -static -release -optimize-size \
    -gc-binaries -nomake examples -nomake tests -nomake benchmarks "${wasm_features[@]/#/-no-feature-}" \
    -- -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
# The game's own code for size too (bench/RESULTS.md).
game_options=(-DCMAKE_CXX_FLAGS_RELEASE="-Oz -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-Oz")
# Qt's configure wants an emsdk folder; this one points at Debian's emscripten. The Qt build records the path.
emsdk=/root/emsdk

# The characters the page can draw: what the program's sources hold, ASCII and its full-width forms, kana.
cut_font() {
    python3 - "$root_dir/src" "$1" <<'EOF'
import pathlib, subprocess, sys
chars = {c for p in pathlib.Path(sys.argv[1]).rglob("*.cpp") for c in p.read_text(encoding="utf-8") if ord(c) > 127}
ranges = [(0x20, 0x7E), (0x3000, 0x3000), (0x3041, 0x3096), (0x30A1, 0x30FC), (0xFF01, 0xFF9F)]
chars |= {chr(c) for low, high in ranges for c in range(low, high + 1)}
subprocess.run(["pyftsubset", "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", "--font-number=0",
                "--text=" + "".join(sorted(chars)), "--no-hinting", "--output-file=" + sys.argv[2]], check=True)
EOF
}

# Usage: render_icon SIZE FILE: the game's icon as a square PNG, from its one drawing.
render_icon() {
    rsvg-convert --width "$1" --height "$1" "$root_dir/resources/qelo.svg" --output "$2"
}

# Prints the Lighthouse program, installed once into the cache; the phone test scores the page with it.
lighthouse_program() {
    local version=12.2.3
    local dir="$cache_dir/lighthouse-$version"
    if [ ! -x "$dir/node_modules/.bin/lighthouse" ]; then
        echo "Installing Lighthouse $version into $dir" >&2
        rm -rf "$dir.part" && mkdir -p "$dir.part"
        local trusted=/etc/ssl/certs/host-ca-certificates.crt
        [ ! -f "$trusted" ] || export NODE_EXTRA_CA_CERTS="$trusted"
        npm install --prefix "$dir.part" --save-exact --no-audit --no-fund --loglevel=error "lighthouse@$version" >&2
        rm -rf "$dir" && mv "$dir.part" "$dir"
    fi
    echo "$dir/node_modules/.bin/lighthouse"
}

inside() {
    mkdir -p "$emsdk/upstream"
    ln -sfn /usr/share/emscripten "$emsdk/upstream/emscripten"
    echo "EMSCRIPTEN_ROOT = emsdk_path + '/upstream/emscripten'" >"$emsdk/.emscripten"
    export EMSDK="$emsdk"
    qt_ensure
    local out="$root_dir/build-web" build="$root_dir/build-web/build" started=$SECONDS
    build_game "$build"
    echo "Game built for the browser in $((SECONDS - started)) s"
    local site="$out/site"
    rm -rf "$out"/qelo-*-web.zip
    make_site "$build" "$site"
    local wasm
    wasm="$(echo "$site"/assets/qelo.*.wasm)"
    echo "qelo.wasm: $(stat -c %s "$wasm") bytes raw, $(stat -c %s "$wasm.br") brotli, $(stat -c %s "$wasm.gz") gzip"
    python3 -B "$root_dir/tests/web/module_memory.py" "$wasm"
    python3 -B "$root_dir/tests/web/web_crops.py" "$site" "$out/crops"
    # What takes those bytes, by library and by function: the same game linked with its names kept, which changes
    # none of its code (bench/RESULTS.md).
    build_game "$out/names" -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-Oz --profiling-funcs -Wl,-Map=$out/names/qelo.map"
    python3 -B "$root_dir/bench/wasm_ranking.py" "$out/names/src/qelo.wasm" "$out/names/qelo.map" 40 \
        >"$out/wasm-ranking.txt"
    head -n 40 "$out/wasm-ranking.txt"

    local lighthouse
    lighthouse="$(lighthouse_program)"
    started=$SECONDS
    python3 -B "$root_dir/tests/web/web_play.py" chromium "$site" "$out/play/chromium"
    # WebKitGTK has no headless mode: it draws on a virtual X display.
    xvfb-run -a python3 -B "$root_dir/tests/web/web_play.py" webkit "$site" "$out/play/webkit"
    python3 -B "$root_dir/tests/web/web_play.py" firefox "$site" "$out/play/firefox"
    python3 -B "$root_dir/tests/web/web_phone.py" chromium "$site" "$out/phone/chromium" "$lighthouse"
    python3 -B "$root_dir/tests/web/web_phone.py" firefox "$site" "$out/phone/firefox"
    echo "Played in Chromium, WebKitGTK and Firefox in $((SECONDS - started)) s"
    started=$SECONDS
    next_and_again "$build" "$out"
    python3 -B "$root_dir/tests/web/web_load.py" "$site" "$out/site-next" "$out/site-again" "$out/load"
    echo "Loading, offline play and an update checked in $((SECONDS - started)) s"

    local version
    version="$(project_version)"
    (cd "$out" && rm -rf "qelo-$version-web" && cp -r site "qelo-$version-web" &&
        reproducible_zip "qelo-$version-web.zip" "qelo-$version-web" && rm -rf "qelo-$version-web")
}

# Usage: build_game BUILD_FOLDER [CMAKE_OPTION...]: the game for the browser, its font cut down beside it.
build_game() {
    # CMake keeps the Qt a build folder was first configured with: another Qt starts from an empty folder.
    if [ "$(cat "$1/.qt-prefix" 2>/dev/null)" != "$qt_prefix" ]; then
        rm -rf "$1" && mkdir -p "$1" && echo "$qt_prefix" >"$1/.qt-prefix"
    fi
    # Noto Sans CJK JP is under the OFL, whose cut-down copies may keep the font's name.
    cut_font "$1/NotoSansCJKjp-Regular-qelo.otf"
    "$qt_prefix/bin/qt-cmake" -S "$root_dir" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQT_SKIP_AUTO_PLUGIN_INCLUSION=OFF -DQELO_PER_USER_SETTINGS=ON -DBUILD_TESTING=OFF \
        -DQELO_BUILTIN_FONT="$1/NotoSansCJKjp-Regular-qelo.otf" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        "${game_options[@]}" "${@:2}"
    # Qt's resource compiler keeps each file's time, and the font is cut anew for every build: one fixed time, so
    # that the same source builds the same bytes (a SOURCE_DATE_EPOCH, when set, takes its place).
    QT_RCC_SOURCE_DATE_OVERRIDE=1 cmake --build "$1" --parallel
}

# Usage: make_site BUILD_FOLDER SITE_FOLDER: the page's folder from a build (scripts/web_site.py).
make_site() {
    local stage="$1/stage"
    rm -rf "$stage" && mkdir -p "$stage"
    cp "$1/src/qelo.js" "$1/src/qelo.wasm" "$1/src/qtloader.js" "$stage/"
    cp "$root_dir/LICENSE" "$stage/LICENSE.txt"
    { echo "The page draws its text with Noto Sans CJK JP, cut down to the characters qelo can show."
      echo; cat /usr/share/doc/fonts-noto-cjk/copyright; } >"$stage/LICENSE-font.txt"
    # A maskable icon is cut to a circle or a squircle: the drawing stays inside the middle 80 %.
    render_icon 32 "$stage/favicon.png"
    render_icon 192 "$stage/icon-192.png"
    render_icon 512 "$stage/icon-512.png"
    rsvg-convert -w 384 -h 384 --page-width 512 --page-height 512 --left 64 --top 64 -b '#1b3f74' \
        -o "$stage/icon-maskable-512.png" "$root_dir/resources/qelo.svg"
    python3 -B "$root_dir/scripts/web_site.py" "$stage" "$2"
}

# Usage: next_and_again BUILD_FOLDER OUT_FOLDER: from the same build folder, so that only what changes is rebuilt,
# the next version's page (the patch level one up) in OUT/site-next, then this version's again in OUT/site-again
# after its resources were touched: that one must equal OUT/site byte for byte. The next version's qelo.js differs
# from this one's too, as a version with changed code would, so that a page mixing the two builds shows.
next_and_again() {
    local next="$2/next-version.cmake"
    echo "Module['qeloNextVersion'] = true;" >"$2/next-version.js"
    printf '%s\n' 'math(EXPR PROJECT_VERSION_PATCH "${PROJECT_VERSION_PATCH} + 1")' \
        'add_link_options("--pre-js=${CMAKE_CURRENT_LIST_DIR}/next-version.js")' >"$next"
    build_game "$1" -DCMAKE_PROJECT_qelo_INCLUDE="$next"
    make_site "$1" "$2/site-next"
    touch "$root_dir/resources/qelo.svg"
    build_game "$1" -UCMAKE_PROJECT_qelo_INCLUDE
    make_site "$1" "$2/site-again"
    rm "$next" "$2/next-version.js"
}

# Prints the path of the cached root with what the build and the play test need, named by its packages; makes it
# from the minimal root first when there is none.
web_root_tar() {
    local packages=(emscripten g++ cmake ninja-build qt6-base-dev qt6-base-dev-tools xz-utils
        fonts-noto-cjk fonttools brotli zip chromium python3 python3-websocket python3-pil librsvg2-bin nodejs npm patch
        chromium-driver webkit2gtk-driver firefox-esr xvfb xauth python3-selenium)
    local tarball="$cache_dir/debian13-web-$(printf '%s\n' "${packages[@]}" | md5sum | cut -c1-12).tar"
    if [ ! -s "$tarball" ]; then
        echo "Preparing a Debian 13 root for the browser build in $tarball" >&2
        local base
        base="$(mktemp -d "${TMPDIR:-/tmp}/qelo-web-root.XXXXXX")"
        debian13_unpack "$(debian13_root_tar)" "$base"
        debian13_run "$base" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends ${packages[*]} >/dev/null && apt-get clean" >&2
        rm -f "$cache_dir"/debian13-web-*.tar
        tar -C "$base" --exclude=./root/qelo -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
        rm -rf --one-file-system "$base"
    else
        echo "Debian 13 root for the browser build from the cache: $tarball" >&2
    fi
    echo "$tarball"
}

if [ "${1:-}" = --inside ]; then
    inside
    exit
fi
qt_skip_unless_cached "the browser build" "$@"
[ "$(id -u)" -eq 0 ] || fail "needs root (for mmdebstrap, unshare and chroot)"
out="$(realpath -m "${QELO_WEB_DIR:-$root_dir/build-web}")"
own_folder "$out"

work="$(mktemp -d "${TMPDIR:-/tmp}/qelo-web.XXXXXX")"
trap 'rm -rf --one-file-system "$work"' EXIT
web_tar="$(web_root_tar)"
debian13_unpack "$web_tar" "$work/root"
# npm in the root trusts what this machine trusts (the authority of a proxy in between, say).
[ ! -f /etc/ssl/certs/ca-certificates.crt ] ||
    cp /etc/ssl/certs/ca-certificates.crt "$work/root/etc/ssl/certs/host-ca-certificates.crt"
debian13_run "$work/root" "QELO_CACHE_DIR='$cache_dir' bash scripts/web.sh --inside" \
    "$cache_dir:$cache_dir" "$out:/root/qelo/build-web"
echo "Browser build played and passed: the page in $out/site, the zip in $out"
