#!/bin/sh
# The real window on a real X display, driven like a person with xdotool, whose keys the X focus
# routes as a keyboard's: the keyboard-only job, Escape and Space in between, a held Return and the
# mouse-only job. Each saved file must equal tavrinel-cli's output for the same article.
#
#   window-on-display.sh TAVRINEL TAVRINEL_CLI none|openbox
#
# Exits 77 (skipped) where Xvfb, xdotool, xclip or the window manager are missing or cannot start.
set -u
window=$(realpath "$1") cli=$(realpath "$2") manager=$3

skip() { echo "SKIP: $*"; exit 77; }
for tool in Xvfb xdotool xclip; do
    command -v $tool >/dev/null || skip "$tool is not installed"
done
[ "$manager" = none ] || command -v "$manager" >/dev/null || skip "$manager is not installed"

tmp=$(mktemp -d)
work=$tmp/work
mkdir -p "$work" "$tmp/home"
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids="$!"
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || skip "Xvfb did not start: $(cat "$tmp/xvfb.log")"
export DISPLAY=":$(cat "$tmp/display")"
if [ "$manager" = openbox ]; then
    openbox --startup "touch $tmp/wm-ready" >"$tmp/wm.log" 2>&1 &
    pids="$pids $!"
    for _ in $(seq 100); do [ -e "$tmp/wm-ready" ] && break; sleep 0.1; done
    [ -e "$tmp/wm-ready" ] || skip "openbox did not start: $(cat "$tmp/wm.log")"
fi

fail() {
    echo "FAIL ($manager): $*"
    exit 1
}
# Waits (10 s at most) for the window with exactly this title to be shown and to have the
# keyboard, as a person does before typing; prints its id.
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
await() {
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && focused "$id" && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# Waits for the window to close and the keyboard to be back in the main window.
gone() {
    for _ in $(seq 100); do
        if ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && focused "$w"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}
key() {
    xdotool key "$@"
    sleep 0.3
}
# Clicks at (dx, dy) from the window's top left, or from its bottom right for negative offsets.
click() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    x=$2 y=$3
    [ "$x" -lt 0 ] && x=$((WIDTH + x))
    [ "$y" -lt 0 ] && y=$((HEIGHT + y))
    xdotool mousemove --window "$1" "$x" "$y" click "${4:-1}"
    sleep 0.3
}
main=Zentrel save='保存文件\(\*\.txt\)' box='操作提示'

# The box holds line breaks as CR LF: the command line gets the article that way.
article='Hello world. This is a test.
第二段的内容。End.'
printf '%s' "$article" | sed 's/$/\r/; $s/\r$//' >"$tmp/article.txt"
"$cli" "$tmp/article.txt" >"$tmp/expected.txt" || fail "tavrinel-cli failed"
printf '%s' "$article" | xclip -selection clipboard -i
printf '%s' "$article" | xclip -selection primary -i
same() { cmp -s "$tmp/expected.txt" "$1" || fail "$2: the saved file differs from tavrinel-cli's output"; }

(cd "$work" && HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/config QT_QPA_PLATFORM=xcb \
    exec "$window") >"$tmp/window.log" 2>&1 &
pids="$pids $!"
w=$(await "$main") || fail "the window did not open"
sleep 0.5

# With Save As open: types the name, one Return saves, one Return closes the success box; the
# file must be tavrinel-cli's output.
save_with_keys() {
    await "$save" >/dev/null || fail "$2: no Save As"
    xdotool type "$work/$1"
    key Return
    await "$box" >/dev/null || fail "$2: one Return in Save As did not save"
    key Return
    gone "$box" || fail "$2: one Return did not close the success box"
    same "$work/$1" "$2"
}
escape_save_as() {
    await "$save" >/dev/null || fail "$1: no Save As"
    key Escape
    gone "$save" || fail "$1: Escape did not close Save As"
}

# 1. Keyboard only: paste, Tab to 生成, Return, then Save As and the box by keys.
key ctrl+v
key Tab
key Return
save_with_keys keys.txt "Return on 生成"

# 2. Back on 生成, the next Return opens Save As again; after Escape, the next one too.
key Return
escape_save_as "Return after the success box"
key Return
save_with_keys escape.txt "Return after Escape"

# 3. Space on 生成, then Return in Save As and on the box, then Return on 生成 once more.
key space
save_with_keys space.txt "Space on 生成"
key Return
escape_save_as "Return after the Space path"

# 4. Return held on 生成 for longer than the autorepeat delay: one Save As, which the key's
#    repeats do not answer; held in Save As, its repeats leave the success box open.
xdotool keydown Return
sleep 1.5
xdotool keyup Return
sleep 0.3
await "$save" >/dev/null || fail "a held Return opened no Save As"
[ -e "$work/文章分割后内容.txt" ] && fail "the repeats of a held Return saved"
xdotool type "$work/held.txt"
xdotool keydown Return
sleep 1.5
xdotool keyup Return
await "$box" >/dev/null || fail "a held Return in Save As did not save"
key Return
gone "$box" || fail "one Return after a held one did not close the success box"
same "$work/held.txt" "held Return"

# 5. The mouse only: 清空内容, paste with the middle button, 生成, 保存 and 确定.
click "$w" 44 200
click "$w" 300 150 2
click "$w" 604 408
s=$(await "$save") || fail "a click on 生成 opened no Save As"
click "$s" -52 -54
b=$(await "$box") || fail "a click on 保存 did not save"
click "$b" -51 -23
gone "$box" || fail "a click on 确定 did not close the success box"
same "$work/文章分割后内容.txt" "mouse"
echo "PASS ($manager)"
