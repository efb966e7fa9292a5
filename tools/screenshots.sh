#!/bin/sh
# Makes the README's pictures: the contact sheet of every screen (screens.png), painted by
# quiz-replay from the committed golden scripts, then screenshots of the real game window on a
# private X server at scale 2: the title, the ゲーム menu, the resume offer, the question before
# opening another file, a question, the settings dialog, a results screen, the quiz file's and
# the overall ranking and the missed-questions dialog. Usage, after a build:
#   tools/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -eu

build=${1:-build}
out=${2:-docs}
program="$build/shell/pocketperna"
kqd="$build/tools/kqd/kqd"
replay="$build/tools/replay/quiz-replay"
golden="$(dirname "$0")/../tests/golden"
work=$(mktemp -d)
mkdir -p "$out"
. "$(dirname "$0")/private_x.sh"
clean_up_on_exit "$work"


start_private_x /dev/null
use_fresh_home "$work"
# The single-instance socket lives in the temporary folder: a copy of the game started elsewhere
# on the machine must not answer the second start below.
export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"

# The contact sheet. Three golden games share one documents folder, so that the ranking holds
# the names of the first two.
mkdir -p "$work/sheet"
cp "$build/samples/sample.kqd" "$build/tests/golden/small.kqd" "$golden"/*.script "$work/sheet/"
for game in sample-game sample-gameover-refusals small-study; do
    QT_QPA_PLATFORM=offscreen "$replay" --documents "$work/sheet/documents" --frames "$work/sheet/$game" \
        --scale 2 "$work/sheet/$game.script" >/dev/null
done
# Frame N of screen $2 in game $1 ("last" for the last one), by paint order.
frame() { ls "$work/sheet/$1"/*-"$2".png | if [ "$3" = last ]; then tail -n 1; else sed -n "$3p"; fi; }
# The last Answering frame before the first Judging of game $1: the question with a choice lit.
answering() {
    judged=$(basename "$(frame "$1" Judging 1)" | cut -d- -f1)
    for f in "$work/sheet/$1"/*-Answering.png; do
        [ "$(basename "$f" | cut -d- -f1)" -lt "$judged" ] && last=$f
    done
    echo "$last"
}
# The first Judging frame of game $1 showing the red cross, at its middle (130, 140).
cross() {
    for f in "$work/sheet/$1"/*-Judging.png; do
        [ "$(convert "$f" -format '%[hex:p{260,280}]' info:)" = FF0000 ] && { echo "$f"; return; }
    done
}
montage -font DejaVu-Sans -pointsize 16 -background '#dddddd' -geometry +6+6 -tile 4x3 \
    -label Title "$(frame sample-game Title 1)" \
    -label QuestionIntro "$(frame sample-game QuestionIntro 1)" \
    -label RevealQuestion "$(frame sample-game RevealQuestion 8)" \
    -label Answering "$(answering sample-game)" \
    -label 'Judging (right)' "$(frame sample-game Judging 1)" \
    -label 'Judging (wrong)' "$(cross sample-game)" \
    -label ShowCorrect "$(frame sample-game ShowCorrect 1)" \
    -label LevelClear "$(frame sample-game LevelClear 1)" \
    -label 'Answering (study)' "$(answering small-study)" \
    -label GameOver "$(frame sample-gameover-refusals GameOver 1)" \
    -label AllClear "$(frame sample-game AllClear 1)" \
    -label Ranking "$(frame sample-gameover-refusals Ranking last)" \
    "$out/screens.png"

# A short study quiz from the sample's first question of each genre, so a run ends quickly.
awk -F '\t' '!/^#/ && NF == 7 && !seen[$1]++' samples/sample.tsv >"$work/short.tsv"
"$kqd" build "$work/short.tsv" -o "$HOME/Documents/short.kqd" >/dev/null
# Study mode, no time limit, gradual reveal on.
settings="$HOME/Documents/ポケットペルナ.txt"
printf '1,1,0,1,1\r\n' >"$settings"
# An overall ranking from earlier games, so that it differs from the new quiz file's own.
printf 'Taro,360\r\nYuki,90\r\nKen,10\r\n' >>"$settings"
for _ in 1 2 3 4 5 6 7; do printf ',0\r\n' >>"$settings"; done
# Scale 2 keeps the pictures small; the window would otherwise take the largest that fits.
mkdir -p "$XDG_CONFIG_HOME/pocketperna"
printf '[window]\nscale=2\n' >"$XDG_CONFIG_HOME/pocketperna/pocketperna.ini"

find_window() {
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window named $1" >&2
    return 1
}
shoot() { import -window "$1" "$out/$2"; }
# The game window with whatever menu or dialog of the game stands over it, as a player sees it:
# every window the game shows, on a plain ground where none of them is.
shoot_over() {
    left=100000 top_edge=100000 right=0 bottom=0 pieces=""
    for id in $(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" | sed 's/^/AT_/')"
        [ "$AT_WIDTH" -gt 1 ] || continue
        pieces="$pieces $AT_X,$AT_Y,$AT_WIDTH,$AT_HEIGHT"
        [ "$AT_X" -lt "$left" ] && left=$AT_X
        [ "$AT_Y" -lt "$top_edge" ] && top_edge=$AT_Y
        [ $((AT_X + AT_WIDTH)) -gt "$right" ] && right=$((AT_X + AT_WIDTH))
        [ $((AT_Y + AT_HEIGHT)) -gt "$bottom" ] && bottom=$((AT_Y + AT_HEIGHT))
    done
    import -window root "$work/screen.png"
    set -- "$out/$1" -size $((right - left))x$((bottom - top_edge)) xc:'#d8d8d8'
    for piece in $pieces; do
        IFS=, read -r px py pw ph <<EOF_PIECE
$piece
EOF_PIECE
        set -- "$@" '(' "$work/screen.png" -crop "${pw}x${ph}+$px+$py" +repage ')' \
            -geometry "+$((px - left))+$((py - top_edge))" -composite
    done
    picture=$1
    shift
    convert "$@" "$picture"
}
# Keys go to the window under the pointer: there is no window manager to give focus.
point_at() {
    eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/AT_/')"
    xdotool mousemove $((AT_X + AT_WIDTH / 2)) $((AT_Y + AT_HEIGHT / 2))
}
# Starts the game and finds its window, where the picture lies in it and its scale.
start_game() {
    SDL_AUDIODRIVER=dummy "$program" --seed 7 "$@" >/dev/null 2>&1 &
    game_pid=$!
    window=$(find_window '^ポケットペルナ$')
    eval "$(xdotool getwindowgeometry --shell "$window")"
    scale=$((WIDTH / 240))
    top=$((HEIGHT - 268 * scale))
}
tap() { xdotool mousemove $((X + $1 * scale)) $((Y + top + $2 * scale)) click 1; }

# A first start: the title, with the bundled sample ready to start.
start_game
sleep 1
shoot "$window" window-title.png

# Return starts the sample as a study run; its ゲーム menu leads back to the title.
point_at "$window"
xdotool key Return
sleep 3
xdotool key alt+g
sleep 0.5
shoot_over window-game-menu.png
xdotool key Escape
sleep 0.3

# Quitting keeps the study run's place, and the next start offers to go on from it.
xdotool key ctrl+q
wait "$game_pid" || true
start_game
dialog=$(find_window '^続きから$')
sleep 0.5
shoot_over window-resume.png
point_at "$dialog"
xdotool key Return
sleep 2

# A second start hands the quiz to the running copy, which asks before leaving the run.
SDL_AUDIODRIVER=dummy "$program" "$HOME/Documents/short.kqd" >/dev/null 2>&1
dialog=$(find_window '^確認$')
sleep 0.5
shoot_over window-confirm.png
point_at "$dialog"
xdotool key alt+y
sleep 4
tap 120 150
sleep 0.5
shoot "$window" window-question.png

# ツール > 設定..., by the menus' mnemonics: the menu bar's font grows with the picture's scale.
xdotool key alt+t
sleep 0.5
xdotool key s
dialog=$(find_window '^設定$')
sleep 0.5
shoot "$dialog" window-settings.png
xdotool key Escape
sleep 0.5

# The colour of one logical pixel of the game's picture, as "r,g,b".
pixel() {
    import -window "$window" -crop "1x1+$(($1 * scale))+$((top + $2 * scale))" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*(\([0-9]*,[0-9]*,[0-9]*\).*/\1/p' | head -n 1
}
# The question waits for an answer: the first button is drawn and no mark covers the rows.
answering() {
    button=$(pixel 13 67)
    [ -n "$button" ] && [ "$button" != "255,255,255" ] && [ "$(pixel 130 140)" != "255,0,0" ] &&
        [ "$(pixel 130 70)" != "50,150,255" ]
}
wait_until_answering() {
    for _ in $(seq 1 200); do
        answering && return 0
        sleep 0.1
    done
    return 1
}

