#!/bin/sh
# Times pasting a 10 MB article into the window and leaving the box (which counts it), the way a
# user does it, under Xvfb; `time-paste.sh one-line` with the same text as one line, without line
# breaks. Needs xdotool and xclip (developer tools, not part of the set-up):
#     apt-get install -y --no-install-recommends xdotool xclip
# The end of each step is seen from outside: the window selects all text last, and answers for
# the X primary selection only once it has worked through every key before it.
set -eu
cd "$(dirname "$0")/.."
case "${1:-lines}" in
lines) joint='\r\n' ;;
one-line) joint='' ;;
*) echo "usage: $0 [lines|one-line]" >&2; exit 2 ;;
esac
for tool in xdotool xclip Xvfb; do
    command -v $tool >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
[ -x build/bin/tavrinel ] || { echo "build first: make build" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
display=:97
Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
sleep 1

# About ten million characters of mixed Chinese and Latin lines joined by CR LF, or by nothing.
python3 - "$work/article.txt" "$joint" <<'PY'
import sys
line = "Tavrinel 把文章切成网页段落. 每一段都包在标签之中! Is that all? Yes; it is. 中文的句号。不算断句，全角标点也一样。" * 6
parts, size = [], 0
while size < 10_000_000:
    parts.append(line); size += len(line) + 2
joint = sys.argv[2].replace("\\r", "\r").replace("\\n", "\n")
open(sys.argv[1], "w", encoding="utf-8", newline="").write(joint.join(parts))
PY
echo "article: $(wc -c < "$work/article.txt") bytes of UTF-8"

build/bin/tavrinel >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --name '^Zentrel$' | head -n 1)
xdotool windowfocus --sync "$window"
sleep 1

now() { date +%s.%N; }
# Waits until the window owns the primary selection (Qt offers text/plain; xclip does not).
wait_for_window_selection() {
    until xclip -o -selection primary -t TARGETS 2>/dev/null | grep -q text/plain; do
        sleep 0.005
    done
}
xclip -selection clipboard -i "$work/article.txt" 2>/dev/null

step() { # label, keys...
    label=$1; shift
    printf x | xclip -selection primary -i 2>/dev/null
    start=$(now)
    xdotool key --delay 0 "$@"
    wait_for_window_selection
    printf "%s: %.2f s\n" "$label" "$(echo "$(now) - $start" | bc)"
}
step "paste" ctrl+v ctrl+a
xdotool key ctrl+End
step "leave the box (count), come back" Tab shift+Tab ctrl+a
xdotool key ctrl+a Delete
step "paste, leave the box (count), come back" ctrl+v Tab shift+Tab ctrl+a
