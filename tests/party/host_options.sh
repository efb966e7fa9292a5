#!/bin/sh
# A shared game's host refuses an address it cannot listen on before loading anything, with its
# usage line and status 2. Under a second.
# Usage: host_options.sh POCKETPERNA QUIZ
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
for address in 1.2.3 256.1.1.1 example.org ::1%; do
    status=0
    HOME="$work" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen timeout 10 "$1" --host "$2" --bind "$address" \
        >/dev/null 2>"$work/err" || status=$?
    if [ "$status" -ne 2 ] || ! grep -q -- '--bind an IP address' "$work/err"; then
        echo "FAIL: --bind '$address' gave status $status: $(cat "$work/err")" >&2
        exit 1
    fi
done
echo "PASS: addresses that are not IP addresses are refused"
