#!/bin/sh
# The game installed into a fresh prefix loads its modules from there, and links none of their
# libraries itself: a shared game's host, which opens the party module, prints its address; with
# that module gone, it says which file is missing and ends. A few seconds.
# Usage: modules_installed.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; echo "FAIL: the install failed" >&2; exit 1; }
mkdir -m 700 "$work/run"

# Starts the installed host on loopback and stops it once it has printed its host key (or ended).
run_host() {
    HOME="$work" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
        timeout 30 "$work/usr/bin/pocketperna" --host "$work/usr/share/pocketperna/samples/sample.kqd" \
        --bind 127.0.0.1 --port 0 >"$work/out" 2>"$work/err" &
    pid=$!
    i=0
    while [ "$i" -lt 200 ] && kill -0 "$pid" 2>/dev/null && ! grep -q '^host key' "$work/out"; do
        sleep 0.1
        i=$((i + 1))
    done
    kill "$pid" 2>/dev/null || true
    status=0
    wait "$pid" || status=$?
}

run_host
grep -q '^address http://127\.0\.0\.1:' "$work/out" ||
    { cat "$work/err" >&2; echo "FAIL: the installed host did not start from its module" >&2; exit 1; }

module=$(find "$work/usr" -name pocketperna-party.so)
[ -n "$module" ] || { echo "FAIL: pocketperna-party.so was not installed" >&2; exit 1; }
for other in pocketperna-progress pocketperna-sheets; do
    [ -n "$(find "$work/usr" -name "$other.so")" ] || { echo "FAIL: $other.so was not installed" >&2; exit 1; }
done
# What only the modules use must not be mapped by every start.
if readelf -d "$work/usr/bin/pocketperna" | grep -E 'NEEDED.*(libzip|Qt6Network|Qt6Charts|Qt6HttpServer|Qt6WebSockets|qrencode)'; then
    echo "FAIL: the program itself links a library that only its modules need" >&2
    exit 1
fi
rm "$module"
run_host
[ "$status" -eq 1 ] && grep -q 'pocketperna-party\.so' "$work/err" ||
    { cat "$work/err" >&2; echo "FAIL: a missing module must be named, and the host end with status 1 (got $status)" >&2; exit 1; }
echo "PASS: the installed game loads its modules and names a missing one"
