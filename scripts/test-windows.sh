#!/bin/sh
# make test-windows: the cross-built test programs under Wine (ctest's emulator is
# build-windows/wine-run.sh), in a Wine prefix of their own in a temporary folder and in Xvfb,
# where the window's smoke test shows the real window.
set -eu
cd "$(dirname "$0")/.."

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tavrinel-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT INT TERM

started=$(date +%s)
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    sh scripts/wine-prefix.sh &&
    echo "Wine prefix $WINEPREFIX made in $(( $(date +%s) - '"$started"' )) s" &&
    ctest --preset windows -j 2'
echo "Windows tests took $(( $(date +%s) - started )) s"
