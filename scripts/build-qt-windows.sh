#!/bin/sh
# Builds Qt for 64-bit Windows (Core, Gui, Widgets, Test and the windows platform plugin) from
# Debian's qt6-base source package, with the MinGW-w64 cross compiler, once. The result is cached
# outside the build tree, in a folder named after the Qt version and a hash of the options below,
# and reused while both stay the same. Prints the prefix (the folder holding bin/, lib/, plugins/)
# on its last line.
#
#   TAVRINEL_CACHE   cache folder (default: $XDG_CACHE_HOME/tavrinel or ~/.cache/tavrinel)
#   JOBS             parallel compile jobs (default 2)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$here/cmake/mingw-w64-x86_64.cmake"
cache="${TAVRINEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavrinel}"
jobs="${JOBS:-2}"

# The host tools (moc, rcc, uic) are Debian's; the Windows libraries must be the same version.
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
[ -n "$qt_version" ] || { echo "qt6-base-dev-tools is not installed" >&2; exit 1; }

# Shared libraries; third-party libraries bundled (nothing to find on the build machine); the
# modules the programs do not use switched off. OpenGL needs INPUT_opengl as well, or the platform
# plugin still wants dynamic OpenGL; without Direct2D, DirectWrite 3 must go too; Debian's source
# lacks the Wintab headers that tablet events need.
options="
-DCMAKE_BUILD_TYPE=Release
-DBUILD_SHARED_LIBS=ON
-DQT_BUILD_EXAMPLES=OFF
-DQT_BUILD_TESTS=OFF
-DFEATURE_sql=OFF
-DFEATURE_network=OFF
-DFEATURE_dbus=OFF
-DFEATURE_opengl=OFF
-DINPUT_opengl=no
-DFEATURE_printsupport=OFF
-DFEATURE_icu=OFF
-DFEATURE_vulkan=OFF
-DFEATURE_direct2d=OFF
-DFEATURE_directwrite3=OFF
-DFEATURE_tabletevent=OFF
-DFEATURE_system_zlib=OFF
-DFEATURE_system_pcre2=OFF
-DFEATURE_system_harfbuzz=OFF
-DFEATURE_system_freetype=OFF
-DFEATURE_system_doubleconversion=OFF
"
key=$(printf '%s\n' "$qt_version" "$options" "$(cat "$toolchain")" | sha256sum | cut -c1-12)
upstream=${qt_version%%+*}
prefix="$cache/qt-$upstream-mingw64-$key"
stamp="$prefix/.complete"

if [ -f "$stamp" ]; then
    echo "Qt for Windows $qt_version: cached in $prefix" >&2
    echo "$prefix"
    exit 0
fi

work="$cache/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
started=$(date +%s)

echo "Fetching the source of qt6-base $qt_version into $work" >&2
(cd "$work" && apt-get source -q "qt6-base=$qt_version" >&2)
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -d "$source_dir" ] || { echo "apt-get source gave no qt6-base folder" >&2; exit 1; }

echo "Configuring Qt for Windows (log: $work/configure.log)" >&2
# shellcheck disable=SC2086 # the options are one per word on purpose
cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    $options >"$work/configure.log" 2>&1 ||
    { tail -n 40 "$work/configure.log" >&2; exit 1; }

echo "Building Qt for Windows with $jobs jobs (log: $work/build.log); this takes about 20 minutes" >&2
cmake --build "$work/build" --parallel "$jobs" >"$work/build.log" 2>&1 ||
    { grep -m 20 -B 2 -A 10 'error' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 ||
    { tail -n 40 "$work/install.log" >&2; exit 1; }

printf 'qt6-base %s\n%s\n' "$qt_version" "$options" >"$stamp"
rm -rf "$work"
echo "Qt for Windows built in $(($(date +%s) - started)) s into $prefix" >&2
echo "$prefix"
