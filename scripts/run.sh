#!/bin/sh
# Sets up the machine, builds the game and starts it on its title screen: Return, a tap or a
# pad's A starts the quiz played last, or the bundled sample the first time. A quiz file given
# here starts at once.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target pocketperna sample_quiz
exec ./build/shell/pocketperna "$@"
