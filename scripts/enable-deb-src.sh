#!/bin/sh
# Makes `apt-get source` work for Debian 12's own packages: adds deb-src entries for the
# bookworm repositories apt already uses for binary packages (same mirrors, same suites), in a
# file of our own, and updates the package lists. Does nothing when the sources are already known.
set -eu

[ -n "$(apt-cache showsrc qt6-base 2>/dev/null)" ] && exit 0

list=/etc/apt/sources.list.d/tavrinel-deb-src.sources
if [ "$(id -u)" -ne 0 ]; then
    echo "apt has no source packages (deb-src) for Debian 12. As root, add $list:" >&2
    echo "    Types: deb-src" >&2
    echo "    URIs: http://deb.debian.org/debian" >&2
    echo "    Suites: bookworm bookworm-updates" >&2
    echo "    Components: main" >&2
    echo "    Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >&2
    echo "and run apt-get update." >&2
    exit 1
fi

# One stanza per repository, from the index targets apt has for binary packages of bookworm.
apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' |
    awk '$2 ~ /^bookworm/ { suites[$1] = suites[$1] " " $2; parts[$1] = parts[$1] " " $3 }
         END { for (uri in suites) {
                   n = split(suites[uri], s, " "); delete seen; list = ""
                   for (i = 1; i <= n; i++) if (!seen[s[i]]++) list = list " " s[i]
                   n = split(parts[uri], c, " "); delete seen; comps = ""
                   for (i = 1; i <= n; i++) if (!seen[c[i]]++) comps = comps " " c[i]
                   printf "Types: deb-src\nURIs: %s\nSuites:%s\nComponents:%s\n", uri, list, comps
                   printf "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\n"
               } }' >"$list.new"
if [ ! -s "$list.new" ]; then
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' \
        'Suites: bookworm bookworm-updates' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' '' \
        'Types: deb-src' 'URIs: http://deb.debian.org/debian-security' \
        'Suites: bookworm-security' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$list.new"
fi
mv "$list.new" "$list"
echo "Added Debian source package entries in $list" >&2
apt-get update -q >&2
