#!/bin/sh
# Runs every fuzz target for SECONDS seconds, one after another, on one core each.
#   fuzz/run.sh SECONDS [TARGET...]
# New inputs go to fuzz-out/corpus/<target>/ (kept between runs), crashes to fuzz-out/<target>-*.
# Exits non-zero when any target found a fault.
set -u
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=${*:-run size cli_input decode utf8}
bin=build-fuzz/fuzz
failed=""

for target in $targets; do
    case $target in
    cli_input) maxlen=8192 ;; # long paragraphs come from repeating the input
    run) maxlen=16384 ;;
    decode | utf8) maxlen=4096 ;;
    *) maxlen=256 ;;
    esac
    mkdir -p "fuzz-out/corpus/$target"
    echo "== fuzz_$target for ${seconds}s"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$bin/fuzz_$target" "fuzz-out/corpus/$target" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -max_len="$maxlen" -timeout=30 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="fuzz-out/$target-" \
        >"fuzz-out/$target.log" 2>&1
    status=$?
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb):' \
        "fuzz-out/$target.log" | sed 's/^stat::/    /'
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$target FAILED (exit $status), see fuzz-out/$target.log:" >&2
        grep -E 'ERROR|broken:|SUMMARY|Test unit written' "fuzz-out/$target.log" | head -20 >&2
        failed="$failed $target"
    fi
done

[ -z "$failed" ] || { echo "fuzzing found faults in:$failed" >&2; exit 1; }
