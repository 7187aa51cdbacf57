#!/usr/bin/env bash
# The command line and the editor's documents with the real pgp: "quorbix
# file.asc" shows the file under its name, "/d" decrypts after asking for the
# pass phrase, "/k" adds the key, "/debug" shows the report and saves its 17
# lines; printing without a printer says so; open, save as, new and save
# behave as a user expects; font and word wrap survive a restart.
# usage: crypt_command_line.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
# A tool that would wait for an answer must not stall the run.
t() { timeout 10 "$@"; }
BUILD="$(cd "$1" && pwd)"
for tool in Xvfb xdotool xclip gpg gpgconf; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
[ -x "$BUILD/bin/pgp" ] || { echo "skipped: pgp not built"; exit 77; }

WORK="$(mktemp -d /tmp/qcl.XXXXXX)"
cleanup() {
  [ -n "${QPID:-}" ] && kill "$QPID" 2>/dev/null
  kill "${XPID:-}" 2>/dev/null
  for h in "$WORK/g" "$WORK/other"; do gpgconf --homedir "$h" --kill gpg-agent >/dev/null 2>&1; done
  rm -rf "$WORK"
}
trap cleanup EXIT
PASS=0 FAIL=0
check() {
  local name="$1"; shift
  if "$@"; then PASS=$((PASS + 1)); else FAIL=$((FAIL + 1)); echo "FAIL: $name"; fi
}
waitfor() { for _ in $(seq 200); do "$@" && return 0; sleep 0.05; done; return 1; }
die() { echo "FAIL: $*"; echo "$PASS passed, $((FAIL + 1)) failed"; exit 1; }

# A key ring of two Ed25519 keys (quick to make), and a third key elsewhere.
gen() { # gen HOME NAME PASS
  GNUPGHOME="$1" gpg --batch --quiet --pinentry-mode loopback --passphrase "$3" \
    --quick-gen-key "$2 <$(tr A-Z a-z <<< "$2")@example.org>" ed25519 sign,cert never 2>/dev/null
  local fpr
  fpr=$(GNUPGHOME="$1" gpg --batch --with-colons --list-keys "$2" | awk -F: '/^fpr/{print $10; exit}')
  GNUPGHOME="$1" gpg --batch --quiet --pinentry-mode loopback --passphrase "$3" --quick-add-key "$fpr" cv25519 encr never 2>/dev/null
}
mkdir -p "$WORK/g" "$WORK/other" && chmod 700 "$WORK/g" "$WORK/other"
gen "$WORK/g" Alice alice
gen "$WORK/g" Bob bob
gen "$WORK/other" Carol carol
GNUPGHOME="$WORK/other" gpg --armor --export Carol > "$WORK/carol.asc"
keyid() { GNUPGHOME="$WORK/g" gpg --batch --with-colons --list-keys "$1" | awk -F: '/^pub/{print substr($5, 9); exit}'; }
ALICE=$(keyid Alice) BOB=$(keyid Bob)

mkdir -p "$WORK/app" "$WORK/pgp" "$WORK/tmp" "$WORK/config/Farrowdale Software"
chmod 700 "$WORK/tmp"
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$WORK/app/"
ln -s "$BUILD/bin/pgp" "$WORK/pgp/pgp"
printf 'Armor = off\nTextMode = off\nClearSig = on\nEncryptToSelf = off\nLanguage = en\n' > "$WORK/pgp/config.txt"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="0"\r\n"Top"="0"\r\n"RADIX-64"="1"\r\n"TextMode"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n' \
  "$WORK/pgp" > "$WORK/config/Farrowdale Software/QUORBIX.reg"
export GNUPGHOME="$WORK/g" PGPPATH="$WORK/pgp" Temp="$WORK/tmp" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
unset PGPPASS Tmp

exec 3> "$WORK/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 & XPID=$!
exec 3>&-
waitfor test -s "$WORK/display" || die "no X server"
export DISPLAY=":$(head -1 "$WORK/display")"

win() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
visible() { [ -n "$(win "$1")" ]; }
gone() { [ -z "$(win "$1")" ]; }
# click WINDOW-NAME X Y: a click at a point of that window (it takes the keyboard).
click() {
  local w; w=$(win "$1"); [ -n "$w" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$w")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click "${4:-1}"
}
MAIN="^QUORBIX Version 2.0"
editor_text() { # the editor's whole text, through the clipboard
  click "$MAIN" 300 250 && xdotool key ctrl+a ctrl+c && sleep 0.3 && t xclip -o -selection clipboard 2>/dev/null
}
editor_has() { editor_text | grep -q -- "$1"; }
pass_phrase() { # answers the pass phrase dialog
  waitfor visible "^Quorbix$" || return 1
  click "^Quorbix$" 165 52 && xdotool type "$1" && xdotool key Return
}
open_file() { # answers the open dialog with a full path
  waitfor visible "^Laden...$" || return 1
  click "^Laden...$" 310 358 && xdotool key ctrl+a && xdotool type "$1" && xdotool key Return
}

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

# No printer here.
click "$MAIN" 300 250 3
sleep 0.3
xdotool key d
check "printing without a printer says so" waitfor visible "^Quorbix$"
xdotool key Return
waitfor gone "^Quorbix$"

# Open, save, new, save as through the editor menu's "Datei" entries.
datei() { click "$MAIN" 300 250 3 && sleep 0.3 && xdotool key Down Right && sleep 0.2 && xdotool key "$@"; }
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
click "$MAIN" 300 250 3 && sleep 0.3 && xdotool key z
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

echo "$PASS passed, $FAIL failed"
[ "$FAIL" = 0 ]
