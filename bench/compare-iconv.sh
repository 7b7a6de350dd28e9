#!/bin/sh
# Times tavrinel-cli against an iconv round trip (UTF-8 -> UTF-16 -> UTF-8) of the same article,
# alternating the two and keeping each one's best of several runs, and reports peak memory.
#
#   bench/compare-iconv.sh [BUILD_DIR] [RUNS]
#
# Articles of 8 MiB and 64 MiB are made with tavrinel-make-article in a temporary folder.
set -eu

build=${1:-build}
runs=${2:-7}
cli=$build/bin/tavrinel-cli
maker=$build/bin/tavrinel-make-article
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }

# best_of COMMAND...: the fastest wall time of $runs runs, in seconds
best_of() {
    best=""
    for _ in $(seq "$runs"); do
        start=$(now)
        "$@" > /dev/null
        end=$(now)
        best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
    done
    echo "$best"
}

iconv_round_trip() { iconv -f UTF-8 -t UTF-16LE "$1" | iconv -f UTF-16LE -t UTF-8; }
generate() { "$cli" --size 10 --complete word "$1"; }

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 > /dev/null | tail -n 1; }

for mib in 8 64; do
    file=$work/article-$mib.txt
    "$maker" $((mib * 1024 * 1024)) > "$file"
    cat "$file" > /dev/null # into the page cache
    t_iconv=$(best_of iconv_round_trip "$file")
    t_cli=$(best_of generate "$file")
    eval "t_cli_$mib=$t_cli"
    peak=$(peak_kib "$cli" --size 10 --complete word "$file")
    awk -v m="$mib" -v c="$t_cli" -v i="$t_iconv" -v p="$peak" 'BEGIN {
        printf "%3d MiB: tavrinel-cli %.3f s, iconv round trip %.3f s, ratio %.2f, peak memory %.1f x input\n",
            m, c, i, c / i, p * 1024 / (m * 1048576) }'
done
awk -v a="$t_cli_64" -v b="$t_cli_8" 'BEGIN { printf "time for 64 MiB over time for 8 MiB: %.2f\n", a / b }'