# Answer every question with the third row, then enter a name if the score made the ranking.
tap 120 150
sleep 2.5
questions=0
while [ "$questions" -lt 8 ] && wait_until_answering; do
    questions=$((questions + 1))
    tap 120 150
    sleep 0.2
    tap 120 150
    sleep 2.5
done
if name=$(find_window '^名前の入力$'); then
    xdotool type --delay 50 'Hanako'
    sleep 0.3
    shoot "$name" window-name.png
    xdotool key Return
fi
sleep 1
shoot "$window" window-results.png
# The quiz file's own ranking comes first, then the overall one.
tap 120 150
sleep 0.5
shoot "$window" window-file-ranking.png
tap 120 150
sleep 0.5
shoot "$window" window-ranking.png

# Back on the title: ツール > 間違えた問題... lists the questions the run missed.
tap 120 150
sleep 0.5
xdotool key alt+t
sleep 0.5
xdotool key m
review=$(find_window '^間違えた問題$')
sleep 0.5
shoot "$review" window-review.png
xdotool key Escape
sleep 0.3
xdotool mousemove $((X + 120 * scale)) $((Y + top + 100 * scale)) key ctrl+q

# Smaller files, the pixels unchanged: only this script's pictures, the others are made elsewhere.
for picture in screens window-title window-game-menu window-resume window-confirm window-question \
    window-settings window-name window-results window-file-ranking window-ranking window-review; do
    convert "$out/$picture.png" -strip -define png:compression-level=9 "$out/$picture.png"
done
