#!/bin/bash
# Runs a Windows console program of the x86_64 build under Wine, in a Wine prefix of its
# own that is removed afterwards, and exits with the program's exit code.
#   run_under_wine.sh PROGRAM.exe [ARGUMENTS...]
# TVFTP_WINEPREFIX names a prefix to use (and keep) instead, which saves the prefix set-up
# of some seconds when the programs run often. TVFTP_WINE_TIMEOUT bounds the whole run
# (seconds, default 120): a first start that sets up the prefix takes ten to twenty.
set -euo pipefail

program=$(readlink -f "$1")
shift
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

if [ -n "${TVFTP_WINEPREFIX:-}" ]; then
    export WINEPREFIX=$TVFTP_WINEPREFIX
    keep_prefix=1
else
    export WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tvftp-wine.XXXXXX")
    keep_prefix=0
fi
export WINEDEBUG=-all
# No Mono or Gecko: the prefix set-up would otherwise offer to fetch them.
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    # The prefix's wineserver outlives the program for a few seconds; end it now, so that
    # nothing holds the test's output open or the prefix's files.
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    if [ "$keep_prefix" = 0 ]; then rm -rf "$WINEPREFIX"; fi
}
trap cleanup EXIT

limit=${TVFTP_WINE_TIMEOUT:-120}
cd "$(dirname "$program")"
status=0
timeout --kill-after=10 "$limit" "$wine" "$program" "$@" </dev/null || status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
    echo "$(basename "$program"): no result within $limit seconds under Wine" >&2
fi
exit "$status"
