#!/bin/sh
# Start-up with an odd file as the last quiz file of the recent list: a pipe with no writer, an
# endless device, a 4 GiB sparse file, and beside them a desktop options file far too large.
# Each start must show its first frame (the game exits there, told by PERNA_FIRST_FRAME_REPORT)
# well within the bound; the time each took is printed, the target itself is a benchmark's.
# Usage: odd_last_file.sh POCKETPERNA
set -eu
game=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bound=10
failed=0

mkfifo "$work/pipe.kqd"
ln -s /dev/zero "$work/zero.kqd"
truncate -s 4G "$work/sparse.kqd"

# Starts the game once with its own HOME and runtime folder; $1 names the case, $2 is the last
# quiz file, $3 (optional) the size in bytes of an options file of junk to put in place.
start() {
    home="$work/home-$1"
    mkdir -p "$home/.config/pocketperna" "$home/run"
    chmod 700 "$home/run"
    if [ -n "${3:-}" ]; then
        head -c "$3" /dev/zero | tr '\0' 'x' > "$home/.config/pocketperna/pocketperna.ini"
    else
        printf '[desktop]\nrecentFiles=%s\n' "$2" > "$home/.config/pocketperna/pocketperna.ini"
    fi
    began=$(date +%s%N)
    HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        QT_QPA_PLATFORM=offscreen PERNA_FIRST_FRAME_REPORT="$home/report" \
        timeout "$bound" "$game" >/dev/null 2>"$home/stderr" || true
    took=$(( ($(date +%s%N) - began) / 1000000 ))
    if [ -s "$home/report" ]; then
        echo "$1: first frame after $took ms"
    else
        echo "$1: no first frame within $bound s" >&2
        cat "$home/stderr" >&2
        failed=1
    fi
}

start pipe "$work/pipe.kqd"
start dev-zero "$work/zero.kqd"
start sparse-4GiB "$work/sparse.kqd"
start options-2MiB "" 2097152
# The options file too large was kept aside whole, never parsed nor written over.
kept=$(ls "$work/home-options-2MiB/.config/pocketperna/" | grep -c '^pocketperna.ini.damaged-' || true)
if [ "$kept" != 1 ]; then
    echo "options-2MiB: the oversized options file was not kept aside" >&2
    failed=1
fi
exit $failed
