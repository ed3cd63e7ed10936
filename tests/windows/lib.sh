# What the checks of the Windows program under Wine share: an X server of
# their own with a window manager, Wine run quietly, the game's window found,
# photographed and compared with the golden pictures. Sourced by the scripts
# beside it, not run.
#
# Every Wine program runs without Wine's own diagnostics, without Mono and
# Gecko (which a fresh prefix would offer to install) and without Wine's
# menu builder, which would copy every Start-menu shortcut into the desktop
# menus of the machine running the checks.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
TORVEK_WINE=${TORVEK_WINE:-/usr/lib/wine/wine64}
[ -x "$TORVEK_WINE" ] || TORVEK_WINE=$(command -v wine64 || command -v wine)

check_failed() {
    echo "${TORVEK_CHECK_NAME:-windows check}: $*" >&2
    exit 1
}

check_step() {
    echo "${TORVEK_CHECK_NAME:-windows check}: $*"
}

# ---------------------------------------------------------------- the display

check_servers=()
# The native programs this script started: the relay, a player, a watcher.
check_programs=()

# Starts Xvfb (1280x1024, room for the 1024x768 window and its frame) on a
# free display, and openbox on it: keys reach the window that has the focus,
# and a window manager gives it. Exports DISPLAY.
start_display() {
    local display=140
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    check_servers+=($!)
    local _
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.05
    done
    [ -e "/tmp/.X11-unix/X$display" ] || check_failed "Xvfb did not start on :$display"
    export DISPLAY=":$display"
    openbox >/dev/null 2>&1 &
    check_servers+=($!)
    sleep 0.5
}

# Ends the native programs, the Wine session of WINEPREFIX and the X
# servers this script started.
stop_all() {
    if [ "${#check_programs[@]}" -gt 0 ]; then
        kill "${check_programs[@]}" 2>/dev/null || true
        wait "${check_programs[@]}" 2>/dev/null || true
    fi
    check_programs=()
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    if [ "${#check_servers[@]}" -gt 0 ]; then
        kill "${check_servers[@]}" 2>/dev/null || true
        wait "${check_servers[@]}" 2>/dev/null || true
    fi
    check_servers=()
# The native programs this script started: the relay, a player, a watcher.
check_programs=()
}

# ---------------------------------------------------------------- the game's window

# Prints the X window of the game (its title is the program's name), once it
# is on screen at 1024x768, waiting up to 30 s.
game_window() {
    local window _ size
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name '^torvek$' 2>/dev/null | head -n 1 || true)
        if [ -n "$window" ]; then
            size=$(xwininfo -id "$window" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
            [ "$size" = 1024x768 ] && { echo "$window"; return 0; }
        fi
        sleep 0.1
    done
    check_failed "no 1024x768 window named torvek appeared within 30 s (last size: ${size:-none})"
}

# Writes the window's picture (its inside, without the frame) as a PNG.
photograph() {
    import -window "$1" "$2" 2>/dev/null || check_failed "could not photograph window $1"
}

# Prints how many pixels of the PNG differ from the golden picture NAME of
# tests/shell/golden enlarged four times, each pixel a block of 4x4.
differs_from_golden() {
    local picture=$1 name=$2 enlarged
    enlarged="${picture%.png}.golden4x.png"
    convert "$TORVEK_GOLDEN_DIR/$name.png" -filter point -resize 400% "$enlarged"
    compare -metric AE "$picture" "$enlarged" null: 2>&1 || true
}

# Waits up to 10 s for the window to show the golden picture NAME at 4x,
# photographing it into PNG; fails with the last difference.
expect_golden() {
    local window=$1 name=$2 picture=$3 difference _
    for _ in $(seq 20); do
        photograph "$window" "$picture"
        difference=$(differs_from_golden "$picture" "$name")
        [ "$difference" = 0 ] && return 0
        sleep 0.5
    done
    check_failed "the window is not the golden $name picture at 4x: $difference pixels differ (see $picture)"
}

# Prints how many pixels of the PNG are not the same as the pixel at the top
# left of their 4x4 block: 0 for a picture enlarged exactly four times.
pixels_off_the_4x_grid() {
    local blocks="${1%.png}.blocks.png"
    convert "$1" -filter point -resize 25% -filter point -resize 400% "$blocks"
    compare -metric AE "$1" "$blocks" null: 2>&1 || true
}

# Prints how many pixels of the game's board differ between two photographs
# of the window: the cells of the board and what stands on them.
board_difference() {
    local crop=432x184+304+440
    convert "$1" -crop "$crop" +repage "${1%.png}.board.png"
    convert "$2" -crop "$crop" +repage "${2%.png}.board.png"
    compare -metric AE "${1%.png}.board.png" "${2%.png}.board.png" null: 2>&1 || true
}

# Gives the window the focus, then types the keys (xdotool's names).
press() {
    local window=$1
    shift
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
    local key
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.3
    done
}

# Waits up to 10 s for a child of this shell to end and sets exit_status to
# its status ("timeout" when it goes on). Not in a subshell: only the shell
# that started it can read its status.
await_exit() {
    local pid=$1 _
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        exit_status=timeout
        return
    fi
    exit_status=0
    wait "$pid" || exit_status=$?
}

# Prints the first line of FILE that matches the extended regular expression,
# waiting up to SECONDS for it; fails when none came. Windows' line ends
# (CR LF) are read as Linux's.
wait_for_line() {
    local file=$1 pattern=$2 seconds=$3 line _
    for _ in $(seq $((seconds * 10))); do
        line=$(tr -d '\r' <"$file" 2>/dev/null | grep -E -m 1 -- "$pattern" || true)
        [ -n "$line" ] && { echo "$line"; return 0; }
        sleep 0.1
    done
    return 1
}
