#!/bin/sh
# In the real program on a private X server: a quiz file handed over during a game asks first
# (No keeps the game, Yes opens the file), and a study run quit midway is offered at the next
# start and goes on (the question and counts it goes on with are the shell tests' to check).
# Usage: control_in_x.sh POCKETPERNA SAMPLE.kqd
set -eu

program=$1
quiz=$2
work=$(mktemp -d)
. "$(dirname "$0")/../../tools/private_x.sh"
clean_up_on_exit "$work"

fail() {
    echo "FAIL: $*" >&2
    [ -n "$game_pid" ] && ! kill -0 "$game_pid" 2>/dev/null && echo "  the game is no longer running" >&2
    [ -f "$work/game.log" ] && sed 's/^/  game: /' "$work/game.log" >&2
    exit 1
}

start_private_x "$work/xvfb.log" || fail "Xvfb did not start"
use_fresh_home "$work"
# Study mode without a time limit or reveal, so the test takes its time.
settings="$HOME/Documents/ポケットペルナ.txt"
printf '1,0,0,0,1\r\n' >"$settings"
for _ in 1 2 3 4 5 6 7 8 9 10; do printf ',0\r\n' >>"$settings"; done
cp "$quiz" "$work/a.kqd"
cp "$quiz" "$work/b.kqd"

# Waits up to 10 s for a visible window named exactly $1 and puts it in $found.
await_named() {
    found=""
    for _ in $(seq 1 100); do
        found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
        [ -n "$found" ] && return 0
        sleep 0.1
    done
    return 1
}
gone() {
    for _ in $(seq 1 50); do
        [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true)" ] && return 0
        sleep 0.1
    done
    return 1
}
# Keys go to the window under the pointer: there is no window manager to give focus.
point_at() {
    eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/AT_/')"
    xdotool mousemove $((AT_X + AT_WIDTH / 2)) $((AT_Y + AT_HEIGHT / 2))
}
count_rows() {
    import -window "$window" "$work/shot.png" 2>/dev/null || { echo 0; return; }
    convert "$work/shot.png" -fill black +opaque 'rgb(150,150,200)' -fill white -opaque 'rgb(150,150,200)' \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}
await_rows() {
    for _ in $(seq 1 100); do
        [ "$(count_rows)" -gt 0 ] && return 0
        sleep 0.1
    done
    return 1
}
start_game() {
    SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" "$@" >>"$work/game.log" 2>&1 &
    game_pid=$!
    await_named "ポケットペルナ" || fail "no game window"
    window=$found
}
quit_game() {
    point_at "$window"
    xdotool key ctrl+q
    for _ in $(seq 1 50); do
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$game_pid" 2>/dev/null && fail "Ctrl+Q did not quit"
    wait "$game_pid" || fail "the game exited with an error"
    game_pid=""
}
hand_over() {
    timeout 20 env SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" "$1" >>"$work/game.log" 2>&1 ||
        fail "the second start did not hand over"
}

start_game "$work/a.kqd"
await_rows || fail "no question on screen"

hand_over "$work/b.kqd"
await_named "確認" || fail "the handed-over file opened without asking"
point_at "$found"
xdotool key Escape
gone "確認" || fail "Escape did not close the question"

hand_over "$work/b.kqd"
await_named "確認" || fail "the second hand-over did not ask"
point_at "$found"
xdotool key alt+y
gone "確認" || fail "Alt+Y did not answer the question"

# Now on b.kqd: quit during its first question; the study run keeps its place.
await_rows || fail "no question of the handed-over file"
quit_game

recent=$(cat "$XDG_CONFIG_HOME/pocketperna/pocketperna.ini")
case "$recent" in *b.kqd*a.kqd*) ;; *) fail "the recent files do not show b.kqd opened after a.kqd: $recent" ;; esac
kept=$(find "$HOME" -name resume.json | head -n 1)
[ -n "$kept" ] || fail "the study run kept no place"
grep -q '"question":0' "$kept" || fail "the kept place is not the first question: $(cat "$kept")"

start_game
await_named "続きから" || fail "the next start offered no 続きから"
point_at "$found"
xdotool key Return
gone "続きから" || fail "Return did not take up the offer"
await_rows || fail "the kept run did not go on"
[ -e "$kept" ] && fail "the kept place stayed after it was taken up"
quit_game
echo "PASS: a handed-over file asked first, and a study run went on after a restart"
