#!/bin/sh
# Checks the Debian package with Debian's own checker (no error, no warning) and its software-centre
# entry with the AppStream validator, installs it the way a user does (apt-get install ./FILE.deb),
# runs the installed tavrinel-cli, and removes the package again. Needs root; used by CI after
# `make package`.
set -eu

if [ "$#" -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PACKAGE.deb (exactly one)" >&2
    exit 2
fi
deb=$(realpath "$1")
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
cli=/usr/bin/tavrinel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DEBIAN_FRONTEND=noninteractive

check() { # what, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'package check failed: %s\n  expected: %s\n  got:      %s\n' "$1" "$2" "$3" >&2
        exit 1
    fi
    echo "ok: $1"
}

lintian --fail-on error,warning "$deb"
echo "ok: lintian reports no error and no warning"
dpkg-deb -x "$deb" "$work/unpacked"
metainfo=$(find "$work/unpacked/usr/share/metainfo" -name '*.metainfo.xml' 2>/dev/null)
check "one software-centre entry" "1" "$(printf '%s' "$metainfo" | grep -c .)"
appstreamcli validate --no-net "$metainfo"
check "changelog of this version" "tavrinel ($version)" \
    "$(gzip -dc "$work/unpacked/usr/share/doc/tavrinel/changelog.Debian.gz" | head -n 1 | cut -d' ' -f1-2)"

if dpkg-query -W -f='${Status}' tavrinel 2>/dev/null | grep -q 'install ok installed'; then
    apt-get purge -y tavrinel
fi
apt-get install -y "$deb"

check "installed version" "tavrinel-cli $upstream" "$("$cli" --version)"
printf 'Hello world. This is a test. End.' > "$work/article.txt"
"$cli" --size 10 --complete word -o "$work/paragraphs.txt" "$work/article.txt"
check "one article converted" "<p>Hello world.</p><p> This is a </p><p>test. End.</p>" \
    "$(cat "$work/paragraphs.txt")"
mkdir "$work/out"
printf 'One. Two. Three.' > "$work/second.md"
"$cli" --by sentences --size 2 --out-dir "$work/out" "$work/article.txt" "$work/second.md"
check "batch converted" "<p>One. Two.</p><p> Three.</p>" "$(cat "$work/out/second.txt")"
check "manual page installed" "/usr/share/man/man1/tavrinel-cli.1.gz" \
    "$(dpkg -L tavrinel | grep 'man1/tavrinel-cli')"

apt-get purge -y tavrinel
check "removed cleanly" "absent" "$([ -e "$cli" ] && echo present || echo absent)"
