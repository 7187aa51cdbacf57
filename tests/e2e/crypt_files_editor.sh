#!/usr/bin/env bash
# The encryption commands as a user meets them, with the real pgp on a fresh
# GnuPG ring of two keys: a file (its name with a blank) encrypted for the key
# picked in the chooser decrypts to the same bytes; a signed file verifies
# with "Good signature" in the editor; editor text with a "//" line is
# encrypted for both keys without the chooser, decrypts with the output
# viewer, and signs clear; text with umlauts and the euro sign signs clear
# for gpg in UTF-8 and checks good again, Cyrillic is refused and kept;
# "Key hinzufügen" adds an armoured key and the user list knows it.
# usage: crypt_files_editor.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
E2E_NAME=qcf
source "$(dirname "$0")/lib/crypt_setup.bash" "$1"

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

# Umlauts, a dash and the euro sign from the clipboard: clear-signed, the
# mail gets UTF-8 text whose signature gpg finds good.
printf 'Gr\xc3\xbc\xc3\x9fe aus K\xc3\xb6ln \xe2\x80\x93 5 \xe2\x82\xac\n' > "$WORK/umlaut.txt"
xclip -i -selection clipboard < "$WORK/umlaut.txt"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.3
check "the umlaut text is in the editor" waitfor editor_has "^Grüße aus Köln – 5 €$"
xdotool key ctrl+s
check "the editor clear-signs the umlaut text" waitfor editor_has "BEGIN PGP SIGNED MESSAGE"
editor_text > "$WORK/umlaut.asc"
check "with the text as it was" grep -q "^Grüße aus Köln – 5 €" "$WORK/umlaut.asc"
check "and gpg finds it good" gpg --batch --verify "$WORK/umlaut.asc" < /dev/null
# Back in the editor, Quorbix finds the same signature good too.
xclip -i -selection clipboard < "$WORK/umlaut.asc"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.3
xdotool key ctrl+e
check "the check finds it good" waitfor grep -q "Good signature" "$WORK/app/out.txt"
check "not bad" test "$(grep -c "Bad signature" "$WORK/app/out.txt")" = 0
umlaut_back() { local t; t=$(editor_text); grep -q "^Grüße aus Köln – 5 €$" <<< "$t" && ! grep -q "BEGIN PGP" <<< "$t"; }
check "and gives the umlaut text back" waitfor umlaut_back

# Cyrillic is beyond Windows Latin-1: refused, and the editor keeps it.
printf '\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\n' > "$WORK/cyrillic.txt"
xclip -i -selection clipboard < "$WORK/cyrillic.txt"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.3
xdotool key ctrl+s
check "Cyrillic text is refused" waitfor visible "^Fehler$"
click "^Fehler$" 10 10 && xdotool key Return
check "the refusal closes" waitfor gone "^Fehler$"
check "the editor keeps the Cyrillic text" waitfor editor_has "^Привет$"
# From a gpg user, the same word decrypts to the letters it was written in.
printf '\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 aus Moskau\n' \
  | gpg --batch --trust-model always -ea -r "0x$ALICE" > "$WORK/cyrillic.asc" 2>/dev/null
xclip -i -selection clipboard < "$WORK/cyrillic.asc"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.3
xdotool key ctrl+e
cyrillic_back() { local t; t=$(editor_text); grep -q "^Привет aus Moskau$" <<< "$t" && ! grep -q "BEGIN PGP" <<< "$t"; }
check "gpg's Cyrillic text comes back readable" waitfor cyrillic_back

# An armoured key from the editor.
xclip -i -selection clipboard < "$WORK/carol.asc"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.3
xdotool key ctrl+k
check "the key is added to the ring" waitfor gpg --batch --list-keys Carol >/dev/null 2>&1
check "pgp's report is in the editor" waitfor editor_has "1 new key"
check "the user list is read again" waitfor grep -q Carol "$WORK/app/ID.txt"

echo "$PASS passed, $FAIL failed"
[ "$FAIL" = 0 ]
