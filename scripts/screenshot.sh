#!/bin/sh
# Makes docs/screenshot.png: the window with a sample article and its counts, under Xvfb.
set -eu
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev -j 2 --target tavrinel-screenshot
xvfb-run -a -s "-screen 0 1024x768x24" \
    env QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 build/tests/tavrinel-screenshot docs/screenshot.png
echo "wrote docs/screenshot.png"
