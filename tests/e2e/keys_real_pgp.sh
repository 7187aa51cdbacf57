#!/usr/bin/env bash
# The key ring views of the real program on the real pgp, under Xvfb, as a
# user meets them: button 4 lists the ring into the editor, button 5's
# chooser gives a key's fingerprint on a double click, button 8 adds a
# public key, "Bau&mansicht anzeigen" builds the tree, and its context menu
# shows a signer's fingerprint, saves a key in ASCII armour under the
# proposed eight-digit name, and removes a key after asking.
# usage: keys_real_pgp.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
BUILD="$(cd "$1" && pwd)"
need Xvfb xdotool xclip gpg gpgconf
[ -x "$BUILD/bin/pgp" ] || { echo "skipped: no pgp in $BUILD/bin"; exit 77; }
WORK="$(mktemp -d /tmp/qkey.XXXXXX)"
QPID="" XPID=""
cleanup() {
  [ -n "$QPID" ] && kill "$QPID" 2>/dev/null
  [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
  for h in "$WORK/g" "$WORK/g2"; do gpgconf --homedir "$h" --kill gpg-agent >/dev/null 2>&1; done
  rm -rf "$WORK"
}
trap cleanup EXIT
PASSED=0 FAILED=0
ok() { PASSED=$((PASSED + 1)); }
bad() { FAILED=$((FAILED + 1)); echo "FAIL: $*"; }
finish() { echo "$PASSED passed, $FAILED failed"; [ "$FAILED" = 0 ]; exit $?; }
abort() { bad "$*"; finish; }

# A ring of two keys that certify each other, and a third, public-only key
# exported from another home.
mkdir -p "$WORK/g" "$WORK/g2" "$WORK/app" "$WORK/pgp" "$WORK/tmp" "$WORK/in" "$WORK/config/Farrowdale Software"
chmod 700 "$WORK/g" "$WORK/g2" "$WORK/tmp"
gq() { gpg --homedir "$1" --batch --quiet --pinentry-mode loopback --no-tty "${@:2}" >/dev/null 2>&1; }
fpr() { gpg --homedir "$1" --batch --with-colons --list-keys "$2" 2>/dev/null | awk -F: '/^fpr/ { print $10; exit }'; }
gq "$WORK/g" --passphrase alice --quick-gen-key "Alice Test <alice@example.org>" ed25519 sign,cert never
gq "$WORK/g" --passphrase bob --quick-gen-key "Bob Test <bob@example.org>" ed25519 sign,cert never
ALICE=$(fpr "$WORK/g" alice@example.org) BOB=$(fpr "$WORK/g" bob@example.org)
gq "$WORK/g" --passphrase bob -u "$BOB" --quick-sign-key "$ALICE"
gq "$WORK/g" --passphrase alice -u "$ALICE" --quick-sign-key "$BOB"
gq "$WORK/g2" --passphrase carol --quick-gen-key "Carol Test <carol@example.org>" ed25519 sign,cert never
gpg --homedir "$WORK/g2" --batch --armor --export carol@example.org > "$WORK/in/carol key.asc" 2>/dev/null
gpgconf --homedir "$WORK/g2" --kill gpg-agent >/dev/null 2>&1
[ -n "$ALICE" ] && [ -n "$BOB" ] && [ -s "$WORK/in/carol key.asc" ] || abort "could not make the test ring"
AID=${ALICE: -8} BID=${BOB: -8}

# A portable copy: its own folder, holding a button file, keeps every file.
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$BUILD"/stage/Buttons.qx? "$WORK/app/"
ln -s "$BUILD/bin/pgp" "$WORK/pgp/pgp"
printf 'Language = en\n' > "$WORK/pgp/config.txt"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="10"\r\n"Top"="10"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n' \
  "$WORK/pgp" > "$WORK/config/Farrowdale Software/QUORBIX.reg"

exec 3> "$WORK/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 & XPID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$WORK/display")"
export GNUPGHOME="$WORK/g" PGPPATH="$WORK/pgp" XDG_CONFIG_HOME="$WORK/config" Temp="$WORK/tmp"
unset PGPPASS Tmp

