#!/bin/sh
# Records every committed game while quiz-replay plays it, plays the recording again and
# compares the two transcripts; for the sample game the painted frames too. A recording that
# misses or misplaces an event (a name, a key, the options) shows as a diff.
# Usage: recorded.sh QUIZ-REPLAY SAMPLE.kqd SMALL.kqd
set -eu
replay=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$2" "$work/sample.kqd"
cp "$3" "$work/small.kqd"
cp "$here/small.tsv" "$here"/*.script "$work/"
status=0
for script in "$work"/*.script; do
    name=$(basename "$script" .script)
    frames_a="" frames_b=""
    if [ "$name" = sample-game ]; then
        frames_a="--frames $work/frames-$name-a"
        frames_b="--frames $work/frames-$name-b"
    fi
    # shellcheck disable=SC2086 # the frame options are two words or none
    if ! "$replay" $frames_a --record "$work/$name.recorded" "$script" >"$work/$name.a.jsonl" ||
        ! "$replay" $frames_b "$work/$name.recorded" >"$work/$name.b.jsonl"; then
        echo "FAIL: $name: quiz-replay failed" >&2
        status=1
    elif ! diff -u "$work/$name.a.jsonl" "$work/$name.b.jsonl" >&2; then
        echo "FAIL: $name: the recording plays another game" >&2
        sed 's/^/  /' "$work/$name.recorded" | head -n 60 >&2
        status=1
    elif [ -n "$frames_a" ] && ! diff -r "$work/frames-$name-a" "$work/frames-$name-b" >/dev/null; then
        echo "FAIL: $name: the recording paints other frames" >&2
        status=1
    else
        echo "ok: $name ($(grep -c . "$work/$name.recorded") recorded lines)"
    fi
done
exit $status
