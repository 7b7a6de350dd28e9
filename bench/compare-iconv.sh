#!/bin/sh
# Times tavrinel-cli against an iconv round trip (UTF-8 -> UTF-16 -> UTF-8) of the same article in
# the same run, alternating the two and keeping each one's best, and measures peak memory, the
# growth from 64 MiB to 1 GiB, a read of /dev/zero, and where the time goes.
#
#   bench/compare-iconv.sh [BUILD_DIR] [RUNS]
#
# The articles are made in a temporary folder (about 2.7 GiB with the results): the 64 MiB and
# 1 GiB samples of tavrinel-make-article (mixed Chinese and English, CR LF, frequent breaks), a
# 64 MiB article with a break every two or three characters, and a 64 MiB article of Chinese
# only (full-width punctuation, CR LF). The sample and the Chinese article are also cut with
# --breaks cjk. Output goes to a file, as with
# `-o OUT`. The folder is in memory (/dev/shm) where there is one, so that the disk is not what
# is timed: on a disk, `-o` also waits for the result to be synced, which the iconv pipeline
# does not do (BENCH_DIR=/some/folder puts it elsewhere).
set -eu

build=${1:-build}
runs=${2:-7}
cli=$build/bin/tavrinel-cli
maker=$build/bin/tavrinel-make-article
place=${BENCH_DIR:-/dev/shm}
[ -d "$place" ] && [ -w "$place" ] || place=${TMPDIR:-/tmp}
work=$(mktemp -d "$place/tavrinel-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.txt
cutting="--size 10 --complete word"

now() { date +%s.%N; }
seconds() { awk -v s="$1" -v e="$2" 'BEGIN { print e - s }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

iconv_round_trip() { iconv -f UTF-8 -t UTF-16LE "$1" | iconv -f UTF-16LE -t UTF-8 > "$out"; }
# generate FILE [OPTION...]
# shellcheck disable=SC2086 # the options are words
generate() { file=$1; shift; "$cli" $cutting "$@" -o "$out" "$file"; }

# best FILE [OPTION...]: the best wall times of tavrinel-cli and of the round trip, taken in turns
best() {
    t_cli="" t_iconv=""
    for _ in $(seq "$runs"); do
        rm -f "$out"; start=$(now); generate "$@"; end=$(now)
        t_cli=$(smaller "$t_cli" "$(seconds "$start" "$end")")
        rm -f "$out"; start=$(now); iconv_round_trip "$1"; end=$(now)
        t_iconv=$(smaller "$t_iconv" "$(seconds "$start" "$end")")
    done
}

# peak_mib FILE [OPTION...]
# shellcheck disable=SC2086
peak_mib() { file=$1; shift; /usr/bin/time -f %M "$cli" $cutting "$@" -o "$out" "$file" 2>&1 | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }

# An article of `mib` MiB repeating a short text with a break every two or three characters.
breaks_article() {
    awk 'BEGIN { for (i = 0; i < 4096; i++) printf "ab. 字符, c; 文章: d? e!\r\n" }' > "$work/block"
    block=$(wc -c < "$work/block")
    : > "$2"
    n=0
    while [ $(( n * block )) -lt $(( $1 * 1048576 )) ]; do cat "$work/block"; n=$((n + 1)); done >> "$2"
}

"$maker" $((64 * 1048576)) > "$work/sample-64.txt"
breaks_article 64 "$work/breaks-64.txt"
"$maker" $((64 * 1048576)) chinese > "$work/chinese-64.txt"
"$maker" $((1024 * 1048576)) > "$work/sample-1024.txt"

echo "in $place: tavrinel-cli $cutting [--breaks cjk] -o OUT ARTICLE, best of $runs, against iconv -f UTF-8 -t UTF-16LE | iconv -f UTF-16LE -t UTF-8 > OUT"
for row in sample-64 breaks-64 "sample-64 --breaks cjk" "chinese-64 --breaks cjk"; do
    set -- $row
    name=$1; shift
    file=$work/$name.txt
    cat "$file" > /dev/null # into the page cache
    best "$file" "$@"
    [ "$row" = sample-64 ] && t_64=$t_cli
    awk -v n="$row" -v c="$t_cli" -v i="$t_iconv" -v p="$(peak_mib "$file" "$@")" 'BEGIN {
        printf "%-23s tavrinel-cli %.3f s, iconv round trip %.3f s, ratio %.2f, peak memory %s MiB\n", n, c, i, c / i, p }'
done

file=$work/sample-1024.txt
t_1024=""
for _ in $(seq "$runs"); do
    cat "$file" > /dev/null
    rm -f "$out"; start=$(now); generate "$file"; end=$(now)
    t_1024=$(smaller "$t_1024" "$(seconds "$start" "$end")")
done
awk -v t="$t_1024" -v s="$t_64" -v p="$(peak_mib "$file")" 'BEGIN {
    printf "sample-1024 tavrinel-cli %.3f s, peak memory %s MiB; time for 1 GiB over time for 64 MiB: %.1f\n", t, p, t / s }'
rm -f "$file" "$out"

# /dev/zero: NUL characters without a break, one paragraph that streams until the article
# passes the length limit (exit 2), or 60 seconds at the most.
start=$(now)
zero=$( { /usr/bin/time -f 'peak %M' timeout 60 "$cli" -o /dev/null /dev/zero; } 2>&1 || true)
end=$(now)
echo "/dev/zero: $(echo "$zero" | head -n 1 | cut -c 1-100); $(echo "$zero" | grep -o 'peak [0-9]*' | awk '{ printf "peak memory %.1f MiB", $2 / 1024 }') after $(seconds "$start" "$end" | cut -c 1-5) s"

# Where the time goes: samples of the 64 MiB sample article, and of the Chinese one with
# --breaks cjk, each put down to the kernel's read or write when the call chain passes through
# it, else to the user-space part it is in; "other" is mostly starting the process (loading Qt)
# and the hypervisor's interrupt handling.
shares() {
    name=$1; shift
    file=$work/$name.txt
    # shellcheck disable=SC2086
    perf record -q -g -o "$work/perf.data" -- "$cli" $cutting "$@" -o "$out" "$file" > /dev/null 2>&1
    perf script -i "$work/perf.data" -F ip,sym 2>/dev/null | awk '
        function part(s) {
            if (s ~ /vfs_write|ksys_write|fsync/) return "kernel write"
            if (s ~ /vfs_read|ksys_read/) return "kernel read"
            if (s ~ /validAvx2|validScalar|firstInvalid/) return "validation"
            if (s ~ /classify|windowAvx2|windowSse2|RunScan|finishRuns/) return "classification"
            if (s ~ /memmove|memcpy|Output::/) return "copying"
            if (s ~ /Cutter|skipUnits|nthBreak|findBreak|nextSet|unitsUpTo|Classifier|describeNext|Reader|SpaceTrimmer|utf8::cut/) return "cutting"
            return ""
        }
        function done() {
            if (n) { total++; shares[kernel != "" ? kernel : top != "" ? top : "other"]++ }
            n = 0; top = ""; kernel = ""
        }
        NF == 0 { done(); next }
        {
            n++; p = part($0)
            if (p ~ /kernel/) kernel = p
            else if (n == 1) top = p
        }
        END {
            done()
            for (k in shares) printf "  %-15s %5.1f %%\n", k, 100 * shares[k] / total
        }' > "$work/shares"
    echo "share of samples (perf, 64 MiB $name $*):"
    sort -t% -k1.18 -rn "$work/shares"
}
if perf stat -e instructions true > /dev/null 2>&1; then
    shares sample-64
    shares chinese-64 --breaks cjk
fi
