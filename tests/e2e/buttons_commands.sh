#!/usr/bin/env bash
# The twelve default command buttons of the real program, pressed with the
# mouse under Xvfb against the recording stand-in for PGP: every button gives
# its exact argument list (recipient before file, file names with blanks as
# one argument, the batch options only with captured output), button 10 asks
# for the pass phrase after the chooser and a Cancel there starts nothing, the
# console buttons open xterm, which stays until Enter or closes by itself as
# byte 0x63 of PGP.pif says. Then the setup dialog: a right release opens it
# with the button's record, OK relabels and marks the table changed, and the
# close question's Yes writes the record (German), or "&Beenden" writes
# nothing (English).
# usage: buttons_commands.sh BUILD_DIR [Deutsch|English]    (exit 77: skipped)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
BUILD="$(cd "$1" && pwd)"
LANGUAGE="${2:-Deutsch}"
need Xvfb xdotool xterm cc
[ -x "$BUILD/tests/fakepgp/pgp" ] || { echo "skipped: no fakepgp in $BUILD"; exit 77; }
WORK="$(mktemp -d /tmp/qbtn.XXXXXX)"
QPID="" XPID=""
cleanup() { [ -n "$QPID" ] && kill "$QPID" 2>/dev/null; [ -n "$XPID" ] && kill "$XPID" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
PASSED=0 FAILED=0
ok() { PASSED=$((PASSED + 1)); }
bad() { FAILED=$((FAILED + 1)); echo "FAIL: $*"; }
check() { if [ "$2" = "$3" ]; then ok; else bad "$1: got [$2], want [$3]"; fi; }
finish() { echo "$PASSED passed, $FAILED failed"; [ "$FAILED" = 0 ]; exit $?; }
abort() { bad "$*"; finish; }

if [ "$LANGUAGE" = English ]; then
  BUTTONS="$WORK/app/Buttons.qxe"; CHOOSER="Choose user with doubleclick"; QUIT=ctrl+q
else
  BUTTONS="$WORK/app/Buttons.qxd"; CHOOSER="Bitte User mit Doppelklick auswählen"; QUIT=ctrl+b
fi
SETUP='^(Konfiguration der Standardbuttons|Setup of the standardbuttons)$'

mkdir -p "$WORK/app" "$WORK/pgp" "$WORK/tmp" "$WORK/in" "$WORK/config/Farrowdale Software"
chmod 700 "$WORK/tmp"
# A portable copy: its own folder, holding a button file, keeps every file.
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$BUILD"/stage/Buttons.qx? "$WORK/app/"
ln -s "$BUILD/tests/fakepgp/pgp" "$WORK/pgp/pgp"
PGP="$WORK/pgp/pgp"
echo key > "$WORK/in/add me.asc"
LOG="$WORK/fake.log"
# The short listing for the chooser: two keys after the header line.
printf '%s\n' 'when -kv rawout \r\nKey ring: x\r\nType Bits/KeyID    Date       User ID\r\npub  1024/12345678 1996/01/01 Alice <a@example.org>\r\npub  2048/9ABCDEF0 1997/02/02 Bob <b@example.org>\r\n2 matching keys found.\r\n' \
  > "$WORK/fake.script"
REG="$WORK/config/Farrowdale Software/QUORBIX.reg"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="10"\r\n"Top"="10"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="%s"\r\n' \
  "$WORK/pgp" "$LANGUAGE" > "$REG"

# No window manager here: this sends the close request a title bar's close
# button would send.
build_wmclose

start_xvfb
export XDG_CONFIG_HOME="$WORK/config" Temp="$WORK/tmp" QUORBIX_FAKEPGP_LOG="$LOG" QUORBIX_FAKEPGP_SCRIPT="$WORK/fake.script"
unset PGPPATH PGPPASS Tmp QUORBIX_TERMINAL

waitwin() { local w; for _ in $(seq "${2:-200}"); do w=$(win "$1"); [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.05; done; return 1; }
waitgone() { for _ in $(seq "${2:-200}"); do [ -z "$(win "$1")" ] && return 0; sleep 0.05; done; return 1; }
# The runs of the stand-in other than the key-list script's, one line each:
# the arguments joined by "|", a tab, the pass phrase it was handed.
runs() {
  awk 'function out() { if (n && !kv) print a "\t" p; n = 0; kv = 0; a = ""; p = "" }
       /^run$/ { out(); n = 1; next }
       /^arg / { s = substr($0, 5); if (s == "-kv") kv = 1; a = (a == "" ? s : a "|" s); next }
       /^passdata / { p = substr($0, 10); next }
       END { out() }' "$LOG" 2>/dev/null
}
count() { runs | wc -l; }
waitrun() { for _ in $(seq 200); do [ "$(count)" -gt "$1" ] && return 0; sleep 0.05; done; return 1; }
ends() { grep -c '^end ' "$LOG" 2>/dev/null; }

start() {
  (cd "$WORK/app" && exec ./quorbix) > "$WORK/qlog" 2>&1 & QPID=$!
  MAIN=$(waitwin "^QUORBIX Version 2.0$" 400) || { cat "$WORK/qlog"; abort "no main window"; }
  eval "$(xdotool getwindowgeometry --shell "$MAIN")"
  WX=$X WY=$Y
  for _ in $(seq 200); do grep -q 12345678 "$WORK/app/ID.txt" 2>/dev/null && break; sleep 0.05; done
}
# Buttons 1 to 12 stand in a grid of four columns and three rows.
press() { # button number, mouse button
  local c=$((($1 - 1) / 3)) r=$((($1 - 1) % 3))
  xdotool mousemove $((WX + 68 + 121 * c)) $((WY + 41 + 21 * r)) click "${2:-1}"
}
# A right release opens the setup dialog only when no command runs: its
# showing is the sign that the last command has ended.
idle() {
  local w
  for _ in $(seq 50); do
    press 2 3
    if w=$(waitwin "$SETUP" 10); then
      xdotool windowfocus "$w" key Escape
      waitgone "$SETUP" && return 0
    fi
  done
  return 1
}
choose() { # row of the chooser, from 0
  local w downs=""
  w=$(waitwin "^$CHOOSER\$") || { bad "no chooser"; return 1; }
  for _ in $(seq "$1"); do downs="$downs Down"; done
  # The list has the focus with its first row current but none selected.
  xdotool windowfocus "$w" key Down Up $downs Return
  waitgone "^$CHOOSER\$" || bad "chooser stays open"
}
filedialog() { # title, text for the file name field (empty: keep the proposal)
  local w
  w=$(waitwin "$1") || { bad "no file dialog $1"; return 1; }
  xdotool windowfocus "$w"
  [ -n "$2" ] && xdotool key ctrl+a && xdotool type --delay 5 "$2"
  xdotool key Return
  waitgone "$1" || bad "file dialog $1 stays open"
}
# The run of button n gives these arguments after the program's own path.
expect_run() { # label, before, want
  waitrun "$2" || { bad "$1: PGP did not run"; return; }
  check "$1" "$(runs | sed -n "$(($2 + 1))p" | cut -f1)" "$PGP|$3"
}
console_stays() { # xterm stays after PGP ended, and goes with Enter
  local t e0="$1"
  t=$(waitwin '^PGP$') || { bad "no console window"; return; }
  for _ in $(seq 200); do [ "$(ends)" -gt "$e0" ] && break; sleep 0.05; done
  sleep 0.5
  if [ -n "$(win '^PGP$')" ]; then ok; else bad "console window closed without Enter"; fi
  xdotool windowfocus "$t" key Return
  waitgone '^PGP$' || bad "console window stays after Enter"
}

start
B=$(count)
BATCH="+batchmode|+CharSet=Latin1|+force"
for n in 1 2 3 4 5 6 7 8 9; do
  e=$(ends)
  press "$n"
  case $n in
    1) expect_run "button 1" "$B" "-kg"; console_stays "$e" ;;
    2) expect_run "button 2" "$B" "-kc|$BATCH" ;;
    3) choose 0; expect_run "button 3" "$B" "-ke|0x12345678"; console_stays "$e" ;;
    4) expect_run "button 4" "$B" "-kvv|$BATCH" ;;
    5) choose 1; expect_run "button 5" "$B" "-kvc|0x9ABCDEF0|$BATCH" ;;
    # The save dialog proposes the chosen key as file name.
    6) choose 0; filedialog '^(Speichern|Save)\.\.\.$' ""
       expect_run "button 6" "$B" "-kxa|0x12345678|$WORK/app/0x12345678|$BATCH" ;;
    7) choose 1; filedialog '^(Speichern|Save)\.\.\.$' "$WORK/in/key seven.pgp"
       expect_run "button 7" "$B" "-kx|0x9ABCDEF0|$WORK/in/key seven.pgp|$BATCH" ;;
    8) filedialog '^(Laden|Load)\.\.\.$' "$WORK/in/add me.asc"
       expect_run "button 8" "$B" "-ka|$WORK/in/add me.asc|$BATCH" ;;
    9) choose 1; expect_run "button 9" "$B" "-kr|0x9ABCDEF0"; console_stays "$e" ;;
  esac
  idle || abort "button $n: the program did not come back"
  B=$(count)
