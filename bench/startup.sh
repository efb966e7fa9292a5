#!/bin/sh
# Start-up benchmark: starts the game and a bare Qt window (bench/BareWindow.cpp) in turn, RUNS
# times each, on Qt's offscreen platform and on a private X server, and prints the median CPU
# time and peak resident size of each at its first painted frame, and the game's ratio to the
# bare window. Usage, after a build (under a minute; not part of the test run):
#   bench/startup.sh [BUILD_DIR] [RUNS]
#
# The frame: both programs carry the same probe (shell/FirstFrame.h). It watches the
# paint events of the widget that shows the picture; at the first one showing a ready picture
# (for the game, once the title has been painted into its picture) it waits until the window's
# update has copied the painted widgets to the window, then writes getrusage's CPU time (user +
# system, every thread) and peak RSS to the file in PERNA_FIRST_FRAME_REPORT and exits.
#
# The whole life: each program also runs LIFE_MS (1500) milliseconds in a fresh HOME and is ended
# with SIGTERM; its CPU time is what the kernel counted for it once reaped (exit included, as the
# shell's `times` reports for its children), its peak RSS the kernel's high-water mark just before
# the signal. The shell's own `sleep` is counted with it, alike for both programs. bash's `times`
# reads getrusage to the microsecond, where dash's counts 10 ms ticks.
set -eu

build=${1:-build}
runs=${2:-10}
game="$build/shell/pocketperna"
bare="$build/bench/bare_window"
for program in "$game" "$bare"; do
    [ -x "$program" ] || { echo "startup.sh: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d)
. "$(dirname "$0")/../tools/private_x.sh"
clean_up_on_exit "$work"
use_fresh_home "$work"

# Runs a program once to its first frame; prints "CPU_US RSS_KB".
measure() {
    report="$work/report"
    rm -f "$report"
    # Fresh runtime and temporary folders: the single-instance socket lives in the temporary
    # folder, and a copy of the game running elsewhere on the machine must not answer it.
    mkdir -m 700 "$work/program-run" "$work/program-tmp"
    XDG_RUNTIME_DIR="$work/program-run" TMPDIR="$work/program-tmp" PERNA_FIRST_FRAME_REPORT="$report" \
        timeout 30 "$@" >/dev/null 2>"$work/stderr" || true
    rm -rf "$work/program-run" "$work/program-tmp"
    if [ ! -s "$report" ]; then
        echo "startup.sh: no report from $1:" >&2
        cat "$work/stderr" >&2
        return 1
    fi
    sed 's/cpu_us=\([0-9]*\) maxrss_kb=\([0-9]*\)/\1 \2/' "$report"
}

# Runs a program for LIFE_MS in a fresh HOME, ends it with SIGTERM; prints "CPU_US RSS_KB".
life() {
    rm -rf "$work/life"
    mkdir -p "$work/life/home/Documents"
    mkdir -m 700 "$work/life/run" "$work/life/tmp"
    HOME="$work/life/home" XDG_CONFIG_HOME="$work/life/home/.config" XDG_DATA_HOME="$work/life/home/.local/share" \
        XDG_RUNTIME_DIR="$work/life/run" TMPDIR="$work/life/tmp" LIFE_S="$(awk -v m="${LIFE_MS:-1500}" 'BEGIN { print m / 1000 }')" \
        bash -c '
        "$@" >/dev/null 2>&1 &
        pid=$!
        sleep "$LIFE_S"
        rss=0
        while read -r key value _; do
            [ "$key" = "VmHWM:" ] && rss=$value
        done <"/proc/$pid/status"
        kill -TERM "$pid"
        wait "$pid" || true
        # The second line of `times`: the children reaped, user then system, as 0m0.123456s. Not in
        # a pipeline, whose subshell would have no children.
        times >"$TMPDIR/times"
        sed -n 2p "$TMPDIR/times" | awk -v rss="$rss" "{
            split(\$1, u, /[ms]/); split(\$2, s, /[ms]/)
            printf \"%d %d\\n\", (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000000, rss
        }"
    ' sh "$@" 2>/dev/null
}

# The median of column $1 of file $2.
median() {
    sort -g -k "$1" "$2" | awk -v c="$1" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

# Measures both programs on the platform the environment selects; $1 names it in the output.
# They run in turn, so that a busy machine slows both alike; the ratios are the medians of the
# ratios of each pair of runs.
compare() {
    name=$1
    : >"$work/pairs"
    # One start each first, so that both find the page cache and the settings file warm.
    measure "$game" >/dev/null
    measure "$bare" >/dev/null
    i=0
    while [ "$i" -lt "$runs" ]; do
        b=$(measure "$bare")
        g=$(measure "$game")
        echo "$g $b" | awk '{ print $1, $2, $3, $4, $1 / $3, $2 / $4 }' >>"$work/pairs"
        i=$((i + 1))
    done
    awk -v n="$name" -v r="$runs" -v gc="$(median 1 "$work/pairs")" -v gr="$(median 2 "$work/pairs")" \
        -v bc="$(median 3 "$work/pairs")" -v br="$(median 4 "$work/pairs")" \
        -v cr="$(median 5 "$work/pairs")" -v rr="$(median 6 "$work/pairs")" 'BEGIN {
        printf "%-9s  runs %d  CPU to first frame: game %6.1f ms, bare %6.1f ms, ratio %.2f\n", n, r, gc / 1000, bc / 1000, cr
        printf "%-9s          peak RSS:           game %6.1f MB, bare %6.1f MB, ratio %.2f\n", "", gr / 1024, br / 1024, rr
    }'
    : >"$work/lives"
    i=0
    while [ "$i" -lt "$runs" ]; do
        b=$(life "$bare")
        g=$(life "$game")
        echo "$g $b" | awk '{ print $1, $2, $3, $4, $1 / $3, $2 / $4 }' >>"$work/lives"
        i=$((i + 1))
    done
    awk -v n="$name" -v gc="$(median 1 "$work/lives")" -v gr="$(median 2 "$work/lives")" \
        -v bc="$(median 3 "$work/lives")" -v br="$(median 4 "$work/lives")" \
        -v cr="$(median 5 "$work/lives")" -v rr="$(median 6 "$work/lives")" -v ms="${LIFE_MS:-1500}" 'BEGIN {
        printf "%-9s          CPU, %d ms life:   game %6.1f ms, bare %6.1f ms, ratio %.2f\n", "", ms, gc / 1000, bc / 1000, cr
        printf "%-9s          peak RSS, life:     game %6.1f MB, bare %6.1f MB, ratio %.2f\n", "", gr / 1024, br / 1024, rr
    }'
}

QT_QPA_PLATFORM=offscreen compare offscreen

start_private_x "$work/xvfb.log" || { echo "startup.sh: cannot start Xvfb" >&2; exit 1; }
QT_QPA_PLATFORM=xcb compare xvfb
