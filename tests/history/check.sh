#!/bin/sh
# Plays the dated scripts here through quiz-replay with a history kept, and compares their JSON
# lines (the due questions and the review runs among them) with the committed transcripts.
# Usage: check.sh QUIZ-REPLAY SMALL.kqd
set -eu
replay=$1
small=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$small" "$work/small.kqd"
status=0
for script in "$here"/*.script; do
    name=$(basename "$script" .script)
    cp "$script" "$work/"
    if ! "$replay" --documents "$work/documents-$name" "$work/$name.script" >"$work/$name.jsonl"; then
        echo "FAIL: $name: quiz-replay failed" >&2
        status=1
    elif ! diff -u "$here/$name.jsonl" "$work/$name.jsonl" >&2; then
        echo "FAIL: $name: the transcript differs" >&2
        status=1
    else
        echo "ok: $name"
    fi
done
exit $status
