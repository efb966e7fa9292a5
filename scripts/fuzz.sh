#!/bin/sh
# Builds every libFuzzer target under fuzz/ with clang, AddressSanitizer and UndefinedBehavior-
# Sanitizer, and runs each for SECONDS (default 60), two at a time, starting from the committed
# seeds. Prints each target's executions and coverage; fails on any finding, whose input is
# kept in build-fuzz/findings/TARGET/.
# Usage: scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
targets="quiz_file cp932 settings kqd_table kqd_sheet replay_script text_layout party_message"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DPERNA_FUZZ=ON -DPERNA_BUILD_TESTS=OFF -DPERNA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzzers

# The corpus grows in the build folder; only the seeds are committed.
run_target() {
    name=$1
    corpus="$build/corpus/$name"
    findings="$build/findings/$name"
    mkdir -p "$corpus" "$findings"
    dict=""
    [ -f "fuzz/$name.dict" ] && dict="-dict=fuzz/$name.dict"
    # kqd's readers get inputs up to 1 MiB from the start (not grown slowly from the seeds' size),
    # long enough for a token, a nesting or a repeat that costs time or memory out of proportion
    # to show; any input taking 10 s is a finding.
    len=""
    case $name in kqd_*) len="-max_len=1048576 -len_control=0" ;; esac
    # shellcheck disable=SC2086
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 $len \
        -artifact_prefix="$findings/" $dict "$corpus" "fuzz/seeds/$name" >"$build/fuzz_$name.log" 2>&1
}

# One summary line a target: libFuzzer's last status line holds the coverage, "Done" the runs.
summarise() {
    name=$1
    log="$build/fuzz_$name.log"
    runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1)
    echo "fuzz_$name: ${runs:-no runs}, ${cov:-no coverage line}"
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
failed=""
set -- $targets
while [ $# -gt 0 ]; do
    run_target "$1" & first=$!
    second=""
    if [ $# -gt 1 ]; then
        run_target "$2" & second=$!
    fi
    wait "$first" || { failed="$failed $1"; status=1; }
    if [ -n "$second" ]; then
        wait "$second" || { failed="$failed $2"; status=1; }
        shift
    fi
    shift
done

for name in $targets; do
    summarise "$name"
done
for name in $failed; do
    echo "FINDING in fuzz_$name (input kept in $build/findings/$name/):" >&2
    grep -v '^#' "$build/fuzz_$name.log" | tail -n 40 >&2
done
if [ "$status" -eq 0 ]; then
    echo "fuzz: every target ran ${seconds} s with no finding"
fi
exit "$status"
