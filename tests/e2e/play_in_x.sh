#!/bin/sh
# Plays one question of the sample quiz in the real program on a private X server: open it
# from the command line, answer by clicking, see the judgement on screen, quit with Ctrl+Q.
# Usage: play_in_x.sh POCKETPERNA SAMPLE.kqd
set -eu

program=$1
quiz=$2
work=$(mktemp -d)
. "$(dirname "$0")/../../tools/private_x.sh"
clean_up_on_exit "$work"

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/game.log" ] && sed 's/^/  game: /' "$work/game.log" >&2
    [ -f "$work/xvfb.log" ] && sed "s/^/  xvfb: /" "$work/xvfb.log" >&2
    exit 1
}

start_private_x "$work/xvfb.log" || fail "Xvfb did not start"

# A fresh home, with options that let the test take its time: no time limit, no reveal.
use_fresh_home "$work"
settings="$HOME/Documents/ポケットペルナ.txt"
printf '1,0,0,0,0\r\n' >"$settings"
for _ in 1 2 3 4 5 6 7 8 9 10; do printf ',0\r\n' >>"$settings"; done
cp "$settings" "$work/settings.before"

SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" "$quiz" >"$work/game.log" 2>&1 &
game_pid=$!

window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^ポケットペルナ$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended at start"
    sleep 0.1
done
[ -n "$window" ] || fail "the game window did not appear"

# The picture fills the window below the menu bar at a whole scale.
eval "$(xdotool getwindowgeometry --shell "$window")"
scale=$((WIDTH / 240))
[ "$scale" -ge 1 ] || fail "window too narrow: ${WIDTH}x${HEIGHT}"
top=$((HEIGHT - 268 * scale))
[ "$top" -ge 0 ] || fail "window too short for the picture: ${WIDTH}x${HEIGHT} at scale $scale"

shot() { import -window root "$1" 2>/dev/null; }
# Counts the pixels of one exact colour in a screenshot.
count_colour() {
    convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Intro card (25 ticks) and loading, then the question waits: no time limit.
sleep 3
shot "$work/question.png"
[ "$(count_colour "$work/question.png" 'rgb(150,150,200)')" -gt 0 ] || fail "no choice rows on screen"

# Row 2 lies between y 100 and 130 in the picture: tap it twice to highlight and confirm.
x=$((X + 120 * scale))
y=$((Y + top + 115 * scale))
xdotool mousemove "$x" "$y" click 1
sleep 0.3
xdotool mousemove "$x" "$y" click 1

judged=""
for _ in $(seq 1 20); do
    sleep 0.1
    shot "$work/judged.png"
    circle=$(count_colour "$work/judged.png" 'rgb(50,150,255)')
    cross=$(count_colour "$work/judged.png" 'rgb(255,0,0)')
    if [ "$circle" -gt 2000 ] || [ "$cross" -gt 2000 ]; then
        judged=yes
        break
    fi
done
[ -n "$judged" ] || fail "no circle or cross after answering"

# Keys go to the window under the pointer: there is no window manager to give focus.
xdotool mousemove "$x" "$y" key ctrl+q
for _ in $(seq 1 50); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$game_pid" 2>/dev/null; then fail "Ctrl+Q did not quit"; fi
wait "$game_pid" || fail "the game exited with an error"
game_pid=""

cmp -s "$settings" "$work/settings.before" || fail "the settings file changed without a ranking entry"
echo "PASS: answered a question in a real window and quit"