done
check "no pass phrase before button 10" "$(runs | cut -f2 | tr -d '\n')" ""

# Button 10: chooser first, then the pass phrase; Cancel starts nothing.
press 10; choose 0
w=$(waitwin '^Quorbix$') || abort "button 10 asked for no pass phrase"
xdotool windowfocus "$w" key Escape
waitgone '^Quorbix$' || bad "pass phrase dialog stays after Cancel"
idle || abort "button 10: the program did not come back"
check "button 10 cancelled" "$(count)" "$B"
press 10; choose 1
w=$(waitwin '^Quorbix$') || abort "button 10 asked for no pass phrase"
xdotool windowfocus "$w" type --delay 5 "s3cret phrase"
xdotool key Return
expect_run "button 10" "$B" "-ks|0x9ABCDEF0|$BATCH"
check "pass phrase through its pipe" "$(runs | sed -n "$((B + 1))p" | cut -f2)" 's3cret phrase\n'
grep -q 's3cret' <(runs | cut -f1) && bad "pass phrase in the argument list"
idle || abort "button 10: the program did not come back"
B=$(count)

e=$(ends); press 11; choose 0
expect_run "button 11" "$B" "-krs|0x12345678"; console_stays "$e"
idle || abort "button 11: the program did not come back"
B=$(count)
check "launch file byte 0x63 after a button without close-at-end" "$(od -An -tx1 -j99 -N1 "$WORK/pgp/PGP.pif" | tr -d ' ')" "00"

