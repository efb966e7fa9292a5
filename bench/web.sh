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
exec sh "$here/../scripts/in-browser-home.sh" "$here/web" "$work" "$here/web/measure.mjs" "$site" "$work/npm" "$@"
