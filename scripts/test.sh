#!/bin/sh
# Sets up the machine and runs every test in three stages, each timed: the normal build and its
# whole suite; the same suite on a second build with AddressSanitizer and UndefinedBehavior-
# Sanitizer (scripts/test-sanitizers.sh); every fuzzer for FUZZ_SECONDS (default 30) each
# (scripts/fuzz.sh). The last line gives the counts of all three.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
summary=""

# Runs one stage, its output shown and kept, and notes its time and result.
stage() {
    name=$1
    shift
    echo "== $name" | tee -a "$work/stages"
    started=$(date +%s)
    { "$@" 2>&1 && echo 0 >"$work/status" || echo $? >"$work/status"; } | tee "$work/$name.log"
    result=$(cat "$work/status")
    [ "$result" -eq 0 ] || status=1
    summary="$summary
$name: $(( $(date +%s) - started )) s, $( [ "$result" -eq 0 ] && echo passed || echo FAILED)"
}

# Each step explicitly, since a stage runs where "set -e" does not stop at a failure.
normal_suite() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
        cmake --build build -j "$(nproc)" &&
        ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 60
}

stage tests normal_suite
stage sanitizers ./scripts/test-sanitizers.sh
stage fuzzers ./scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# The counts: ctest's of both suites, and one test per fuzzer (one that found something stops
# before it prints its runs).
count() { sed -n "s/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\\$1/p" "$work/$2.log" | tail -n 1; }
passed=0
failed=0
for suite in tests sanitizers; do
    total=$(count 2 "$suite")
    bad=$(count 1 "$suite")
    if [ -z "$total" ]; then
        failed=$((failed + 1))  # the suite did not get as far as running
        continue
    fi
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done
fuzzers=$(grep -c '^fuzz_[a-z0-9_]*: [0-9]* runs' "$work/fuzzers.log" || true)
findings=$(grep -c '^FINDING' "$work/fuzzers.log" || true)
passed=$((passed + fuzzers))
failed=$((failed + findings))
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "$summary" | sed '/^$/d'
grep -h -E 'tests passed|tests failed' "$work/tests.log" "$work/sanitizers.log" || true
echo "total: $passed passed, $failed failed"
exit "$status"
