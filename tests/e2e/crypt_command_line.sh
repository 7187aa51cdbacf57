#!/usr/bin/env bash
# The command line and the editor's documents with the real pgp: "quorbix
# file.asc" shows the file under its name, "/d" decrypts after asking for the
# pass phrase, "/k" adds the key, "/debug" shows the report and saves its 17
# lines; printing without a printer says so; open, save as, new and save
# behave as a user expects; font and word wrap survive a restart.
# usage: crypt_command_line.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
E2E_NAME=qcl
source "$(dirname "$0")/lib/crypt_setup.bash" "$1"
source "$(dirname "$0")/lib/menus.bash"

start() { # start ARGS...: a fresh run of the program
  "$WORK/app/quorbix" "$@" > "$WORK/log" 2>&1 & QPID=$!
}
quit() { # Ctrl+B ends the program
  click "$MAIN" 300 250 && xdotool key ctrl+b
  waitfor eval '! kill -0 $QPID 2>/dev/null' || { kill "$QPID"; return 1; }
  QPID=""
}
printf 'Hallo Bob\nzweite Zeile\n' > "$WORK/plain.txt"
gpg --batch --quiet --trust-model always --armor -r Bob -o "$WORK/msg 1.asc" -e "$WORK/plain.txt" < /dev/null
cp "$WORK/msg 1.asc" "$WORK/msg.asc"

# A file to show.
start "$WORK/msg 1.asc"
check "quorbix file.asc: its name in the caption" waitfor visible "^QUORBIX Version 2.0 - msg 1.asc$"
check "and its text in the editor" waitfor editor_has "BEGIN PGP MESSAGE"
check "the key list is there" waitfor grep -q Bob "$WORK/app/ID.txt"

# The editor's context menu, opened by its key with the pointer parked at the
# window's left edge: a pointer resting on the menu would open the submenu
# under it by itself, and the arrow keys would then walk a different entry.
context_menu() {
  click "$MAIN" 300 250 || return 1
  xdotool mousemove 2 $((Y + HEIGHT - 3))
  qmark; xdotool key Menu && popup
}

# No printer here.
context_menu && xdotool key d && menu_closed
check "printing without a printer says so" waitfor visible "^Quorbix$"
xdotool key Return
waitfor gone "^Quorbix$"

# Open, save, new, save as through the editor menu's "Datei" entries.
# On a loaded machine a key of the walk can still be lost; the menus are closed and the
# walk is made again.
datei() {
  local _
  for _ in 1 2 3; do
    if context_menu && menu_walk -Down Right; then xdotool key "$@"; return 0; fi
    xdotool key Escape Escape; menu_closed; sleep 0.3
  done
  return 1
}
save_dialog() { # answers the save dialog with TITLE and a path
  waitfor visible "^$1$" || return 1
  click "^$1$" 310 358 && xdotool key ctrl+a && xdotool type "$2" && xdotool key Return
}
printf 'Erste\r\nZweite\r\n' > "$WORK/open me.txt"
datei Down Return
waitfor visible "^Laden...$" && click "^Laden...$" 310 358 && xdotool key ctrl+a && xdotool type "$WORK/open me.txt" && xdotool key Return
check "open puts the file's name into the caption" waitfor visible "^QUORBIX Version 2.0 - open me.txt$"
check "and its text into the editor" waitfor editor_has "^Zweite"
datei s
check "save after open asks for a name" waitfor visible "^Speichern...$"
xdotool key Escape
waitfor gone "^Speichern...$"
datei u
check "save as writes the chosen file" save_dialog "Textdatei speichern" "$WORK/saved.txt"
saved_is() { test "$(cat "$WORK/saved.txt" 2>/dev/null)" = "$(printf "$1")"; }
check "as CR LF lines" waitfor saved_is 'Erste\r\nZweite\r'

datei n
check "new gives the plain caption back" waitfor visible "^QUORBIX Version 2.0$"
click "$MAIN" 300 250 && xdotool type "Neu"
datei s
check "save then writes the remembered file without asking" waitfor saved_is 'Neu\r'
check "no dialog for it" gone "^Speichern...$"

# Word wrap off; it is stored at the end and comes back.
context_menu && xdotool key z
check "the program ends on Ctrl+B" quit
REG="$WORK/config/Farrowdale Software/QUORBIX.reg"
check "word wrap stored off" grep -q '"Wordwrap"="0"' "$REG"

# Decrypt from the command line, after the pass phrase.
start /d "$WORK/msg.asc"
check "/d asks for the pass phrase" pass_phrase bob
check "and opens the output viewer" waitfor visible "^PGP-Output$"
check "/d leaves the plain text in the editor" waitfor editor_has "^Hallo Bob"
quit
# Read at the start and written back at the end: still off.
check "word wrap survives the restart" grep -q '"Wordwrap"="0"' "$REG"

# Add a key from the command line.
start /k "$WORK/carol.asc"
check "/k adds the key" waitfor gpg --batch --list-keys Carol >/dev/null 2>&1
check "and lists the ring again" waitfor grep -q Carol "$WORK/app/ID.txt"
waitfor visible "$MAIN"
quit

# The debug report.
start /debug
check "/debug shows the report" waitfor visible "^Debug$"
click "^Debug$" 218 305
check "saving confirms" waitfor visible "^Quorbix$"
check "Debug.log holds 17 CR LF lines" test "$(grep -c $'\r$' "$WORK/app/Debug.log" 2>/dev/null)" = 17
check "the first line is AppDir" test "$(head -1 "$WORK/app/Debug.log" | tr -d '\r')" = "$WORK/app"
check "the PGP folder's line" grep -q "^FileSize : [0-9]" "$WORK/app/Debug.log"
xdotool key Return
waitfor gone "^Quorbix$"
click "^Debug$" 200 100 && xdotool key Escape
check "the main window follows the report" waitfor visible "$MAIN"
quit

finish
