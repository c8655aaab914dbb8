#!/usr/bin/env bash
# Sourced by windows.sh and web.sh: Qt built once from Debian's qt6-base source into the cache, in a folder named
# by everything that shapes it (version, configure options, the files it reads, how its source is prepared), so
# that a changed option builds a new Qt instead of reusing a stale one. An interrupted build goes on where it
# stopped.

# Usage: qt_define NAME VERSION SUITE OPTION... [-- CMAKE_OPTION...]: the Qt that qt_ensure builds from SUITE's
# qt6-base source. Sets qt_prefix and qt_built. Before calling, a script may set qt_inputs (files whose contents
# shape the build, a toolchain or a patch: their paths do not count) and define qt_prepare_source SOURCE_FOLDER.
qt_define() {
    qt_name="$1" qt_version="$2" qt_suite="$3"
    shift 3
    qt_options=() qt_cmake_options=()
    while (($#)) && [ "$1" != -- ]; do qt_options+=("$1"); shift; done
    (($#)) && shift
    qt_cmake_options=("$@")
    local key
    key="$({ printf '%s\n' "$qt_suite" "${qt_options[@]}" "${qt_cmake_options[@]}" | sed "s|$root_dir|<source>|g"
        declare -f qt_prepare_source || true
        cat "${qt_inputs[@]}" </dev/null; } | md5sum | cut -c1-12)"
    qt_prefix="$cache_dir/qt-$qt_version-$qt_name-$key"
    qt_built="$qt_prefix/lib/cmake/Qt6/Qt6Config.cmake"
}

# Usage: qt_skip_unless_cached WHAT: with --if-cached among the script's arguments and no such Qt yet, says that
# WHAT is skipped and ends the script successfully.
qt_skip_unless_cached() {
    local what="$1" argument
    shift
    for argument in "$@"; do
        if [ "$argument" = --if-cached ] && [ ! -f "$qt_built" ]; then
            echo "SKIPPED $what: no Qt in $qt_prefix ($(basename "$0") without --if-cached builds it once)"
            exit 0
        fi
    done
}

# Builds the Qt that qt_define named, unless the cache has it.
qt_ensure() {
    if [ -f "$qt_built" ]; then
        echo "Qt $qt_name from the cache: $qt_prefix"
        return
    fi
    local work="$cache_dir/qt-$qt_name-work" started=$SECONDS
    echo "Building Qt $qt_version ($qt_name) into $qt_prefix, once: 15 to 35 minutes on two cores"
    # An earlier attempt's work goes on only when it was for the same source.
    if [ "$(cat "$work/version" 2>/dev/null)" != "$qt_suite $qt_version" ] || [ ! -x "$work/src/configure" ]; then
        qt_fetch_source "$work"
    fi
    if declare -F qt_prepare_source >/dev/null; then qt_prepare_source "$work/src"; fi
    # Features an earlier attempt chose stay in CMake's cache, and moc does not look again at sources a changed
    # feature adds: only the options given now may count.
    if [ -f "$work/build/CMakeCache.txt" ]; then
        awk '/^\/\//{help = help $0 "\n"; next} /^FEATURE_/{help = ""; next} {printf "%s", help; help = ""; print}' \
            "$work/build/CMakeCache.txt" >"$work/cache" && mv "$work/cache" "$work/build/CMakeCache.txt"
        find "$work/build" -path '*_autogen/timestamp' -delete
    fi
    (cd "$work/build" && "$work/src/configure" -prefix "$qt_prefix" "${qt_options[@]}" -- -G Ninja \
        "${qt_cmake_options[@]}")
    nice cmake --build "$work/build" --parallel
    cmake --install "$work/build"
    rm -rf "$work"
    echo "Qt $qt_name built in $((SECONDS - started)) s"
}

# Usage: qt_fetch_source WORK: the suite's qt6-base source of the wanted version unpacked into WORK/src, with an
# empty WORK/build. A private source list, so that the system's apt set-up stays as it is.
qt_fetch_source() {
    local work="$1" archive
    archive="$(debian_archive)"
    rm -rf "$work" && mkdir -p "$work/apt/lists/partial" "$work/src" "$work/build"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive $qt_suite main" \
        >"$work/apt/sources.list"
    local apt=(apt-get -qq -o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$work/apt/lists")
    "${apt[@]}" update
    # Debian's revision moves with its updates (apt cannot match a version by a pattern); the upstream one must not.
    (cd "$work" && "${apt[@]}" source --download-only qt6-base)
    local orig="$work/qt6-base_$qt_version+dfsg.orig.tar.xz"
    [ -f "$orig" ] || fail "Debian $qt_suite no longer has Qt $qt_version's source: $(cd "$work" && echo ./*.orig.tar.*)"
    tar -xf "$orig" -C "$work/src" --strip-components=1
    rm -f "$work"/qt6-base_*
    echo "$qt_suite $qt_version" >"$work/version"
}
