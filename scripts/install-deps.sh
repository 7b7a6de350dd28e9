#!/bin/sh
# Installs the Debian packages listed in the given files that are not installed yet. As root it
# runs apt-get itself; otherwise it prints the command to run and fails.
set -eu

missing=""
for list in "$@"; do
    for pkg in $(grep -v '^#' "$list"); do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing="$missing $pkg"
        fi
    done
done

[ -z "$missing" ] && exit 0

command="apt-get install -y --no-install-recommends$missing"
if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing:$missing" >&2
    echo "Install them as root with:" >&2
    echo "    apt-get update && $command" >&2
    exit 1
fi

echo "Installing missing Debian packages:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update
$command