# Button 12 with "close at end" set in its record: the console goes by itself.
ORIG="$WORK/orig.buttons"
cp "$BUTTONS" "$ORIG"
xdotool mousemove $((WX + 300)) $((WY + 300)) click 1
xdotool key "$QUIT"
for _ in $(seq 200); do kill -0 "$QPID" 2>/dev/null || break; sleep 0.05; done
kill -0 "$QPID" 2>/dev/null && abort "the quit key did not end the program"
QPID=""
cmp -s "$BUTTONS" "$ORIG" || bad "quitting rewrote an unchanged button file"
printf '\001' | dd of="$BUTTONS" bs=1 seek=$((11 * 416 + 155)) conv=notrunc 2>/dev/null
start
B=$(count); e=$(ends)
press 12; choose 0
expect_run "button 12" "$B" "-kd|0x12345678"
waitgone '^PGP$' 100 || bad "console window of a close-at-end record stays open"
check "launch file byte 0x63 after close-at-end" "$(od -An -tx1 -j99 -N1 "$WORK/pgp/PGP.pif" | tr -d ' ')" "10"
idle || abort "button 12: the program did not come back"

# Enter in the empty "UserID :" field: two double quotes as the recipient,
# which reach PGP as one empty argument, as a C runtime parses them.
B=$(count)
press 5
w=$(waitwin "^$CHOOSER\$") || abort "no chooser"
xdotool windowfocus "$w" key Tab Return
waitgone "^$CHOOSER\$" || bad "Enter in the UserID field left the chooser open"
expect_run "empty user ID" "$B" "-kvc||$BATCH"
idle || abort "button 5: the program did not come back"

# The setup dialog: right release on button 4 shows record 4.
B=$(count)
cp "$BUTTONS" "$ORIG"
press 4 3
w=$(waitwin "$SETUP") || abort "no setup dialog"
if command -v xclip >/dev/null; then
  xdotool windowfocus "$w" key ctrl+a ctrl+c
  for _ in $(seq 40); do t=$(xclip -o -selection clipboard 2>/dev/null) && [ -n "$t" ] && break; sleep 0.05; done
  want="&Inhalt anzeigen"; [ "$LANGUAGE" = English ] && want="V&iew contents"
  check "setup dialog shows record 4's title" "$t" "$want"
fi
xdotool windowfocus "$w" key ctrl+a
xdotool type --delay 5 "&Liste"
xdotool key Return
waitgone "$SETUP" || bad "OK did not close the setup dialog"
check "right release runs nothing" "$(count)" "$B"
title4() { dd if="$1" bs=1 skip=$((3 * 416 + 1)) count="$(od -An -tu1 -j$((3 * 416)) -N1 "$1" | tr -d ' ')" 2>/dev/null; }

if [ "$LANGUAGE" = English ]; then
  # "&Beenden" (Quit) ends without the question and writes nothing.
  xdotool mousemove $((WX + 300)) $((WY + 300)) click 1
  xdotool key "$QUIT"
  for _ in $(seq 200); do kill -0 "$QPID" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$QPID" 2>/dev/null && abort "the quit key did not end the program"
  QPID=""
  cmp -s "$BUTTONS" "$ORIG" && ok || bad "quit wrote the changed table"
else
  # Closing the window asks; Yes writes the changed record and only it.
  "$WORK/wmclose" "$MAIN"
  w=$(waitwin '^Information$') || abort "closing asked nothing"
  xdotool windowfocus "$w" key Return
  for _ in $(seq 200); do kill -0 "$QPID" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$QPID" 2>/dev/null && abort "Yes did not end the program"
  QPID=""
  check "record 4 title written" "$(title4 "$BUTTONS")" "&Liste"
  check "other records unchanged" "$(cmp -l "$BUTTONS" "$ORIG" | awk -v lo=$((3 * 416)) -v hi=$((3 * 416 + 31)) '$1 <= lo || $1 > hi' | wc -l)" 0
fi
finish
