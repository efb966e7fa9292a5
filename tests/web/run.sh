#!/bin/sh
# Plays the web folder in headless Chromium (see play_in_browser.mjs), with puppeteer-core
# installed from the committed lock file into the build folder; it never downloads a browser.
# Usage: run.sh SITE QUIZ-REPLAY WORK-DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
site=$1
replay=$2
work=$3
mkdir -p "$work/npm"
if ! cmp -s "$here/package-lock.json" "$work/npm/package-lock.json" || [ ! -d "$work/npm/node_modules/puppeteer-core" ]; then
    cp "$here/package.json" "$here/package-lock.json" "$work/npm/"
    (cd "$work/npm" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
# The browser gets a home of its own.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
HOME="$home" XDG_RUNTIME_DIR="$home/runtime" node "$here/play_in_browser.mjs" "$site" "$replay" "$work/npm" "$work/out"