waitwin() { local w; for _ in $(seq "${2:-200}"); do w=$(win "$1"); [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.05; done; return 1; }
waitgone() { for _ in $(seq "${2:-200}"); do [ -z "$(win "$1")" ] && return 0; sleep 0.05; done; return 1; }
SETUP='^Konfiguration der Standardbuttons$'

(cd "$WORK/app" && exec ./quorbix) > "$WORK/qlog" 2>&1 & QPID=$!
MAIN=$(waitwin "^QUORBIX Version 2.0$" 400) || { cat "$WORK/qlog"; abort "no main window"; }
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
WX=$X WY=$Y
for _ in $(seq 200); do grep -q "$BID" "$WORK/app/ID.txt" 2>/dev/null && break; sleep 0.05; done
grep -q "$BID" "$WORK/app/ID.txt" || abort "the key list was not made"

press() { local c=$((($1 - 1) / 3)) r=$((($1 - 1) % 3)); xdotool mousemove $((WX + 68 + 121 * c)) $((WY + 41 + 21 * r)) click "${2:-1}"; }
# A right release opens the setup dialog only when no button command or
# tree read runs.
idle() {
  local w
  for _ in $(seq 50); do
    press 2 3
    if w=$(waitwin "$SETUP" 10); then xdotool windowfocus "$w" key Escape; waitgone "$SETUP" && return 0; fi
  done
  return 1
}
# The editor's whole text, blanks removed, through the clipboard.
editor() {
  xdotool mousemove $((WX + 300)) $((WY + 300)) click 1 key ctrl+a ctrl+c
  sleep 0.1
  xclip -o -selection clipboard 2>/dev/null | tr -d ' \r'
}
editor_has() { # label, text that must come, text that must not
  local t=""
  for _ in $(seq 40); do t=$(editor); grep -qF "$2" <<<"$t" && break; sleep 0.1; done
  if ! grep -qF "$2" <<<"$t"; then bad "$1: editor lacks $2"; return; fi
  if [ -n "${3:-}" ] && grep -qF "$3" <<<"$t"; then bad "$1: editor shows $3"; return; fi
  ok
}
out_has() { for _ in $(seq 200); do grep -qF "$1" "$WORK/app/out.txt" 2>/dev/null && return 0; sleep 0.05; done; return 1; }
# Tree rows, from 0, at their place; the context menu is walked by keys.
ROW0=152 ROWH=19
treemenu() { # row, number of the menu entry from 1
  local n0 keys=""
  n0=$(xdotool search --onlyvisible --classname quorbix 2>/dev/null | wc -l)
  xdotool mousemove $((WX + 200)) $((WY + ROW0 + ROWH * $1)) click 3
  for _ in $(seq 100); do [ "$(xdotool search --onlyvisible --classname quorbix 2>/dev/null | wc -l)" -gt "$n0" ] && break; sleep 0.03; done
  for _ in $(seq "$2"); do keys="$keys Down"; done
  xdotool key $keys Return
}
totree() { xdotool mousemove $((WX + 300)) $((WY + 300)) click 1 key ctrl+t; sleep 0.2; }

# Button 4: the verbose listing in the editor.
press 4
out_has "matching keys found" || bad "button 4 gave no listing"
idle || abort "button 4 did not end"
editor_has "button 4" "sig$BID"

# Button 5: a double click on Alice's row shows her fingerprint.
press 5
c=$(waitwin "^Bitte User mit Doppelklick auswählen$") || abort "button 5 opened no chooser"
eval "$(xdotool getwindowgeometry --shell "$c")"
xdotool mousemove $((X + 250)) $((Y + 27)) click --repeat 2 --delay 80 1
waitgone "^Bitte User mit Doppelklick auswählen$" || bad "double click left the chooser open"
idle || abort "button 5 did not end"
editor_has "button 5" "fingerprint=$ALICE" "$BOB"

# Button 8 adds the public-only key; the key list is made again.
press 8
d=$(waitwin '^Laden\.\.\.$') || abort "button 8 opened no file dialog"
xdotool windowfocus "$d" key ctrl+a
xdotool type --delay 5 "$WORK/in/carol key.asc"
xdotool key Return
idle || abort "button 8 did not end"
gpg --homedir "$WORK/g" --batch --list-keys carol@example.org >/dev/null 2>&1 && ok || bad "button 8 added no key"
for _ in $(seq 200); do grep -q "Carol Test" "$WORK/app/ID.txt" 2>/dev/null && break; sleep 0.05; done
grep -q "Carol Test" "$WORK/app/ID.txt" && ok || bad "the key list was not made again after button 8"

# The tree of the real ring: a key node per key, the signatures below.
xdotool mousemove $((WX + 431)) $((WY + 114)) click 1
idle || abort "the tree read did not end"
[ "$(grep -c '^pub' "$WORK/app/Tree.txt")" = 3 ] && ok || bad "Tree.txt does not list three keys"
treemenu 0 6 # "Alles öffnen": rows 0 Alice, 1 her own signature, 2 Bob's
sleep 0.2
treemenu 2 1 # "&Fingerprint zeigen" on Bob's signature: the signer's key
out_has "$BID" || bad "no fingerprint run"
editor_has "signature node" "fingerprint=$BOB" "$ALICE"

# "&ASCII-Key speichern" proposes the eight key-ID digits.
totree
treemenu 0 2
d=$(waitwin '^Speichern\.\.\.$') || abort "no save dialog"
xdotool windowfocus "$d" key Return
waitgone '^Speichern\.\.\.$' || bad "save dialog stays open"
for _ in $(seq 200); do [ -s "$WORK/app/$AID.asc" ] && break; sleep 0.05; done
grep -q "BEGIN PGP PUBLIC KEY BLOCK" "$WORK/app/$AID.asc" 2>/dev/null && ok || bad "no armoured key in $AID.asc"
editor_has "ASCII save" "Keyextracted"

# "Key &löschen" asks first; Abbrechen keeps the key, OK removes it.
totree
treemenu 0 5 # "&Neu einlesen": rows 0 Alice, 1 Bob, 2 Carol
idle || abort "the tree read did not end"
treemenu 2 4
b=$(waitwin '^Bestätigen$') || abort "no question before the removal"
xdotool windowfocus "$b" key Escape
waitgone '^Bestätigen$' || bad "question stays after Abbrechen"
sleep 0.3
gpg --homedir "$WORK/g" --batch --list-keys carol@example.org >/dev/null 2>&1 && ok || bad "Abbrechen removed the key"
treemenu 2 4
b=$(waitwin '^Bestätigen$') || abort "no question before the removal"
xdotool windowfocus "$b" key Return
out_has "removed" || bad "pgp reported no removal"
gone=""
for _ in $(seq 100); do gpg --homedir "$WORK/g" --batch --list-keys carol@example.org >/dev/null 2>&1 || { gone=1; break; }; sleep 0.05; done
[ -n "$gone" ] && ok || bad "OK did not remove the key"
finish
