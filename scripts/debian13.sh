#!/usr/bin/env bash
# Runs the README's test command in a fresh Debian 13 (trixie) root: bootstraps a minimal root from Debian's
# archive once (cached as a tarball), unpacks a new copy of it for every run, copies this tree in and runs
# scripts/test.sh there, in private mount and PID namespaces so that nothing it mounts or starts outlives it.
# Needs root. QELO_CACHE_DIR chooses the cache (default ~/.cache/qelo); QELO_DEBIAN_MIRROR another mirror.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

if [ "$(id -u)" -ne 0 ]; then
    echo "debian13.sh: needs root (for mmdebstrap, unshare and chroot)" >&2
    exit 1
fi
install_missing mmdebstrap debian-archive-keyring

suite=trixie
mirror="${QELO_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
root_tar="$cache_dir/debian13-root.tar"
mkdir -p "$cache_dir"

if [ ! -s "$root_tar" ]; then
    echo "Bootstrapping Debian 13 into $root_tar"
    rm -f "$root_tar.part"
    mmdebstrap --variant=minbase --format=tar --include=ca-certificates --components=main \
        "$suite" "$root_tar.part" "$mirror" "deb $mirror $suite-updates main"
    mv "$root_tar.part" "$root_tar"
else
    echo "Debian 13 root from the cache: $root_tar"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/qelo-debian13.XXXXXX")"
cleanup() { rm -rf --one-file-system "$work"; }
trap cleanup EXIT
root="$work/root"
mkdir -p "$root"
tar -xf "$root_tar" -C "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Services that packages would start belong to the host, not to this root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"

# The tree as it stands, without build folders, at the same place a fresh clone would have it.
mkdir -p "$root/root/qelo"
git -C "$root_dir" ls-files -z --cached --others --exclude-standard |
    tar -C "$root_dir" --null --ignore-failed-read -T - -cf - | tar -xf - -C "$root/root/qelo"

unshare --mount --pid --fork --kill-child --propagation private /bin/bash -euo pipefail -c '
    root="$1"
    mount --rbind /dev "$root/dev"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb \
        /bin/bash -c "cd /root/qelo && bash scripts/test.sh"
' debian13 "$root"
