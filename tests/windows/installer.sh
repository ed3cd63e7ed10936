#!/usr/bin/env bash
# The installer under Wine, in a Wine prefix made afresh for it: it installs
# silently (/S) into Program Files\TORVEK with every file of the release
# folder, a Start-menu shortcut and an Apps & features entry (name, version,
# publisher, icon, size); the shortcut starts the game, which shows the
# golden title at 4x from its data there; the uninstaller, silently too,
# leaves nothing of ours: after Windows' next start (when the uninstaller's
# copy of itself in the temporary folder is deleted) the prefix holds the
# same files as before the install, and its registry names TORVEK nowhere.
#
#   tests/windows/installer.sh SETUP_EXE RELEASE_FOLDER OUTPUT_FOLDER
#
# The prefix is OUTPUT_FOLDER/prefix; the photographs are left beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
TORVEK_CHECK_NAME="windows installer"
TORVEK_GOLDEN_DIR=$here/../shell/golden
# shellcheck source=lib.sh
source "$here/lib.sh"

setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
release=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
version=$(sed -n 's/^TORVEK \([^ ]*\) for Windows.*/\1/p' "$release/README.txt")

rm -rf "$out/prefix"
export WINEPREFIX=$out/prefix
trap stop_all EXIT
start_display
cd "$out"

drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/TORVEK"
shortcut='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\TORVEK.lnk'
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TORVEK'

# Every file and folder of drive C:, but the temporary folders, which
# Windows' own programs use too.
drive_listing() {
    (cd "$drive" && find . -path './users/*/Temp/*' -prune -o -print | LC_ALL=C sort)
}

"$TORVEK_WINE" wineboot --init >"$out/wineboot.log" 2>&1 || check_failed "wineboot failed: $(tail -n 5 "$out/wineboot.log")"
wineserver -w
drive_listing >"$out/before.txt"

# ---- installing
"$TORVEK_WINE" "$setup" /S || check_failed "$setup /S ended with status $?"
(cd "$release" && find . -type f | LC_ALL=C sort) >"$out/release-files.txt"
while read -r file; do
    cmp -s "$release/$file" "$installed/$file" || check_failed "installed ${file#./} is missing or differs"
done <"$out/release-files.txt"
[ -f "$installed/uninstall.exe" ] || check_failed "no uninstall.exe in $installed"
[ -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/TORVEK.lnk" ] || check_failed "no Start-menu shortcut"
entry=$("$TORVEK_WINE" reg query "$key" 2>/dev/null | tr -d '\r') || check_failed "no Apps & features entry $key"
value() {
    awk -v name="$1" '$1 == name { sub(/^[[:space:]]*[^[:space:]]+[[:space:]]+[^[:space:]]+[[:space:]]+/, ""); print }' <<<"$entry"
}
[ "$(value DisplayName)" = TORVEK ] || check_failed "the entry's name is '$(value DisplayName)'"
[ "$(value DisplayVersion)" = "$version" ] || check_failed "the entry's version is '$(value DisplayVersion)', not $version"
[ -n "$(value Publisher)" ] || check_failed "the entry names no publisher"
[ "$(value DisplayIcon)" = 'C:\Program Files\TORVEK\torvek.exe,0' ] || check_failed "the entry's icon is '$(value DisplayIcon)'"
[ "$(value UninstallString)" = '"C:\Program Files\TORVEK\uninstall.exe"' ] ||
    check_failed "the entry's uninstaller is '$(value UninstallString)'"
size=$(value EstimatedSize)
[ $((size)) -gt 1000 ] || check_failed "the entry's size is '$size' KB"
check_step "installed silently: files, shortcut and Apps & features entry ($((size)) KB)"

# ---- the shortcut
SDL_RENDER_DRIVER=software "$TORVEK_WINE" start /wait "$shortcut" >"$out/game.log" 2>&1 &
game=$!
window=$(game_window)
expect_golden "$window" title "$out/title.png"
press "$window" Escape
await_exit "$game"
status=$exit_status
[ "$status" = 0 ] || check_failed "the game started by the shortcut ended with status $status"
check_step "the Start-menu shortcut starts the game, which finds its data"

# ---- uninstalling
"$TORVEK_WINE" 'C:\Program Files\TORVEK\uninstall.exe' /S || check_failed "uninstall.exe /S ended with status $?"
# The uninstaller returns at once and goes on in a copy of itself: wait
# until every program of the prefix has ended.
wineserver -w
"$TORVEK_WINE" wineboot --restart >>"$out/wineboot.log" 2>&1
wineserver -w
drive_listing >"$out/after.txt"
if ! diff "$out/before.txt" "$out/after.txt" >"$out/left.txt"; then
    check_failed "the uninstaller left these behind: $(grep '^[<>]' "$out/left.txt" | head -n 20 | tr '\n' ' ')"
fi
if [ -n "$(find "$drive/users" -ipath '*torvek*' -o -ipath '*nsu*.tmp*' | head -n 1)" ]; then
    check_failed "files of ours are left in a user's folders: $(find "$drive/users" -ipath '*torvek*' -o -ipath '*nsu*.tmp*' | head -n 5)"
fi
if grep -il torvek "$WINEPREFIX"/*.reg >/dev/null; then
    check_failed "the registry still names TORVEK: $(grep -ih torvek "$WINEPREFIX"/*.reg | head -n 5)"
fi
check_step "uninstalled silently, leaving no file, folder, shortcut or registry key"
