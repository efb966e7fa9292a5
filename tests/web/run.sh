#!/bin/sh
# Plays the web folder in headless Chromium (see play_in_browser.mjs), with puppeteer-core
# installed from the committed lock file into the build folder; it never downloads a browser.
# Usage: run.sh SITE QUIZ-REPLAY WORK-DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
site=$1
replay=$2
work=$3
exec sh "$here/../../scripts/in-browser-home.sh" "$here" "$work" \
    "$here/play_in_browser.mjs" "$site" "$replay" "$work/npm" "$work/out"
