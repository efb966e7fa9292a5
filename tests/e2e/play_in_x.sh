#!/bin/sh
# Starts the game without a file and sees it wait on the title until Return starts the sample.
# Plays one question of the sample quiz in the real program on a private X server: open it
# from the command line, answer by clicking, see the judgement on screen, quit with Ctrl+Q.
# Meanwhile another copy runs for the same user with another HOME, as when the tests run beside
# a player's game: both must run, each on its own settings. A second start with the same HOME
# hands its file to the running copy instead.
# Usage: play_in_x.sh POCKETPERNA SAMPLE.kqd
set -eu

program=$1
quiz=$2
work=$(mktemp -d)
. "$(dirname "$0")/../../tools/private_x.sh"
clean_up_on_exit "$work"
other_pid=""
trap '[ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null; clean_up' EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/game.log" ] && sed 's/^/  game: /' "$work/game.log" >&2
    [ -f "$work/other.log" ] && sed 's/^/  other copy: /' "$work/other.log" >&2
    [ -f "$work/xvfb.log" ] && sed "s/^/  xvfb: /" "$work/xvfb.log" >&2
    exit 1
}

start_private_x "$work/xvfb.log" || fail "Xvfb did not start"

# The visible game window of process $1, or nothing yet.
game_window() {
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
        if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "ポケットペルナ" ]; then
            echo "$w"
            return
        fi
    done
}

# Waits up to 10 s for the window of process $1 and puts it in $window; $2 names the copy in the
# failure messages.
await_window() {
    window=""
    for _ in $(seq 1 100); do
        window=$(game_window "$1")
        [ -n "$window" ] && return 0
        kill -0 "$1" 2>/dev/null || fail "$2 ended at start"
        sleep 0.1
    done
    fail "the window of $2 did not appear"
}

