#!/bin/sh
# Records a whole game played in the real window on a private X server (keys for the answers,
# the name typed in the name dialog, Return through the results and the ranking, Ctrl+Q), then
# plays the recording with quiz-replay, which records it again: the two scripts, with every
# event, the ticks between them and each screen entered with its figures, must be the same.
# Usage: record_in_x.sh POCKETPERNA QUIZ-REPLAY SMALL.kqd
set -eu

program=$1
replay=$2
work=$(mktemp -d)
. "$(dirname "$0")/../../tools/private_x.sh"
clean_up_on_exit "$work"
seed=5

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/game.log" ] && sed 's/^/  game: /' "$work/game.log" >&2
    [ -f "$work/played.script" ] && sed 's/^/  recorded: /' "$work/played.script" >&2
    exit 1
}

cp "$3" "$work/small.kqd"
start_private_x "$work/xvfb.log" || fail "Xvfb did not start"
use_fresh_home "$work"
# No time limit and no reveal, so that a slow machine cannot change the game.
settings="$HOME/Documents/ポケットペルナ.txt"
printf '0,0,0,0,0\r\n' >"$settings"
for _ in 1 2 3 4 5 6 7 8 9 10; do printf ',0\r\n' >>"$settings"; done
# Without a window manager the window is never active: the clock must not wait for that.
mkdir -p "$XDG_CONFIG_HOME/pocketperna"
printf '[desktop]\npauseWhenInactive=false\n' >"$XDG_CONFIG_HOME/pocketperna/pocketperna.ini"

# The right rows of the level's eight questions under this seed, from a replay of the same draws
# (with "同じ問題を出さない" on, as in a fresh window). One right answer and seven wrong ones end
# the game after the level with a score for the ranking.
printf 'options sound=0 correct=0 limit=0 reveal=0 study=0 norepeat=1\nopen small.kqd\n' >"$work/probe.script"
for _ in 1 2 3 4 5 6 7 8; do printf 'tick 40\nanswer right\ntick 80\n' >>"$work/probe.script"; done
"$replay" --seed "$seed" "$work/probe.script" >"$work/probe.jsonl" || fail "the probe replay failed"
rows=$(sed -n 's/.*"screen":"Answering".*"correctPosition":\([0-4]\).*/\1/p' "$work/probe.jsonl")
[ "$(echo "$rows" | wc -l)" -ge 8 ] || fail "the probe did not reach eight questions: $(cat "$work/probe.jsonl")"

SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" --seed "$seed" --record "$work/played.script" \
    "$work/small.kqd" >"$work/game.log" 2>&1 &
game_pid=$!
window=""
for _ in $(seq 1 100); do
    for w in $(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null || true); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "ポケットペルナ" ] && window=$w
    done
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended at start"
    sleep 0.1
done
[ -n "$window" ] || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$window")"
# Keys go to the window under the pointer: there is no window manager to give focus.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))

count_colour() {
    convert "$work/shot.png" -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:int(mean*w*h+0.5)]' info:
}
# Waits up to 30 s for a question waiting for its answer: the choice rows, no big judgement mark,
# and the small marks of the answers so far (circles and crosses under the picture) other than
# $1, the count before the last answer; sets $marks. A screenshot can take longer than the big
# mark stays, so only what lasts until the next answer is looked for. At the window's scale on
# this 1280 x 1024 screen, the small marks together stay under 5000 pixels, the big mark is more.
await_question() {
    for _ in $(seq 1 300); do
        import -window "$window" "$work/shot.png" 2>/dev/null
        marks=$(($(count_colour 'rgb(50,150,255)') + $(count_colour 'rgb(255,0,0)')))
        if [ "$marks" -lt 5000 ] && [ "$marks" -ne "$1" ] && [ "$(count_colour 'rgb(150,150,200)')" -gt 0 ]; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

n=0
marks=-1
for row in $(echo "$rows" | head -n 8); do
    n=$((n + 1))
    await_question "$marks" || fail "question $n did not wait for its answer"
    if [ "$n" -eq 1 ]; then
        xdotool key $((row + 1))
    else
        xdotool key $(((row + 1) % 5 + 1))
    fi
done

dialog=""
for _ in $(seq 1 100); do
    dialog=$(xdotool search --onlyvisible --name '^名前の入力$' 2>/dev/null | head -n 1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || fail "no name dialog after the last question"
eval "$(xdotool getwindowgeometry --shell "$dialog" | sed 's/^/DIALOG_/')"
xdotool mousemove $((DIALOG_X + DIALOG_WIDTH / 2)) $((DIALOG_Y + DIALOG_HEIGHT / 2))
sleep 1
xdotool type --delay 50 ai
xdotool key Return
for _ in $(seq 1 50); do
    [ -z "$(xdotool search --onlyvisible --name '^名前の入力$' 2>/dev/null || true)" ] && break
    sleep 0.1
done
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
sleep 1
xdotool key Return  # the results to the ranking
sleep 1
xdotool key Return  # the quiz file's own ranking to the overall one
sleep 1
xdotool key Return  # the ranking to the title
sleep 1
xdotool key ctrl+q
for _ in $(seq 1 50); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "Ctrl+Q did not quit"
wait "$game_pid" || fail "the game exited with an error"
game_pid=""

[ -s "$work/played.script" ] || fail "no recording written"
grep -qx 'name ai' "$work/played.script" || fail "the recording lacks the name"
"$replay" --record "$work/replayed.script" "$work/played.script" >"$work/replayed.jsonl" ||
    fail "quiz-replay could not play the recording"
diff -u "$work/played.script" "$work/replayed.script" >&2 || fail "the replay played another game"
grep -q '"ranking":\[{"name":"ai"' "$work/replayed.jsonl" || fail "the replayed ranking lacks the name: $(tail -n 1 "$work/replayed.jsonl")"
grep -q '^# t=[0-9]* Title' "$work/played.script" || fail "the game did not come back to the title"
echo "PASS: a game played in the window, recorded, replayed the same by quiz-replay"
