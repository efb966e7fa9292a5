#!/bin/sh
# Measures the browser build as a first visitor meets it (see web/measure.mjs): the title's time
# on localhost and at "Fast 4G", the first question's time, the bytes over the wire, Chromium's
# installability check and Lighthouse's scores, in Debian's headless Chromium. Lighthouse and
# puppeteer-core come from npm, pinned by web/package-lock.json, into the work folder.
# Usage: bench/web.sh [SITE] [WORK-DIR] [--no-lighthouse]    (default build/web/site, build/web/bench)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
site=${1:-$here/../build/web/site}
work=${2:-$here/../build/web/bench}
shift $(( $# < 2 ? $# : 2 ))
mkdir -p "$work/npm"
if ! cmp -s "$here/web/package-lock.json" "$work/npm/package-lock.json" || [ ! -d "$work/npm/node_modules/lighthouse" ]; then
    cp "$here/web/package.json" "$here/web/package-lock.json" "$work/npm/"
    (cd "$work/npm" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
# The browser gets a home of its own.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
HOME="$home" XDG_RUNTIME_DIR="$home/runtime" node "$here/web/measure.mjs" "$site" "$work/npm" "$@"
