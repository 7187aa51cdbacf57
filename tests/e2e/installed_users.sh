#!/usr/bin/env bash
# The installed program as two ordinary users meet it: `cmake --install` into
# a fresh prefix that they cannot write, then each user runs bin/quorbix.
# Every working file appears in that user's own folders (0700, files 0600),
# the PGP folder is the installed pgp's, encrypt, decrypt and sign work
# through it, a changed button survives a restart, Ctrl+B removes the working
# files; the second user, running at the same time, sees none of the first
# user's files and removes none of them.
# usage: installed_users.sh BUILD_DIR    (exit 77: skipped; needs root for useradd)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
[ "$(id -u)" = 0 ] || { echo "skipped: needs root to make throwaway users"; exit 77; }
need useradd userdel runuser cc
E2E_NAME=qinstu
source "$(dirname "$0")/lib/crypt_setup.bash" "$1"

UA="qbxa$$" UB="qbxb$$"
USERS=() PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  for u in "${USERS[@]}"; do
    runuser -u "$u" -- gpgconf --homedir "$WORK/$u/gnupg" --kill gpg-agent >/dev/null 2>&1
    userdel "$u" >/dev/null 2>&1
  done
  kill "${XPID:-}" 2>/dev/null
  for h in "$WORK/g" "$WORK/other"; do gpgconf --homedir "$h" --kill gpg-agent >/dev/null 2>&1; done
  rm -rf "$WORK"
}
trap cleanup EXIT
unset QPID

build_wmclose

chmod 755 "$WORK"
P="$WORK/prefix"
cmake --install "$BUILD" --prefix "$P" >/dev/null || die "cmake --install failed"
chmod -R a-w,a+rX "$P"
touch "$WORK/installed"
gpgconf --homedir "$WORK/g" --kill gpg-agent >/dev/null 2>&1

# user NAME LEFT TOP: a throwaway account with a copy of the key ring and
# settings that name no PGP folder.
user() {
  useradd -M -d "$WORK/$1" -s /bin/sh "$1" || die "useradd $1"
  USERS+=("$1")
  local h="$WORK/$1"
  mkdir -p "$h/.config/Farrowdale Software" "$h/.pgp" "$h/files"
  cp -r "$WORK/g" "$h/gnupg" && rm -f "$h"/gnupg/S.*
  cp "$WORK/pgp/config.txt" "$h/.pgp/"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="%s"\r\n"Top"="%s"\r\n"RADIX-64"="1"\r\n"TextMode"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"Language"="Deutsch"\r\n' \
    "$2" "$3" > "$h/.config/Farrowdale Software/QUORBIX.reg"
  chown -R "$1:" "$h" && chmod 700 "$h" "$h/gnupg"
}
# as USER [VAR=value...] COMMAND...: runs with only the environment a session gives.
as() {
  local u="$1"; shift
  runuser -u "$u" -- env -i DISPLAY="$DISPLAY" HOME="$WORK/$u" GNUPGHOME="$WORK/$u/gnupg" \
    PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}
