#!/usr/bin/env bash
# The hotkeys' mail-window route as a person uses it: under openbox, with the
# real pgp, on a stand-in mail window (tests/fakemail: the mail program's
# window classes, select-all, copy and paste on the real CLIPBOARD). The keys
# are held as fingers hold them and let go in either order.
# - A decrypted secret stays on the clipboard; a new, empty mail then gets
#   the encrypt hotkey: a message, no chooser, no PGP, the mail stays empty
#   and the secret is never pasted.
# - With no mail window in front the application stays minimised.
# - Twenty presses held 50 to 300 ms encrypt, decrypt and sign each window's
#   own text (with umlauts, a dash and the euro sign, UTF-8 for gpg); the user's clipboard comes back after encrypt and sign, and
#   after a decrypt the output viewer has the keyboard.
# usage: mail_window_route.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
E2E_NAME=qmw
source "$(dirname "$0")/lib/crypt_setup.bash" "$1"
FAKEMAIL="$BUILD/tests/fakemail"
[ -x "$FAKEMAIL" ] || { echo "skipped: $FAKEMAIL not built"; exit 77; }
need openbox xprop
MAILPID="" WMPID=""
cleanup_mail() {
  [ -n "$MAILPID" ] && kill "$MAILPID" 2>/dev/null
  [ -n "$WMPID" ] && kill "$WMPID" 2>/dev/null
  cleanup
}
trap cleanup_mail EXIT

# The mail route and Ctrl+1, Ctrl+2, Ctrl+3; Alice's pass phrase is known.
printf '"Browser"="MIE"\r\n"SCEncrypt"=hex:31,00,04,00\r\n"SCDecrypt"=hex:32,00,04,00\r\n"SCSign"=hex:33,00,04,00\r\n' \
  >> "$WORK/config/Farrowdale Software/QUORBIX.reg"
export PGPPASS=alice

start_openbox
"$WORK/app/quorbix" > "$WORK/log" 2>&1 & QPID=$!
waitfor visible "$MAIN" || { cat "$WORK/log"; die "no main window"; }
waitfor grep -q Bob "$WORK/app/ID.txt" || die "no key list"
MAINWIN=$(win "$MAIN")

clip() { t xclip -o -selection clipboard 2>/dev/null; }
setclip() { printf '%s' "$1" | xclip -i -selection clipboard; }
clip_is() { [ "$(clip)" = "$1" ]; }
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
minimised() { xprop -id "$MAINWIN" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN; }
mail_text() { cat "$WORK/mail.state" 2>/dev/null; }
mail_starts() { head -1 "$WORK/mail.state" 2>/dev/null | grep -qx -- "$1"; }

# open_mail compose|reader TEXT: a new mail window in front, holding TEXT.
N=0
open_mail() {
  [ -n "$MAILPID" ] && kill "$MAILPID" 2>/dev/null && wait "$MAILPID" 2>/dev/null
  cat "$WORK/mail.state" >> "$WORK/every-mail" 2>/dev/null
  N=$((N + 1))
  printf '%s' "$2" > "$WORK/mail.in"
  rm -f "$WORK/mail.state"
  "$FAKEMAIL" "$1" "Mail $N" "$WORK/mail.in" "$WORK/mail.state" 2>> "$WORK/fakemail.log" & MAILPID=$!
  waitfor visible "^Mail $N$" || return 1
  MAILWIN=$(win "^Mail $N$")
  xdotool windowactivate "$MAILWIN" 2>/dev/null
  waitfor active_is "$MAILWIN"
}
# press KEY HOLD-SECONDS ORDER: Ctrl+KEY as a person presses it; ORDER
# "ctrl" lets go of Ctrl first, "key" of the key first.
press() {
  xdotool keydown ctrl; sleep 0.04
  xdotool keydown "$1"; sleep "$2"
  if [ "$3" = ctrl ]; then
    xdotool keyup ctrl; sleep 0.06; xdotool keyup "$1"
  else
    xdotool keyup "$1"; sleep 0.06; xdotool keyup ctrl
  fi
}
encrypted_for_alice() { # TEXT: gpg's armoured message of TEXT for Alice
  printf '%s\n' "$1" | gpg --batch --armor --trust-model always --encrypt -r Alice 2>/dev/null
}
viewer_closed_by_key() { # the output viewer has the keyboard: a key closes it
  local v; v=$(win "^PGP-Output$"); [ -n "$v" ] || return 1
  waitfor active_is "$v" || return 1
  xdotool key Escape
  waitfor gone "^PGP-Output$"
}
box_text_shown() { # a message box is up: Return closes it
  waitfor visible "^$1$" || return 1
  xdotool key Return
  waitfor gone "^$1$"
}

