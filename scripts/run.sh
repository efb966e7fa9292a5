#!/bin/sh
# Sets up the machine, builds the game and starts it on the bundled sample quiz.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target pocketperna sample_quiz
exec ./build/shell/pocketperna "$@" build/samples/sample.kqd
