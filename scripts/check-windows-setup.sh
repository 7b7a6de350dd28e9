#!/bin/sh
# Installs the Windows setup program silently (/S) under Wine in a throwaway prefix and checks
# what a user would see: exactly the files of the portable zip plus the uninstaller in Program
# Files, the Start-menu shortcut, the entry under "Apps & features", an installed tavrinel-cli
# that works and a window that starts. Then uninstalls silently and checks that all of it is gone.
#   scripts/check-windows-setup.sh build-windows/Tavrinel-1.00-win64-setup.exe
set -eu
setup=$(realpath "$1")
zip="${setup%-setup.exe}.zip"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrinel-setup.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko offers, and no menu entries on this machine for the shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() {
    echo "check-windows-setup: $*" >&2
    exit 1
}

folder="$WINEPREFIX/drive_c/Program Files/Tavrinel"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavrinel.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrinel'

wineboot --init >/dev/null 2>&1
wineserver -w

wine "$setup" /S
wineserver -w

# The installed files are the zip's, no more and no fewer, and the uninstaller.
(cd "$work" && cmake -E tar xf "$zip")
expected=$(cd "$work"/Tavrinel-*-win64 && find . -type f | sed 's|^\./||' | sort)
# The licence texts of the Qt and MinGW-w64 libraries travel with them.
for notice in THIRD-PARTY.txt licenses/LGPL-3.txt licenses/GPL-3.txt licenses/Qt-copyright.txt \
    licenses/MinGW-w64-copyright.txt licenses/GCC-copyright.txt; do
    printf '%s\n' "$expected" | grep -qx "$notice" || fail "the zip lacks $notice"
done
installed=$(cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||' | grep -vx uninstall.exe | sort) ||
    fail "nothing installed in $folder"
[ "$installed" = "$expected" ] || fail "installed files differ from the zip:
$(printf '%s\n' "$expected" >"$work/expected"; printf '%s\n' "$installed" | diff "$work/expected" - || true)"
[ -f "$folder/uninstall.exe" ] || fail "no uninstall.exe"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
wine reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "no Apps & features entry"
wine uninstaller --list 2>/dev/null | grep -q 'Tavrinel 1.00' || fail "Apps & features does not list Tavrinel"

result=$(printf 'Hello world. This is a test. End.' |
    wine "C:\\Program Files\\Tavrinel\\tavrinel-cli.exe" --size 10 --complete word)
[ "$result" = '<p>Hello world.</p><p> This is a </p><p>test. End.</p>' ] ||
    fail "the installed tavrinel-cli printed: $result"
# The installed window starts from its folder alone and is still open 10 s later: Qt's DLLs and
# its platform plugin were found there (without the plugin it reports so and ends, or on Windows
# shows a box).
xvfb-run -a sh -c '(WINEQT_FORCE_STDERR_LOGGING=1 wine "$1"; echo "ended $?") >"$0" 2>&1 &
    sleep 10; grep -q "^ended" "$0" && echo "ended before 10 s" >>"$0"; wineserver -k' \
    "$work/window.log" "$folder/tavrinel.exe" || true
! grep -q -e 'platform plugin' -e 'before 10 s' "$work/window.log" ||
    fail "the window does not start: $(cat "$work/window.log")"
echo "installed: $(echo "$installed" | wc -l) files, shortcut, Apps & features entry; tavrinel-cli and tavrinel start"

wine "C:\\Program Files\\Tavrinel\\uninstall.exe" /S
wineserver -w
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find . | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
! wine reg query "$key" >/dev/null 2>&1 || fail "the Apps & features entry is still there"
echo "uninstalled: folder, shortcut and Apps & features entry removed"
