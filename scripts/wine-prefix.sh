#!/bin/sh
# Makes the Wine prefix $WINEPREFIX ready for the Windows programs: created, and with Wine's own
# fonts (Tahoma, Marlett) in its Fonts folder, where Debian's Wine does not find them otherwise.
# Without Tahoma, Qt's default font "MS Shell Dlg" falls back to whatever family sorts first.
set -eu
: "${WINEPREFIX:?set WINEPREFIX}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
wineboot --init >/dev/null 2>&1
wineserver -w
if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
