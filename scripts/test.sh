#!/bin/sh
# Sets up the machine, builds everything and runs every test; the last line gives the counts.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
work=$(mktemp -d)
{ ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 60 2>&1; echo $? >"$work/status"; } | tee "$work/log"
status=$(cat "$work/status")
# ctest ends with its total time; repeat its count line so that it closes the run.
grep -E 'tests passed|tests failed' "$work/log" | tail -n 1 || true
rm -rf "$work"
exit "$status"
