#!/bin/sh
# Plays the dated scripts here through quiz-replay with a history kept, and compares their JSON
# lines (the due questions and the review runs among them) with the committed transcripts; then
# records a later sitting on that history and plays the recording again without it.
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
# A later sitting on the history the three days left, recorded, then played again without that
# history: the recording must carry the review cards and the days its review run came from.
cp "$here/later-sitting.next" "$work/"
if ! "$replay" --documents "$work/documents-three-days" --record "$work/later.recorded" "$work/later-sitting.next" \
        >"$work/later.a.jsonl" || ! "$replay" "$work/later.recorded" >"$work/later.b.jsonl"; then
    echo "FAIL: later-sitting: quiz-replay failed" >&2
    status=1
elif ! grep -q '"screen":"Answering"' "$work/later.a.jsonl"; then
    echo "FAIL: later-sitting: no review run on the kept history" >&2
    status=1
elif ! diff -u "$work/later.a.jsonl" "$work/later.b.jsonl" >&2; then
    echo "FAIL: later-sitting: the recording plays another sitting" >&2
    status=1
else
    echo "ok: later-sitting recorded"
fi
exit $status
