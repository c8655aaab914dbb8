#!/usr/bin/env bash
# Runs the README's test command in a fresh Debian 13 (trixie) root: bootstraps a minimal root from Debian's
# archive once (cached as a tarball), unpacks a new copy of it for every run, copies this tree in and runs
# scripts/test.sh there, in private mount and PID namespaces so that nothing it mounts or starts outlives it.
# --out DIR: installs the Debian package that the suite made there with apt, and copies it into DIR. Needs root.
# QELO_CACHE_DIR chooses the cache (default ~/.cache/qelo); QELO_DEBIAN_MIRROR an archive other than the
# one this machine's apt names.
# Sourced (by web.sh), it only defines the functions below.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

# Prints the path of the cached minimal root's tarball, bootstrapping it first when there is none.
debian13_root_tar() {
    local root_tar="$cache_dir/debian13-root.tar"
    if [ ! -s "$root_tar" ]; then
        install_missing mmdebstrap debian-archive-keyring >&2
        local archive
        archive="$(debian_archive)"
        mkdir -p "$cache_dir"
        echo "Bootstrapping Debian 13 into $root_tar" >&2
        rm -f "$root_tar.part"
        mmdebstrap --variant=minbase --format=tar --include=ca-certificates --components=main \
            trixie "$root_tar.part" "$archive" "deb $archive trixie-updates main" >&2
        mv "$root_tar.part" "$root_tar"
    else
        echo "Debian 13 root from the cache: $root_tar" >&2
    fi
    echo "$root_tar"
}

# Usage: debian13_unpack TARBALL ROOT: a new root from the tarball, with this tree at /root/qelo as a fresh
# clone would have it (no build folders).
debian13_unpack() {
    mkdir -p "$2"
    tar -xf "$1" -C "$2"
    # Readable by apt's own user whatever the umask.
    install -m 644 /etc/resolv.conf "$2/etc/resolv.conf"
    # Services that packages would start belong to the host, not to this root.
    printf '#!/bin/sh\nexit 101\n' >"$2/usr/sbin/policy-rc.d"
    chmod +x "$2/usr/sbin/policy-rc.d"
    rm -rf "$2/root/qelo" && mkdir -p "$2/root/qelo"
    git -C "$root_dir" ls-files -z --cached --others --exclude-standard |
        tar -C "$root_dir" --null --ignore-failed-read -T - -cf - | tar -xf - -C "$2/root/qelo"
}

# Usage: debian13_run ROOT COMMAND [HOST_FOLDER:ROOT_FOLDER...]: runs the shell command in /root/qelo inside the
# root, with each host folder mounted at its place there; nothing it mounts or starts outlives it. Of the caller's
# settings only SOURCE_DATE_EPOCH (scripts/release.sh sets it) goes inside: the time the files made there carry.
debian13_run() {
    unshare --mount --pid --fork --kill-child --propagation private /bin/bash -euo pipefail -c '
        root="$1" command="$2"
        shift 2
        mount --rbind /dev "$root/dev"
        mount -t proc proc "$root/proc"
        mount --rbind /sys "$root/sys"
        mount -t tmpfs tmpfs "$root/tmp"
        for binding in "$@"; do
            mkdir -p "${binding%%:*}" "$root/${binding#*:}"
            mount --bind "${binding%%:*}" "$root/${binding#*:}"
        done
        exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
            TERM=dumb ${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH} /bin/bash -c "cd /root/qelo && $command"
    ' debian13 "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "debian13.sh: needs root (for mmdebstrap, unshare and chroot)" >&2
        exit 1
    fi
    root_tar="$(debian13_root_tar)"
    work="$(mktemp -d "${TMPDIR:-/tmp}/qelo-debian13.XXXXXX")"
    trap 'rm -rf --one-file-system "$work"' EXIT
    debian13_unpack "$root_tar" "$work/root"
    # The suite builds, lints and plays the Debian package; --out DIR installs it with apt and keeps it, for
    # scripts/release.sh.
    command="bash scripts/test.sh" folders=()
    if [ "${1:-}" = --out ]; then
        folders+=("$(realpath -m "$2"):/root/out")
        command+=" && apt-get install -y -qq ./build/package/qelo_*.deb && cp build/package/qelo_*.deb /root/out/"
    fi
    debian13_run "$work/root" "$command" "${folders[@]}"
fi
