#!/bin/sh
# Makes docs/screenshot-windows.png: the window of the Windows build under Wine in Xvfb, with the
# title bar Wine draws itself when there is no window manager. Run `make windows` first.
set -eu
cd "$(dirname "$0")/.."
cmake --build --preset windows -j 2 --target tavrinel-screenshot
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tavrinel-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT INT TERM
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    sh scripts/wine-prefix.sh &&
    wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f >/dev/null 2>&1 &&
    wineserver -w &&
    QT_QPA_PLATFORM=windows build-windows/wine-run.sh build-windows/tests/tavrinel-screenshot.exe \
        "$(pwd)/docs/screenshot-windows.png"'
echo "wrote docs/screenshot-windows.png"
