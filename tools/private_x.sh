# Shell functions for running the game on a private X server with a fresh home folder.
# Sourced by the end-to-end test and by screenshots.sh.

xvfb_pid=""
game_pid=""

# At exit, stops the game (`game_pid`) and the X server, and removes the folder $1.
clean_up_on_exit() {
    clean_up_folder=$1
    trap 'clean_up' EXIT INT TERM
}
clean_up() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$clean_up_folder"
}

# Starts Xvfb on a display nobody uses, exports DISPLAY and sets xvfb_pid. $1: its log file.
start_private_x() {
    display=""
    for n in $(seq 91 190); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            display=":$n"
            break
        fi
    done
    [ -n "$display" ] || return 1
    # -noreset: the server would otherwise reset when the readiness probe disconnects, and a
    # client connecting during the reset is refused.
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$1" 2>&1 &
    xvfb_pid=$!
    export DISPLAY="$display"
    for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# Makes $1 the home folder, with an empty Documents folder and a runtime folder.
use_fresh_home() {
    export HOME="$1/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_RUNTIME_DIR="$1/run"
    unset XDG_DOCUMENTS_DIR || true
    mkdir -p "$HOME/Documents" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}
