#!/usr/bin/env bash
# The real torvek.exe of the release folder under Wine, as a player meets
# it: copied into a folder whose name has letters beyond ASCII and started
# from another folder, it finds its data beside itself; --help, --version and
# a wrong option answer in the console it was started from, and through a
# pipe, with the exit statuses of the Linux program; in a window on an X
# server of its own it shows the golden title at 4x pixel for pixel, keys
# typed with xdotool walk into a match and place a piece, and Escape ends it
# with status 0. A bad match record stops it with one line naming the file
# and the line, a short record replays and --record writes what was played.
# Online, against the Linux relay and a Linux player of NATIVE_BUILD_FOLDER
# (its server/torvek-relay and tests/torvek_online_player), it makes a room
# and waits for a friend, and it joins a room and places a piece, which a
# watcher of the room sees; with --host alone it makes the room on its own
# relay, which the Linux player joins through 127.0.0.1, and both place.
#
#   tests/windows/program.sh RELEASE_FOLDER CONSOLE_PARENT_EXE OUTPUT_FOLDER NATIVE_BUILD_FOLDER
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
native=$(cd "$4" && pwd)
relay_program=$native/server/torvek-relay
player_program=$native/tests/torvek_online_player
[ -x "$relay_program" ] && [ -x "$player_program" ] ||
    check_failed "$native holds no server/torvek-relay and tests/torvek_online_player"
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix to run in}"
export WINEPREFIX
version=$(sed -n 's/^TORVEK \([^ ]*\) for Windows.*/\1/p' "$release/README.txt")

rm -rf "$out"
place="$out/Spielstände für zwei/TORVEK"
mkdir -p "$place" "$out/elsewhere"
cp -R "$release/." "$place/"
exe=$place/torvek.exe
cd "$out/elsewhere"

# Escape on the game's window must end it with status 0; WHAT names the
# game in the failure, LOG is where its log is.
escape_ends_game() {
    local what=$1 log=$2
    press "$window" Escape
    await_exit "$game"
    [ "$exit_status" = 0 ] || check_failed "Escape ended $what with status $exit_status (log: $log)"
}

trap stop_all EXIT
start_display
# A Wine session started here knows the display's size.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

# ---- the console
# Wine names a Unix path Z:\ and the rest.
windows_exe="Z:${exe//\//\\}"
# With one_line=1 the answer must also be that one line alone; ways says
# through what it is read.
one_line=0
ways="console pipe"
expect_answer() {
    local status=$1 text=$2
    shift 2
    local answer got=0 way
    for way in $ways; do
        if [ "$way" = console ]; then
            answer=$("$TORVEK_WINE" "$console_parent" "$windows_exe" "$@" 2>&1 | tr -d '\r') && got=0 || got=$?
        else
            answer=$("$TORVEK_WINE" "$exe" "$@" 2>&1 | tr -d '\r') && got=0 || got=$?
        fi
        [ "$got" = "$status" ] || check_failed "torvek.exe $* through a $way: status $got, not $status"
        [[ "$answer" == *"$text"* ]] || check_failed "torvek.exe $* through a $way answered: $answer"
        [ "$one_line" = 0 ] || [ "$(printf '%s\n' "$answer" | wc -l)" = 1 ] ||
            check_failed "torvek.exe $* through a $way answered more than one line: $answer"
    done
}
expect_answer 0 "torvek $version" --version
expect_answer 0 "Usage: torvek [options]" --help
expect_answer 2 "--level easy hard: expected easy, medium or hard" "--level=easy hard"
check_step "--version, --help and a wrong option answer in a console and a pipe"

