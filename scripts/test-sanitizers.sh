#!/bin/sh
# Builds the whole project a second time, with AddressSanitizer, LeakSanitizer and Undefined-
# BehaviorSanitizer (clang, in build-asan, nothing shared with the normal build), and runs every
# test there except the Debian package's and the browser build's (neither runs this build's code).
# Every process writes its reports to a file, the programs that the tests start included, so a
# report fails the run even where a test did not notice it.
# Usage: scripts/test-sanitizers.sh
set -eu
cd "$(dirname "$0")/.."
build=build-asan
root=$(pwd)

# -O1 with line tables only: quick to build, still fast to run, and every report has file and line.
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
    -DPERNA_SANITIZE=ON -DPERNA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

reports="$root/$build/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
supp="$root/tests/sanitizers"
# intercept_strndup=0: libxkbcommon-x11 hands strndup a length longer than its string at the X
# connection's start; strndup stops at the terminator, so the reported over-read never happens.
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:intercept_strndup=0:suppressions=$supp/asan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
    export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi

status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 180 -LE 'package|web' || status=$?

if [ -n "$(ls -A "$reports")" ]; then
    echo "sanitizers: reports found:" >&2
    for report in "$reports"/*; do
        echo "== $report" >&2
        cat "$report" >&2
    done
    status=1
elif [ "$status" -eq 0 ]; then
    echo "sanitizers: every test passed with no report"
fi
exit "$status"
