#!/bin/sh
# Makes `apt-get source` work for Debian 12's own packages: adds deb-src entries for the
# bookworm repositories apt already uses for binary packages (the same mirrors, suites and
# components), in a file of our own, and updates the package lists. Does nothing when the sources
# are already known. No host is written in here: the entries follow the machine's own `deb` ones.
set -eu

[ -n "$(apt-cache showsrc qt6-base 2>/dev/null)" ] && exit 0

list=/etc/apt/sources.list.d/tavrinel-deb-src.sources

# One stanza per repository, from the index targets apt has for binary packages of bookworm.
stanzas=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' |
    awk '$2 ~ /^bookworm/ { suites[$1] = suites[$1] " " $2; parts[$1] = parts[$1] " " $3 }
         END { for (uri in suites) {
                   n = split(suites[uri], s, " "); delete seen; list = ""
                   for (i = 1; i <= n; i++) if (!seen[s[i]]++) list = list " " s[i]
                   n = split(parts[uri], c, " "); delete seen; comps = ""
                   for (i = 1; i <= n; i++) if (!seen[c[i]]++) comps = comps " " c[i]
                   printf "Types: deb-src\nURIs: %s\nSuites:%s\nComponents:%s\n", uri, list, comps
                   printf "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\n"
               } }')
if [ -z "$stanzas" ]; then
    echo "apt has no 'deb' entries for Debian 12 (bookworm) to take source entries from." >&2
    echo "Add the Debian 12 repositories of your mirror to apt's sources, run apt-get update," >&2
    echo "and try again." >&2
    exit 1
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "apt has no source packages (deb-src) for Debian 12. As root, write $list:" >&2
    printf '%s\n' "$stanzas" | sed 's/^/    /' >&2
    echo "and run apt-get update." >&2
    exit 1
fi

printf '%s\n' "$stanzas" >"$list.new"
mv "$list.new" "$list"
echo "Added Debian source package entries in $list" >&2
apt-get update -q >&2