# ---- bad match records
# The records lie beside the program, in the folder whose name is not ASCII.
records=$(cd "$place/.." && pwd)
windows_records="Z:${records//\//\\}"
printf 'torvek-match 2\nfirst solids\n' >"$records/später.txt"
printf 'torvek-match 1\nfirst solids\nplace 0 4\nplace 0 4\n' >"$records/verweigert.txt"
printf 'torvek-match 1\nfirst solids\nplace 0 4\nplace 0 4\n' >refused.txt
one_line=1
expect_answer 2 'torvek: refused.txt:4: the rules refuse "place 0 4": the cell is taken' --replay refused.txt
# A console shows what the program writes in its code page, not in UTF-8:
# the names beyond ASCII are read through the pipe alone.
ways=pipe
expect_answer 2 "später.txt:1: from a later version of TORVEK" --replay "$windows_records\\später.txt"
expect_answer 2 'verweigert.txt:4: the rules refuse "place 0 4": the cell is taken' \
    --replay "$windows_records\\verweigert.txt"
ways="console pipe"
one_line=0
check_step "a record from a later version and one with a refused move stop it with one line and status 2"

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

escape_ends_game "the game" "$out/game.log"
[ ! -s "$out/game.log" ] || check_failed "the game logged: $(head -c 400 "$out/game.log")"
check_step "Escape quits with status 0"

# ---- a short record replayed, and what is played recorded
printf 'torvek-match 1\nfirst solids\nplace 0 4\nplace 0 0\nplace 0 8\n' >"$records/kurz.txt"
played=$records/gespielt.txt
SDL_RENDER_DRIVER=software "$TORVEK_WINE" "$exe" --replay "$windows_records\\kurz.txt" \
    --record "$windows_records\\gespielt.txt" >"$out/replay.log" 2>&1 &
game=$!
window=$(game_window)
expect_golden "$window" title "$out/replay-title.png"
press "$window" Return n
wait_for_line "$played" '^place 0 8$' 30 >/dev/null ||
    check_failed "the replay's last move was not played within 30 s (recorded: $(tr '\n' '|' <"$played" 2>/dev/null))"
# The last replayed move plays out.
sleep 3
photograph "$window" "$out/replayed.png"
[ "$(board_difference "$out/match.png" "$out/replayed.png")" != 0 ] ||
    check_failed "the replay left the board empty (see $out/replayed.png)"
press "$window" space space
wait_for_line "$played" '^place 0 6$' 10 >/dev/null ||
    check_failed "Space, Space after the replay recorded no placing (recorded: $(tr '\n' '|' <"$played"))"
recorded=$(cat "$played")
[ "$recorded" = "$(printf 'torvek-match 1\nfirst solids\nplace 0 4\nplace 0 0\nplace 0 8\nplace 0 6')" ] ||
    check_failed "--record wrote another match: $(tr '\n' '|' <"$played")"
sleep 3
photograph "$window" "$out/replayed-placed.png"
[ "$(board_difference "$out/replayed.png" "$out/replayed-placed.png")" != 0 ] ||
    check_failed "the placing after the replay did not show (see $out/replayed-placed.png)"
escape_ends_game "the game after the replay" "$out/replay.log"
[ ! -s "$out/replay.log" ] || check_failed "the replaying game logged: $(head -c 400 "$out/replay.log")"
check_step "a short record replays, and --record writes the replayed moves and the placing that followed"

# ---- online, on the Linux relay
"$relay_program" --listen 127.0.0.1:0 >"$out/relay.log" 2>&1 &
check_programs+=($!)
relay_line=$(wait_for_line "$out/relay.log" '^torvek-relay: relaying on ws://127\.0\.0\.1:[0-9]+/$' 10) ||
    check_failed "the relay did not start: $(head -c 400 "$out/relay.log")"