# A secret decrypted with the hotkey stays on the clipboard.
SECRET="Das alte Geheimnis 4711"
open_mail reader "$(encrypted_for_alice "$SECRET")" || die "no mail window"
press 2 0.15 ctrl
check "the decrypted secret is on the clipboard" waitfor clip_is "$SECRET"
check "after a decryption the output viewer has the keyboard" viewer_closed_by_key

# A new, empty mail and the encrypt hotkey held 150 ms: nothing was copied.
open_mail compose "" || die "no compose window"
rm -f "$WORK/app/out.txt"
press 1 0.15 key
check "an empty mail gets the not-copied message" box_text_shown Fehler
check "and no chooser" gone "^Bitte User mit Doppelklick"
check "the new mail stays empty" test -z "$(mail_text)"
check "the old secret stays on the clipboard, not in the mail" clip_is "$SECRET"
check "pgp did not run" test ! -e "$WORK/app/out.txt"

# No mail window in front: the message, and the application stays minimised.
kill "$MAILPID" 2>/dev/null; wait "$MAILPID" 2>/dev/null; MAILPID=""
xterm -geometry 40x5+500+400 -T other & XTPID=$!
waitfor visible "^other$" && xdotool windowactivate "$(win '^other$')" 2>/dev/null
press 3 0.1 ctrl
check "no mail window: the not-found message" waitfor visible "^Information$"
check "while the application stays minimised" minimised
xdotool key Return
waitfor gone "^Information$"
kill "$XTPID" 2>/dev/null

# Twenty presses, held 50 to 300 ms, each on a window's own text.
HOLDS=(0.05 0.3 0.15 0.1 0.25 0.2 0.07 0.3 0.12 0.18 0.05 0.28 0.15 0.22 0.09 0.3 0.16 0.06 0.24 0.13)
OK_ENC=0 OK_DEC=0 OK_SIG=0 MISSES=0
for i in $(seq 0 19); do
  hold=${HOLDS[$i]}
  order=$([ $((i % 2)) = 0 ] && echo ctrl || echo key)
  word="Text$i-$RANDOM$RANDOM"
  case $((i % 3)) in
  0)
    open_mail compose "$(printf '//0x%s\nVertraulich: Ärger, 5 € %s' "$ALICE" "$word")" || { echo "FAIL: press $i: no window"; continue; }
    setclip "Ablage $i"
    press 1 "$hold" "$order"
    if waitfor mail_starts "-----BEGIN PGP MESSAGE-----" && sleep 0.3 &&
       [ "$(mail_text | gpg --batch --pinentry-mode loopback --passphrase alice -d 2>/dev/null | tr -d '\r')" = "Vertraulich: Ärger, 5 € $word" ] &&
       waitfor clip_is "Ablage $i"; then
      OK_ENC=$((OK_ENC + 1))
    else
      echo "press $i (encrypt, held $hold): mail now: $(mail_text | head -3)"; MISSES=$((MISSES + 1))
    fi
    ;;
  1)
    open_mail reader "$(encrypted_for_alice "Antwort – Grüße $word")" || { echo "FAIL: press $i: no window"; continue; }
    BEFORE="$(mail_text)"
    press 2 "$hold" "$order"
    if waitfor clip_is "Antwort – Grüße $word" && viewer_closed_by_key && [ "$(mail_text)" = "$BEFORE" ]; then
      OK_DEC=$((OK_DEC + 1))
    else
      echo "press $i (decrypt, held $hold): clipboard: $(clip | head -3)"; MISSES=$((MISSES + 1))
    fi
    ;;
  2)
    open_mail compose "Unterschrieben – Ärger $word" || { echo "FAIL: press $i: no window"; continue; }
    setclip "Ablage $i"
    press 3 "$hold" "$order"
    if waitfor mail_starts "-----BEGIN PGP SIGNED MESSAGE-----" && sleep 0.3 &&
       mail_text | grep -q "^Unterschrieben – Ärger $word" &&
       mail_text | gpg --batch --verify 2>&1 | grep -q "Good signature" &&
       waitfor clip_is "Ablage $i"; then
      OK_SIG=$((OK_SIG + 1))
    else
      echo "press $i (sign, held $hold): mail now: $(mail_text | head -3)"; MISSES=$((MISSES + 1))
    fi
    ;;
  esac
  # Each miss waits out its timeouts: three tell enough.
  [ "$MISSES" -ge 3 ] && break
done
check "every encrypt press encrypted its own mail, the clipboard came back ($OK_ENC/7)" test "$OK_ENC" = 7
check "every decrypt press decrypted its own mail ($OK_DEC/7)" test "$OK_DEC" = 7
check "every sign press signed its own mail, the clipboard came back ($OK_SIG/6)" test "$OK_SIG" = 6
cat "$WORK/mail.state" >> "$WORK/every-mail" 2>/dev/null
check "no mail ever got the old secret" test "$(grep -c "$SECRET" "$WORK/every-mail")" = 0

finish
