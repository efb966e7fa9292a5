#!/bin/sh
# Builds the game for browsers: a folder of static files (index.html, the WebAssembly module and
# its script, the font cut to code page 932 with its notices, the bitmaps and sounds, the sample
# quiz, the app's manifest, icons and service worker) that any static web server can serve. Needs
# Debian's emscripten, esbuild, python3-fonttools, python3-brotli and ImageMagick (scripts/setup.sh).
# Usage: scripts/build-web.sh [BUILD-DIR]    (default build/web; the folder made is BUILD-DIR/site)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/web}
# Debian's emscripten finds its JavaScript tools' modules (acorn) among Debian's node modules.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
emcmake cmake -S "$root/web" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"
echo "build-web: the web folder is $build/site"
