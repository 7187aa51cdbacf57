#!/usr/bin/env bash
# The encryption commands as a user meets them, with the real pgp on a fresh
# GnuPG ring of two keys: a file (its name with a blank) encrypted for the key
# picked in the chooser decrypts to the same bytes; a signed file verifies
# with "Good signature" in the editor; editor text with a "//" line is
# encrypted for both keys without the chooser, decrypts with the output
# viewer, and signs clear; "Key hinzufügen" adds an armoured key and the
# user list knows it.
# usage: crypt_files_editor.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
# A tool that would wait for an answer must not stall the run.
t() { timeout 10 "$@"; }
BUILD="$(cd "$1" && pwd)"
for tool in Xvfb xdotool xclip gpg gpgconf; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
[ -x "$BUILD/bin/pgp" ] || { echo "skipped: pgp not built"; exit 77; }

WORK="$(mktemp -d /tmp/qcf.XXXXXX)"
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

"$WORK/app/quorbix" > "$WORK/log" 2>&1 & QPID=$!
waitfor visible "$MAIN" || { cat "$WORK/log"; die "no main window"; }
waitfor grep -q Bob "$WORK/app/ID.txt" || die "no key list"

# A file for the key picked in the chooser (Bob, the second line).
head -c 5000 /dev/urandom > "$WORK/my file.bin"
cp "$WORK/my file.bin" "$WORK/original.bin"
click "$MAIN" 68 114
check "the chooser opens first" waitfor visible "^Bitte User mit Doppelklick"
click "^Bitte User mit Doppelklick" 200 44 && xdotool click --repeat 2 --delay 80 1
open_file "$WORK/my file.bin" || die "no open dialog after the chooser"
check "encrypt writes the armoured file beside it" waitfor test -s "$WORK/my file.asc"
check "and shows pgp's report" waitfor editor_has "Transport armor file"
rm "$WORK/my file.bin"
click "$MAIN" 189 114
open_file "$WORK/my file.asc" || die "no open dialog for decrypt"
check "decrypt asks for the pass phrase after the file" pass_phrase bob
check "decrypt gives the same bytes back" waitfor cmp -s "$WORK/my file" "$WORK/original.bin"

# A signed file verifies. Bob's pass phrase is held; Alice signs, so clear it.
printf 'Eine Notiz\r\n' > "$WORK/note 1.txt"
click "$MAIN" 300 250 && xdotool key ctrl+l
click "$MAIN" 310 114
open_file "$WORK/note 1.txt" || die "no open dialog for sign"
check "sign asks for the pass phrase" pass_phrase alice
check "sign writes the signed file" waitfor test -s "$WORK/note 1.asc"
mv "$WORK/note 1.txt" "$WORK/note.orig"
click "$MAIN" 189 114
open_file "$WORK/note 1.asc"
check "the check puts Good signature into the editor" waitfor editor_has "Good signature"

# Editor text for both keys named on its first line.
click "$MAIN" 300 250
xdotool key ctrl+a Delete
xdotool type "//0x$ALICE 0x$BOB"
xdotool key Return
xdotool type "Geheimer Text"
xdotool key ctrl+r
check "the armoured message replaces the text" waitfor editor_has "BEGIN PGP MESSAGE"
check "no chooser was shown" gone "^Bitte User mit Doppelklick"
editor_text > "$WORK/both.asc"
RECIPIENTS=$(gpg --batch --list-only --decrypt "$WORK/both.asc" 2>&1 < /dev/null | grep -c "encrypted with")
check "the message is for both keys" test "$RECIPIENTS" = 2
xdotool key ctrl+e
# The viewer goes at the first key pressed in it: read the editor once it stands.
check "decrypting opens the output viewer" waitfor visible "^PGP-Output$"
check "and gives the text back" waitfor editor_has "^Geheimer Text"
check "without the // line" test "$(editor_text | grep -c '^//')" = 0

# Text mode on: the signature is a clear signature that verifies.
click "$MAIN" 513 114
click "$MAIN" 300 250
xdotool key ctrl+s
check "signing gives a clear-signed text" waitfor editor_has "BEGIN PGP SIGNED MESSAGE"
editor_text > "$WORK/signed.asc"
check "which verifies" gpg --batch --verify "$WORK/signed.asc" < /dev/null

# An armoured key from the editor.
xclip -i -selection clipboard < "$WORK/carol.asc"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.3
xdotool key ctrl+k
check "the key is added to the ring" waitfor gpg --batch --list-keys Carol >/dev/null 2>&1
check "pgp's report is in the editor" waitfor editor_has "1 new key"
check "the user list is read again" waitfor grep -q Carol "$WORK/app/ID.txt"

echo "$PASS passed, $FAIL failed"
[ "$FAIL" = 0 ]