relay_url=${relay_line##* }
room_pattern='^TORVEK room [A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}$'

# Starts torvek.exe with the options under Wine, its standard output in
# $out/NAME.out and its log in $out/NAME.log; sets game and window.
start_online_game() {
    local name=$1
    shift
    SDL_RENDER_DRIVER=software "$TORVEK_WINE" "$exe" "$@" >"$out/$name.out" 2>"$out/$name.log" &
    game=$!
    window=$(game_window)
    expect_golden "$window" title "$out/$name-title.png"
}

# Fails when the game's log tells of a fault of the connection.
expect_no_connection_fault() {
    if grep -E -q 'cannot be reached|Connection lost|turned us away|another version|refused our move' "$out/$1.log"; then
        check_failed "torvek.exe $1 logged: $(head -c 600 "$out/$1.log")"
    fi
}

# -- torvek.exe makes a room and waits; a Linux player joins it
start_online_game host --host "$relay_url"
press "$window" Return n
room_line=$(wait_for_line "$out/host.out" "$room_pattern" 20) ||
    check_failed "torvek.exe --host $relay_url printed no room within 20 s (log: $(head -c 400 "$out/host.log"))"
room=${room_line##* }
tr -d '\r' <"$out/host.out" | grep -q -x -F "  $room@$relay_url" ||
    check_failed "torvek.exe --host printed no invite $room@$relay_url: $(cat "$out/host.out")"
sleep 1
photograph "$window" "$out/waiting.png"
[ "$(differs_from_golden "$out/waiting.png" title)" != 0 ] ||
    check_failed "N on the title did not lead to the waiting screen (see $out/waiting.png)"
"$player_program" --seconds 60 --state "$out/friend-state" -- --join "$room@$relay_url" \
    >"$out/friend.out" 2>"$out/friend.log" &
friend=$!
check_programs+=($friend)
# The match replaces the waiting screen once the friend is in.
for _ in $(seq 20); do
    sleep 0.5
    photograph "$window" "$out/host-match.png"
    [ "$(board_difference "$out/waiting.png" "$out/host-match.png")" = 0 ] || break
done
[ "$(board_difference "$out/waiting.png" "$out/host-match.png")" != 0 ] ||
    check_failed "a friend joined room $room and the waiting screen stayed (see $out/host-match.png)"
expect_no_connection_fault host
escape_ends_game "the hosting game" "$out/host.log"
kill "$friend" 2>/dev/null || true
check_step "torvek.exe --host makes room $room on the Linux relay, waits, and plays once a friend joins"

# -- torvek.exe makes a room on its own relay; a Linux player joins it, and each places a piece
start_online_game own-host --host
press "$window" Return n
room_line=$(wait_for_line "$out/own-host.out" "$room_pattern" 20) ||
    check_failed "torvek.exe --host printed no room of its own relay within 20 s (log: $(head -c 400 "$out/own-host.log"))"
room=${room_line##* }
# An invite link for each address of the machine, loopback last.
own_invite=$(tr -d '\r' <"$out/own-host.out" | grep -E '^  http://' | tail -n 1 || true)
own_invite_pattern="^  http://127\.0\.0\.1:([0-9]+)/\?join=$room\$"
[[ "$own_invite" =~ $own_invite_pattern ]] ||
    check_failed "torvek.exe --host printed no invite link through 127.0.0.1 last: $(tr -d '\r' <"$out/own-host.out")"
own_url=ws://127.0.0.1:${BASH_REMATCH[1]}/
sleep 1
photograph "$window" "$out/own-waiting.png"
[ "$(differs_from_golden "$out/own-waiting.png" title)" != 0 ] ||
    check_failed "N on the title did not lead to the waiting screen of its own relay (see $out/own-waiting.png)"
/usr/bin/python3 "$here/watch_room.py" "$own_url" "$room" 90 >"$out/own-watch.log" 2>&1 &
check_programs+=($!)
wait_for_line "$out/own-watch.log" "^watching $room$" 10 >/dev/null ||
    check_failed "the watcher could not watch room $room on torvek.exe's relay $own_url: $(cat "$out/own-watch.log")"
"$player_program" --seconds 90 --state "$out/own-friend-state" -- --join "$room@$own_url" \
    >"$out/own-friend.out" 2>"$out/own-friend.log" &
friend=$!
check_programs+=($friend)
first=$(wait_for_line "$out/own-watch.log" '^start (solids|stripes)$' 30) ||
    check_failed "the Linux player's --join $room@$own_url did not start the match (log: $(head -c 400 "$out/own-friend.log"))"
# The host plays Solids; when Stripes begin, it places after the friend's piece.
cell=6
if [ "${first#start }" = stripes ]; then
    friend_move=$(wait_for_line "$out/own-watch.log" '^moved 0 stripes place ' 20) ||
        check_failed "the Linux player made no first placing: $(cat "$out/own-watch.log")"
    [ "${friend_move##* }" != 6 ] || cell=7
fi
# The match, or the friend's placing, plays out.
sleep 3
photograph "$window" "$out/own-joined.png"
[ "$(board_difference "$out/own-waiting.png" "$out/own-joined.png")" != 0 ] ||
    check_failed "a friend joined room $room and the waiting screen stayed (see $out/own-joined.png)"
keys=(space)
[ "$cell" = 6 ] || keys+=(Right)
press "$window" "${keys[@]}" space
host_move=$(wait_for_line "$out/own-watch.log" '^moved [0-9]+ solids ' 20) ||
    check_failed "torvek.exe placed nothing its own relay passed on (watcher: $(tr '\n' '|' <"$out/own-watch.log"))"
[ "${host_move#moved * solids }" = "place 0 $cell" ] ||
    check_failed "torvek.exe's keys for placing its first piece on cell $cell played: $host_move"
wait_for_line "$out/own-watch.log" '^moved [0-9]+ stripes place ' 20 >/dev/null ||
    check_failed "the Linux player placed nothing on torvek.exe's relay (watcher: $(tr '\n' '|' <"$out/own-watch.log"))"
sleep 3
photograph "$window" "$out/own-placed.png"
[ "$(board_difference "$out/own-joined.png" "$out/own-placed.png")" != 0 ] ||
    check_failed "the placings on torvek.exe's own relay did not show on its board (see $out/own-placed.png)"
expect_no_connection_fault own-host
escape_ends_game "the game hosting its own relay" "$out/own-host.log"
kill "$friend" 2>/dev/null || true
check_step "torvek.exe --host makes room $room on its own relay ($own_url), and it and the Linux player who joins each place a piece"

# -- a Linux player makes a room, torvek.exe joins it and places a piece
"$player_program" --seconds 90 --state "$out/host-state" -- --host "$relay_url" \
    >"$out/linux-host.out" 2>"$out/linux-host.log" &
check_programs+=($!)
room_line=$(wait_for_line "$out/linux-host.out" "$room_pattern" 20) ||
    check_failed "the Linux host printed no room: $(head -c 400 "$out/linux-host.log")"
room=${room_line##* }
/usr/bin/python3 "$here/watch_room.py" "$relay_url" "$room" 90 >"$out/watch.log" 2>&1 &
check_programs+=($!)
wait_for_line "$out/watch.log" "^watching $room$" 10 >/dev/null ||
    check_failed "the watcher could not watch room $room: $(cat "$out/watch.log")"
start_online_game guest --join "$room@$relay_url"
press "$window" Return n
first=$(wait_for_line "$out/watch.log" '^start (solids|stripes)$' 30) ||
    check_failed "torvek.exe --join $room@$relay_url did not start the match (log: $(head -c 400 "$out/guest.log"))"
# The guest plays Stripes; when Solids begin, it places after the host's piece.
cell=6
if [ "${first#start }" = solids ]; then
    host_move=$(wait_for_line "$out/watch.log" '^moved 0 solids place ' 20) ||
        check_failed "the Linux host made no first placing: $(cat "$out/watch.log")"
    [ "${host_move##* }" != 6 ] || cell=7
fi
# The match, or the host's placing, plays out.
sleep 3
photograph "$window" "$out/joined.png"
keys=(space)
[ "$cell" = 6 ] || keys+=(Right)
press "$window" "${keys[@]}" space
guest_move=$(wait_for_line "$out/watch.log" '^moved [0-9]+ stripes ' 20) ||
    check_failed "torvek.exe placed nothing the relay passed on (watcher: $(tr '\n' '|' <"$out/watch.log"))"
[ "${guest_move#moved * stripes }" = "place 0 $cell" ] ||
    check_failed "torvek.exe's keys for placing its first piece on cell $cell played: $guest_move"
sleep 3
photograph "$window" "$out/online-placed.png"
[ "$(board_difference "$out/joined.png" "$out/online-placed.png")" != 0 ] ||
    check_failed "the placing torvek.exe made online did not show on its board (see $out/online-placed.png)"
for picture in waiting joined online-placed; do
    off=$(pixels_off_the_4x_grid "$out/$picture.png")
    [ "$off" = 0 ] || check_failed "$picture.png is not a picture enlarged 4x: $off pixels off its grid"
done
expect_no_connection_fault guest
escape_ends_game "the joined game" "$out/guest.log"
check_step "torvek.exe --join $room@$relay_url plays Stripes and places on cell $cell, as the relay's watcher sees"

# -- wss:// with an authority of the check's own: trusted through --ca, refused without it
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$out/ca.key" -out "$out/ca.pem" -days 2 \
    -subj '/CN=TORVEK check authority' >/dev/null 2>&1 &&
    openssl req -newkey rsa:2048 -nodes -keyout "$out/relay.key" -out "$out/relay.csr" \
        -subj '/CN=TORVEK check relay' >/dev/null 2>&1 &&
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$out/names.cnf" &&
    openssl x509 -req -in "$out/relay.csr" -CA "$out/ca.pem" -CAkey "$out/ca.key" -CAcreateserial -days 2 \
        -extfile "$out/names.cnf" -out "$out/relay.pem" >/dev/null 2>&1 ||
    check_failed "openssl could not make the check's certificates"
"$relay_program" --listen 127.0.0.1:0 --tls-cert "$out/relay.pem" --tls-key "$out/relay.key" \
    >"$out/tls-relay.log" 2>&1 &
check_programs+=($!)
tls_line=$(wait_for_line "$out/tls-relay.log" '^torvek-relay: relaying on wss://127\.0\.0\.1:[0-9]+/$' 10) ||
    check_failed "the relay with TLS did not start: $(head -c 400 "$out/tls-relay.log")"
tls_url=${tls_line##* }
"$player_program" --seconds 90 --state "$out/tls-host-state" -- --host "$tls_url" --ca "$out/ca.pem" \
    >"$out/tls-host.out" 2>"$out/tls-host.log" &
check_programs+=($!)
room_line=$(wait_for_line "$out/tls-host.out" "$room_pattern" 20) ||
    check_failed "the Linux host printed no room on $tls_url: $(head -c 400 "$out/tls-host.log")"
room=${room_line##* }
ca_windows=$("$TORVEK_WINE" winepath -w "$out/ca.pem" 2>/dev/null | tr -d '\r')
# Wine matches a certificate's names, not its addresses: torvek.exe asks for localhost.
tls_url=${tls_url/127.0.0.1/localhost}
start_online_game untrusting --join "$room@$tls_url"
press "$window" Return n
# Wine's TLS reports an untrusted chain as a failed channel, Windows as a failed check.
wait_for_line "$out/untrusting.log" 'certificate could not be verified|secure connection could not be made' 20 \
    >/dev/null ||
    check_failed "torvek.exe without --ca did not refuse the relay's certificate (log: $(head -c 400 "$out/untrusting.log"))"
press "$window" Escape
await_exit "$game"
start_online_game trusting --join "$room@$tls_url" --ca "$ca_windows"
press "$window" Return n
wait_for_line "$out/tls-host.log" 'place first\.' 30 >/dev/null ||
    check_failed "torvek.exe --ca did not start the match on $tls_url (log: $(head -c 400 "$out/trusting.log"))"
expect_no_connection_fault trusting
escape_ends_game "the game on wss://" "$out/trusting.log"
check_step "torvek.exe refuses the relay's certificate on $tls_url without --ca, and plays through it with --ca"