# start USER [VAR=value...]: the installed program; its pid in $STARTED.
start() {
  local u="$1"; shift
  rm -f "$WORK/$u/pid"
  as "$u" "$@" sh -c 'echo $$ > "$0"; exec "$1"' "$WORK/$u/pid" "$P/bin/quorbix" > "$WORK/$u.log" 2>&1 &
  PIDS+=($!)
  waitfor test -s "$WORK/$u/pid" || return 1
  STARTED=$(cat "$WORK/$u/pid")
  PIDS+=("$STARTED")
}
window_of() { # the main window of that process
  local w
  for w in $(xdotool search --onlyvisible --name "^QUORBIX Version 2.0$" 2>/dev/null); do
    [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$1" ] && { echo "$w"; return 0; }
  done
  return 1
}
ended() { ! kill -0 "$1" 2>/dev/null; }
mode_is() { [ "$(stat -c '%a %U' "$2" 2>/dev/null)" = "$1" ]; }
title4() { dd if="$1" bs=1 skip=$((3 * 416 + 1)) count="$(od -An -tu1 -j$((3 * 416)) -N1 "$1" | tr -d ' ')" 2>/dev/null; }
setup_title() { # the title field of the setup dialog open over the window at X,Y
  xdotool mousemove $(($1 + 68 + 121)) $(($2 + 41)) click 3
  waitfor visible "^Konfiguration der Standardbuttons$" || return 1
  local w; w=$(win "^Konfiguration der Standardbuttons$")
  xdotool windowfocus "$w" key ctrl+a ctrl+c
  sleep 0.3
  t xclip -o -selection clipboard 2>/dev/null
}

user "$UA" 0 0
user "$UB" 500 380
mkdir -p "$WORK/runa" && chown "$UA:" "$WORK/runa" && chmod 700 "$WORK/runa"
WA="$WORK/runa/quorbix" DA="$WORK/$UA/.local/share/quorbix"
WB="$WORK/$UB/.local/state/quorbix" DB="$WORK/$UB/.local/share/quorbix"

# The first user, with a runtime folder.
start "$UA" XDG_RUNTIME_DIR="$WORK/runa" || die "the first user's program did not start"
PA=$STARTED
waitfor window_of "$PA" >/dev/null || { cat "$WORK/$UA.log"; die "no main window for the first user"; }
check "the key list in the user's runtime folder" waitfor grep -q Bob "$WA/ID.txt"
check "which only that user may enter" mode_is "700 $UA" "$WA"
check "the key list 0600" mode_is "600 $UA" "$WA/ID.txt"
check "the key-list script 0600" mode_is "600 $UA" "$WA/MakeID.bat"
check "the PGP folder is the installed pgp's" grep -qF "$P/lib/quorbix/pgp -kv" "$WA/MakeID.bat"
check "the button file in the user's data folder" test "$(stat -c '%s %U' "$DA/Buttons.qxd" 2>/dev/null)" = "7072 $UA"
check "the user's own launch file, from the installed one" cmp -s "$DA/PGP.pif" "$P/lib/quorbix/PGP.pif"

# The second user at the same time, without a runtime folder.
start "$UB" || die "the second user's program did not start"
PB=$STARTED
waitfor window_of "$PB" >/dev/null || { cat "$WORK/$UB.log"; die "no main window for the second user"; }
check "the second user's key list in its state folder" waitfor grep -q Bob "$WB/ID.txt"
check "a private folder too" mode_is "700 $UB" "$WB"
check "and its own button file" mode_is "644 $UB" "$DB/Buttons.qxd"
check "the second user cannot list the first one's working files" sh -c "! runuser -u '$UB' -- ls '$WA' >/dev/null 2>&1"
check "nor read them" sh -c "! runuser -u '$UB' -- cat '$WA/ID.txt' >/dev/null 2>&1"
check "nor write into them" sh -c "! runuser -u '$UB' -- touch '$WA/out.txt' 2>/dev/null"
check "each user's folders hold only that user's files" \
  test -z "$(find "$WA" "$DA" ! -user "$UA"; find "$WB" "$DB" ! -user "$UB")"
WIN=$(window_of "$PB")
eval "$(xdotool getwindowgeometry --shell "$WIN")"
xdotool mousemove $((X + 300)) $((Y + 250)) click 1
sleep 0.3
xdotool key ctrl+b
check "Ctrl+B ends the second user's program" waitfor ended "$PB"
check "and removes its working files" test -z "$(ls -A "$WB")"
check "but none of the first user's" test -s "$WA/ID.txt" -a -s "$WA/MakeID.bat"

# Encrypt, decrypt and sign through the installed pgp.
F="$WORK/$UA/files"
head -c 5000 /dev/urandom > "$F/my file.bin"
cp "$F/my file.bin" "$WORK/original.bin"
chown "$UA:" "$F/my file.bin"
click "$MAIN" 68 114
check "the chooser opens" waitfor visible "^Bitte User mit Doppelklick"
click "^Bitte User mit Doppelklick" 200 44 && xdotool click --repeat 2 --delay 80 1
open_file "$F/my file.bin" || die "no open dialog after the chooser"
check "encrypt writes the armoured file" waitfor test -s "$F/my file.asc"
check "and shows pgp's report" waitfor editor_has "Transport armor file"
check "PGP's output in the working folder, 0600" mode_is "600 $UA" "$WA/out.txt"
rm "$F/my file.bin"
click "$MAIN" 189 114
open_file "$F/my file.asc" || die "no open dialog for decrypt"
check "decrypt asks for the pass phrase" pass_phrase bob
check "decrypt gives the same bytes back" waitfor cmp -s "$F/my file" "$WORK/original.bin"
printf 'Eine Notiz\r\n' > "$F/note.txt" && chown "$UA:" "$F/note.txt"
click "$MAIN" 300 250 && xdotool key ctrl+l
click "$MAIN" 310 114
open_file "$F/note.txt" || die "no open dialog for sign"
check "sign asks for the pass phrase" pass_phrase alice
check "sign writes the signed file" waitfor test -s "$F/note.asc"
check "which GnuPG verifies" sh -c "runuser -u '$UA' -- env GNUPGHOME='$WORK/$UA/gnupg' gpg --batch --verify '$F/note.asc' 2>&1 | grep -q 'Good signature'"

# A changed button, saved on closing, is there after a restart.
eval "$(xdotool getwindowgeometry --shell "$(window_of "$PA")")"
xdotool mousemove $((X + 68 + 121)) $((Y + 41)) click 3
waitfor visible "^Konfiguration der Standardbuttons$" || die "no setup dialog"
xdotool windowfocus "$(win "^Konfiguration der Standardbuttons$")" key ctrl+a
xdotool type --delay 5 "&Liste"
xdotool key Return
waitfor gone "^Konfiguration der Standardbuttons$"
"$WORK/wmclose" "$(window_of "$PA")"
check "closing asks whether to keep the change" waitfor visible "^Information$"
xdotool windowfocus "$(win "^Information$")" key Return
check "Yes ends the program" waitfor ended "$PA"
check "the button file holds the change" test "$(title4 "$DA/Buttons.qxd")" = "&Liste"
check "nothing was written under the prefix" test -z "$(find "$P" -newer "$WORK/installed")"
check "the working files are gone" test -z "$(ls -A "$WA")"
start "$UA" XDG_RUNTIME_DIR="$WORK/runa" || die "no restart"
PA=$STARTED
waitfor window_of "$PA" >/dev/null || die "no main window after the restart"
eval "$(xdotool getwindowgeometry --shell "$(window_of "$PA")")"
check "after the restart the button shows the change" test "$(setup_title "$X" "$Y")" = "&Liste"
xdotool key Escape
waitfor gone "^Konfiguration der Standardbuttons$"
waitfor test -s "$WA/ID.txt"

# Ctrl+B: the working files go, the user's own files stay.
click "$MAIN" 300 250 && xdotool key ctrl+b
check "Ctrl+B ends the program" waitfor ended "$PA"
check "and leaves the working folder empty" test -z "$(ls -A "$WA")"
check "the button file stays" test -s "$DA/Buttons.qxd"
# Only values a run changed are written, and the default PGP folder was never
# changed: the settings must not name another one.
check "the settings name no other PGP folder" \
  sh -c "! grep '\"PGPPath\"=' '$WORK/$UA/.config/Farrowdale Software/QUORBIX.reg' | grep -vqF '\"PGPPath\"=\"$P/lib/quorbix\"'"
finish
