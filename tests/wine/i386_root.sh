#!/bin/bash
# Makes (once) the 32-bit Debian root in which the i686 Windows build runs under 32-bit
# Wine: debootstrap's minimal i386 bookworm with Debian's wine32 inside it, entered through
# bubblewrap by run_under_wine.sh. The host's own i386 package index is not used, so the
# host needs no second architecture.
#   i386_root.sh DIR
# Exits 0 when DIR is ready (the file DIR/.ready exists); otherwise writes the reason to
# DIR/.unusable, prints it and exits 3, so that the i686 scenarios are skipped with that
# reason (a machine that cannot execute 32-bit code, no root rights, no package mirror).
# Needs root, debootstrap and bubblewrap; a ready DIR is reused as it is.
set -uo pipefail

root=${1:?usage: i386_root.sh DIR}
mirror=${TVFTP_DEBIAN_MIRROR:-http://deb.debian.org/debian}

unusable() {
    mkdir -p "$root"
    echo "$*" >"$root/.unusable"
    echo "i386 root $root: $*" >&2
    exit 3
}

[ -f "$root/.ready" ] && exit 0
rm -f "$root/.unusable"
[ "$(id -u)" = 0 ] || unusable "making the 32-bit root needs root rights"
command -v debootstrap >/dev/null || unusable "debootstrap is not installed"
command -v bwrap >/dev/null || unusable "bubblewrap is not installed"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if [ ! -x "$root/bin/true" ]; then
    echo "== making the 32-bit Debian root $root (debootstrap, about a minute)"
    rm -rf "$root"
    debootstrap --arch=i386 --variant=minbase bookworm "$root" "$mirror" >"$log" 2>&1 ||
        { tail -5 "$log" >&2; unusable "debootstrap of an i386 root failed"; }
fi
# The test of the machine itself: a 32-bit program of the root runs.
bwrap --bind "$root" / --proc /proc --dev /dev /bin/true 2>"$log" ||
    { cat "$log" >&2; unusable "this machine does not run 32-bit programs (or bubblewrap is refused)"; }

if [ ! -x "$root/usr/lib/wine/wine" ]; then
    echo "== installing wine32 in $root"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # chroot, not bubblewrap: apt hands its downloads to a user of its own, which needs
    # the rights bubblewrap drops.
    DEBIAN_FRONTEND=noninteractive chroot "$root" sh -c \
        'apt-get update -q && apt-get install -y -q --no-install-recommends wine wine32 && apt-get clean' \
        >"$log" 2>&1 || { tail -5 "$log" >&2; unusable "installing wine32 in the i386 root failed"; }
fi
touch "$root/.ready"
