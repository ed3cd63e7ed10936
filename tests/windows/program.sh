#!/usr/bin/env bash
# The real torvek.exe of the release folder under Wine, as a player meets
# it: copied into a folder whose name has letters beyond ASCII and started
# from another folder, it finds its data beside itself; --help, --version and
# a wrong option answer in the console it was started from, and through a
# pipe, with the exit statuses of the Linux program; in a window on an X
# server of its own it shows the golden title at 4x pixel for pixel, keys
# typed with xdotool walk into a match and place a piece, and Escape ends it
# with status 0.
#
#   tests/windows/program.sh RELEASE_FOLDER CONSOLE_PARENT_EXE OUTPUT_FOLDER
#
# WINEPREFIX names a Wine prefix (made when missing). The renderer is SDL's
# software one, whose pictures are exact (the default, Direct3D, goes
# through Wine's OpenGL here). The photographs are left in OUTPUT_FOLDER.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
TORVEK_CHECK_NAME="windows program"
TORVEK_GOLDEN_DIR=$here/../shell/golden
# shellcheck source=lib.sh
source "$here/lib.sh"

release=$(cd "$1" && pwd)
console_parent=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
mkdir -p "$3"
out=$(cd "$3" && pwd)
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix to run in}"
export WINEPREFIX
version=$(sed -n 's/^TORVEK \([^ ]*\) for Windows.*/\1/p' "$release/README.txt")

rm -rf "$out"
place="$out/Spielstände für zwei/TORVEK"
mkdir -p "$place" "$out/elsewhere"
cp -R "$release/." "$place/"
exe=$place/torvek.exe
cd "$out/elsewhere"

trap stop_all EXIT
start_display
# A Wine session started here knows the display's size.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

# ---- the console
# Wine names a Unix path Z:\ and the rest.
windows_exe="Z:${exe//\//\\}"
expect_answer() {
    local status=$1 text=$2
    shift 2
    local answer got=0
    answer=$("$TORVEK_WINE" "$console_parent" "$windows_exe" "$@" 2>&1 | tr -d '\r') && got=0 || got=$?
    [ "$got" = "$status" ] || check_failed "torvek.exe $* from a console: status $got, not $status"
    [[ "$answer" == *"$text"* ]] || check_failed "torvek.exe $* from a console showed: $answer"
    answer=$("$TORVEK_WINE" "$exe" "$@" 2>&1 | tr -d '\r') && got=0 || got=$?
    [ "$got" = "$status" ] || check_failed "torvek.exe $* into a pipe: status $got, not $status"
    [[ "$answer" == *"$text"* ]] || check_failed "torvek.exe $* into a pipe wrote: $answer"
}
expect_answer 0 "torvek $version" --version
expect_answer 0 "Usage: torvek [options]" --help
expect_answer 2 "--level easy hard: expected easy, medium or hard" "--level=easy hard"
check_step "--version, --help and a wrong option answer in a console and a pipe"

# ---- the window
SDL_RENDER_DRIVER=software "$TORVEK_WINE" "$exe" >"$out/game.log" 2>&1 &
game=$!
window=$(game_window)
expect_golden "$window" title "$out/title.png"
check_step "the title is the golden picture at 4x, pixel for pixel"

press "$window" Return n
sleep 1
photograph "$window" "$out/match.png"
sleep 1
photograph "$window" "$out/match-later.png"
[ "$(board_difference "$out/match.png" "$out/match-later.png")" = 0 ] ||
    check_failed "the board changed while nobody moved (see $out/match.png, $out/match-later.png)"
press "$window" space space
# The piece's move plays out in pictures a second apart.
sleep 3
photograph "$window" "$out/placed.png"
[ "$(board_difference "$out/match.png" "$out/placed.png")" != 0 ] ||
    check_failed "Enter, N, Space, Space placed no piece on the board (see $out/placed.png)"
for picture in match placed; do
    off=$(pixels_off_the_4x_grid "$out/$picture.png")
    [ "$off" = 0 ] || check_failed "$picture.png is not a picture enlarged 4x: $off pixels off its grid"
done
check_step "keys walk into a match and place a piece, every picture at 4x"

press "$window" Escape
status=$(exit_status_of "$game")
[ "$status" = 0 ] || check_failed "Escape ended the game with status $status (log: $out/game.log)"
[ ! -s "$out/game.log" ] || check_failed "the game logged: $(head -c 400 "$out/game.log")"
check_step "Escape quits with status 0"
