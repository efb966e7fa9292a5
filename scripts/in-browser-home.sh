#!/bin/sh
# Runs a node script of the browser tests or benchmarks with the npm packages of PACKAGE-DIR
# (installed from its committed lock file into WORK-DIR/npm, again only when the lock changes) and
# a HOME of its own, so Chromium never touches the home of the person at the machine.
# Usage: in-browser-home.sh PACKAGE-DIR WORK-DIR SCRIPT [ARGUMENTS...]; pass WORK-DIR/npm among
# the arguments where the script wants its packages.
set -eu
packages=$1
work=$2
shift 2
mkdir -p "$work/npm"
if ! cmp -s "$packages/package-lock.json" "$work/npm/package-lock.json" || [ ! -d "$work/npm/node_modules" ]; then
    cp "$packages/package.json" "$packages/package-lock.json" "$work/npm/"
    (cd "$work/npm" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
HOME="$home" XDG_RUNTIME_DIR="$home/runtime" node "$@"
