#!/bin/bash
# Runs a Windows console program of the x86_64 or the i686 build under Wine, in a Wine
# prefix of its own that is removed afterwards, and exits with the program's exit code.
#   run_under_wine.sh PROGRAM.exe [ARGUMENTS...]
# A 64-bit program runs under the host's wine64; a 32-bit one under the 32-bit Wine of the
# i386 root that TVFTP_WINE32_ROOT names (made by i386_root.sh), entered with bubblewrap,
# with the host's folders outside the system ones (the build, the sources, /tmp, the X
# display's socket) at the same paths, so that paths on drive Z: mean the same files.
# TVFTP_WINEPREFIX names a prefix to use (and keep) instead, which saves the prefix set-up
# of some seconds when the programs run often. TVFTP_WINE_TIMEOUT bounds the whole run
# (seconds, default 120): a first start that sets up the prefix takes ten to twenty.
set -euo pipefail

program=$(readlink -f "$1")
shift

# The machine type in the program's PE header: 014c is i386, 8664 x86-64.
pe_machine() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}

if [ "$(pe_machine "$program")" = 014c ]; then
    # Exit 77 (a skip to ctest) with the reason when there is no root to run it in.
    root=${TVFTP_WINE32_ROOT:-}
    if [ -z "$root" ] || [ ! -f "$root/.ready" ]; then
        echo "skipped: 32-bit Windows programs cannot run here:" \
            "$(cat "$root/.unusable" 2>/dev/null || echo "no i386 root (tests/wine/i386_root.sh)")" >&2
        exit 77
    fi
    inside=(bwrap --bind "$root" / --proc /proc --dev /dev)
    for folder in /*; do
        case $folder in
        /bin | /boot | /dev | /etc | /lib* | /proc | /run | /sbin | /sys | /usr | /var) ;;
        *) [ -d "$folder" ] && [ ! -L "$folder" ] && inside+=(--bind "$folder" "$folder") ;;
        esac
    done
    inside+=(--chdir "$(dirname "$program")" --)
    wine=("${inside[@]}" /usr/lib/wine/wine)
    wineserver=("${inside[@]}" /usr/lib/wine/wineserver)
else
    wine=/usr/lib/wine/wine64
    [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
    wineserver=/usr/lib/wine/wineserver64
    [ -x "$wineserver" ] || wineserver=$(command -v wineserver)
fi

export WINEPREFIX=${TVFTP_WINEPREFIX:-$(mktemp -d "${TMPDIR:-/tmp}/tvftp-wine.XXXXXX")}
export WINEDEBUG=-all
# No Mono or Gecko: the prefix set-up would otherwise offer to fetch them.
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    # The prefix's wineserver outlives the program for a few seconds; end it now, so that
    # nothing holds the test's output open or the prefix's files.
    "${wineserver[@]}" -k >/dev/null 2>&1 || true
    "${wineserver[@]}" -w >/dev/null 2>&1 || true
    [ -n "${TVFTP_WINEPREFIX:-}" ] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

limit=${TVFTP_WINE_TIMEOUT:-120}
cd "$(dirname "$program")"
status=0
timeout --kill-after=10 "$limit" "${wine[@]}" "$program" "$@" </dev/null || status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
    echo "$(basename "$program"): no result within $limit seconds under Wine" >&2
fi
exit "$status"
