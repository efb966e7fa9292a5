#!/bin/sh
# Replays every committed script through quiz-replay and compares its JSON lines with the
# committed transcript, so that any change of timing, score, sound or message shows as a diff.
# After an intended change, write the new transcript with: quiz-replay NAME.script >NAME.jsonl
# (run in a folder holding sample.kqd, small.kqd and small.tsv), and review the diff.
# Usage: check.sh QUIZ-REPLAY SAMPLE.kqd SMALL.kqd
set -eu
replay=$1
sample=$2
small=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$sample" "$work/sample.kqd"
cp "$small" "$work/small.kqd"
cp "$here/small.tsv" "$work/"
status=0
for script in "$here"/*.script; do
    name=$(basename "$script" .script)
    cp "$script" "$work/"
    if ! "$replay" --documents "$work/documents-$name" "$work/$name.script" >"$work/$name.jsonl"; then
        echo "FAIL: $name: quiz-replay failed" >&2
        status=1
    elif ! diff -u "$here/$name.jsonl" "$work/$name.jsonl" >"$work/$name.diff"; then
        echo "FAIL: $name: the transcript differs" >&2
        head -n 40 "$work/$name.diff" >&2
        status=1
    else
        echo "ok: $name ($(wc -l <"$here/$name.jsonl") lines)"
    fi
done
exit $status