shot() { import -window root "$1" 2>/dev/null; }
# Counts the pixels of one exact colour in a screenshot.
count_colour() {
    convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Started without a file and with no quiz played yet, the game waits on its title until the
# player presses Return, then plays the sample installed beside it.
title_home="$work/title"
mkdir -p "$title_home/Documents" "$title_home/run"
chmod 700 "$title_home/run"
HOME="$title_home" XDG_CONFIG_HOME="$title_home/.config" XDG_DATA_HOME="$title_home/.local/share" \
    XDG_RUNTIME_DIR="$title_home/run" SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" >"$work/title.log" 2>&1 &
game_pid=$!
await_window "$game_pid" "the game started without a file"
title_window=$window
sleep 2
import -window "$title_window" "$work/title.png" 2>/dev/null
[ "$(count_colour "$work/title.png" 'rgb(150,150,200)')" -eq 0 ] || fail "a game started without a key: choice rows on screen"
eval "$(xdotool getwindowgeometry --shell "$title_window" | sed 's/^/TITLE_/')"
xdotool mousemove $((TITLE_X + TITLE_WIDTH / 2)) $((TITLE_Y + TITLE_HEIGHT / 2)) key Return
started=""
for _ in $(seq 1 150); do
    import -window "$title_window" "$work/started.png" 2>/dev/null
    if [ "$(count_colour "$work/started.png" 'rgb(150,150,200)')" -gt 0 ]; then
        started=yes
        break
    fi
    sleep 0.1
done
[ -n "$started" ] || fail "Return on the title did not start the installed sample"
xdotool key ctrl+q
for _ in $(seq 1 50); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "Ctrl+Q did not quit the game started from the title"
game_pid=""

# A fresh home, with options that let the test take its time: no time limit, no reveal.
use_fresh_home "$work"
settings="$HOME/Documents/ポケットペルナ.txt"
printf '1,0,0,0,0\r\n' >"$settings"
for _ in 1 2 3 4 5 6 7 8 9 10; do printf ',0\r\n' >>"$settings"; done
cp "$settings" "$work/settings.before"

# The other copy: the same user and runtime folder, another HOME.
other_home="$work/other"
mkdir -p "$other_home/Documents"
other_settings="$other_home/Documents/ポケットペルナ.txt"
HOME="$other_home" XDG_CONFIG_HOME="$other_home/.config" XDG_DATA_HOME="$other_home/.local/share" \
    SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" >"$work/other.log" 2>&1 &
other_pid=$!
await_window "$other_pid" "the other copy"
[ -f "$other_settings" ] || fail "the other copy wrote no settings file of its own"
cp "$other_settings" "$work/other.before"

SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" "$quiz" >"$work/game.log" 2>&1 &
game_pid=$!

await_window "$game_pid" "the game (handed to the copy of another HOME?)"

# The picture fills the window below the menu bar at a whole scale.
eval "$(xdotool getwindowgeometry --shell "$window")"
scale=$((WIDTH / 240))
[ "$scale" -ge 1 ] || fail "window too narrow: ${WIDTH}x${HEIGHT}"
top=$((HEIGHT - 268 * scale))
[ "$top" -ge 0 ] || fail "window too short for the picture: ${WIDTH}x${HEIGHT} at scale $scale"

# Waits until a screenshot shows more than MIN pixels of COLOUR: wait_for_colour FILE COLOUR MIN
wait_for_colour() {
    for _ in $(seq 1 100); do
        shot "$1"
        [ "$(count_colour "$1" "$2")" -gt "$3" ] && return 0
        sleep 0.1
    done
    return 1
}

# Intro card (25 ticks) and loading, then the question waits: no time limit.
wait_for_colour "$work/question.png" 'rgb(150,150,200)' 0 || fail "no choice rows on screen"

# Row 2 lies between y 100 and 130 in the picture: tap it twice to highlight and confirm.
x=$((X + 120 * scale))
y=$((Y + top + 115 * scale))
xdotool mousemove "$x" "$y" click 1
# The lit button of the highlighted row, before the second tap.
wait_for_colour "$work/highlighted.png" 'rgb(255,150,50)' 0 || fail "the tapped row was not highlighted"
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

# A second start with the same HOME hands its file to the running copy and ends; the file is
# missing, so the running copy shows the load error and plays on.
timeout 20 env SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" "$work/missing.kqd" >"$work/second.log" 2>&1 ||
    fail "the second start did not hand over and end: $(cat "$work/second.log")"
box=""
for _ in $(seq 1 50); do
    box=$(xdotool search --onlyvisible --name '^ファイルの読み込みエラー$' 2>/dev/null | head -n 1 || true)
    [ -n "$box" ] && break
    sleep 0.1
done
[ -n "$box" ] || fail "the running copy showed no load error for the handed-over file"
# Keys go to the window under the pointer: there is no window manager to give focus.
eval "$(xdotool getwindowgeometry --shell "$box" | sed 's/^/BOX_/')"
xdotool mousemove $((BOX_X + BOX_WIDTH / 2)) $((BOX_Y + BOX_HEIGHT / 2)) key Return
for _ in $(seq 1 30); do
    [ -z "$(xdotool search --onlyvisible --name '^ファイルの読み込みエラー$' 2>/dev/null || true)" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^ファイルの読み込みエラー$' 2>/dev/null || true)" ] ||
    fail "the load error did not close with Return"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended after the refused file"

xdotool mousemove "$x" "$y" key ctrl+q
for _ in $(seq 1 50); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$game_pid" 2>/dev/null; then fail "Ctrl+Q did not quit"; fi
wait "$game_pid" || fail "the game exited with an error"
game_pid=""

cmp -s "$settings" "$work/settings.before" || fail "the settings file changed without a ranking entry"
kill -0 "$other_pid" 2>/dev/null || fail "the other copy did not keep running"
cmp -s "$other_settings" "$work/other.before" || fail "the other copy's settings file changed"
echo "PASS: answered a question in a real window beside another HOME's copy, handed a file over, and quit"
