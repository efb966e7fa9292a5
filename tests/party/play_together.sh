#!/bin/sh
# Runs play_together.mjs with puppeteer-core from the browser tests' committed lock file and a
# HOME of its own. Usage: play_together.sh POCKETPERNA QUIZ SAMPLE-TABLE WORK-DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$4
exec sh "$here/../../scripts/in-browser-home.sh" "$here/../web" "$work" \
    "$here/play_together.mjs" "$1" "$2" "$3" "$work/npm" "$work/out"
