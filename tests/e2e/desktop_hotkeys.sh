#!/usr/bin/env bash
# The three system-wide hotkeys on a real X server with the real clipboard:
# Ctrl+1 encrypts the clipboard's text for the key ID on its "//" line,
# Ctrl+2 decrypts it and brings the output viewer forward, Ctrl+3 signs.
# The recording stand-in plays PGP. A second instance whose Ctrl+1 the first
# one holds says "Konnte Hotkey nicht setzen !" once and keeps its other keys.
# usage: desktop_hotkeys.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
BUILD="$(cd "$1" && pwd)"
need Xvfb xdotool xclip
FAKE="$BUILD/tests/fakepgp/pgp"
[ -x "$FAKE" ] || { echo "skipped: $FAKE not built"; exit 77; }

WORK="$(mktemp -d /tmp/qhk.XXXXXX)"
cleanup() {
  [ -n "${CLIPPID:-}" ] && kill "$CLIPPID" 2>/dev/null
  stop_started
  rm -rf "$WORK"
}
trap cleanup EXIT

TMP="$WORK/tmp"
mkdir -p "$TMP" "$WORK/pgp"
chmod 700 "$TMP"
ln -s "$FAKE" "$WORK/pgp/pgp"
cat > "$WORK/script" <<EOF
when -kv exit 0
when -ea copy $TMP/QUORBIX.tmp $WORK/encrypted-input
when -ea write $TMP/QUORBIX.asc -----BEGIN PGP MESSAGE-----\n\nZmFrZQ==\n-----END PGP MESSAGE-----
when -ea exit 0
when -sat write $TMP/QUORBIX.asc -----BEGIN PGP SIGNED MESSAGE-----\n\nSign me\n-----BEGIN PGP SIGNATURE-----\n\nc2ln\n-----END PGP SIGNATURE-----
when -sat exit 0
stdout Good signature from user "Demo".
write $TMP/QUORBIX Klartext\r\nZeile zwei\r\n
EOF
export QUORBIX_FAKEPGP_LOG="$WORK/pgp.log" QUORBIX_FAKEPGP_SCRIPT="$WORK/script"
export Temp="$TMP" PGPPATH="$WORK/pgp" PGPPASS="geheim"
unset Tmp

# One installation with its own settings: make_instance NAME ENCRYPT DECRYPT SIGN
# (hotkeys as the stored hex bytes).
make_instance() {
  mkdir -p "$WORK/$1/app" "$WORK/$1/config/Farrowdale Software"
  # A portable copy: its own folder, holding a button file, keeps every file.
  cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$BUILD"/stage/Buttons.qx? "$WORK/$1/app/"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n"Browser"="Clipboard"\r\n"SCEncrypt"=hex:%s\r\n"SCDecrypt"=hex:%s\r\n"SCSign"=hex:%s\r\n' \
    "$WORK/pgp" "$2" "$3" "$4" > "$WORK/$1/config/Farrowdale Software/QUORBIX.reg"
}
start_instance() {
  XDG_CONFIG_HOME="$WORK/$1/config" XDG_DATA_HOME="$WORK/$1/data" "$WORK/$1/app/quorbix" > "$WORK/$1.log" 2>&1 &
  PIDS+=($!)
}
visible() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" ]; }
clip() { xclip -o -selection clipboard 2>/dev/null; }
setclip() { printf "$1" | xclip -i -selection clipboard; }
clip_starts() { clip | head -1 | grep -qx -- "$1"; }
last_run_with() { # the arguments of the last run that had argument $1
  awk -v a="arg $1" '/^run$/{buf=""; keep=0; next} /^arg /{buf=buf $0 "\n"; if ($0==a) keep=1} /^cwd /{if(keep) last=buf} END{printf "%s", last}' "$QUORBIX_FAKEPGP_LOG"
}

start_xvfb

make_instance main 31,00,04,00 32,00,04,00 33,00,04,00
start_instance main
waitfor visible "^QUORBIX Version 2.0$" || { cat "$WORK/main.log"; echo "FAIL: no main window"; exit 1; }
check "no message at a clean start" test "$(xdotool search --onlyvisible --name '^Quorbix$' 2>/dev/null | wc -l)" = 0

# The keys are pressed while another program has the keyboard.
if command -v xterm >/dev/null; then
  xterm -geometry 40x5+500+400 -T other & PIDS+=($!)
  waitfor visible "^other$" && xdotool mousemove 600 450 click 1
fi

# Encrypt.
setclip '//0x1234ABCD\nHallo Welt\nZweite Zeile'
sleep 0.2
xdotool key ctrl+1
check "Ctrl+1 leaves the armoured message on the clipboard" waitfor clip_starts "-----BEGIN PGP MESSAGE-----"
ENC="$(last_run_with -ea)"
check "encrypt ran pgp -ea +batchmode, QUORBIX.tmp, the key ID and the fixed options" test "$ENC" = \
  "$(printf 'arg %s\n' "$WORK/pgp/pgp" -ea +batchmode "$TMP/QUORBIX.tmp" 0x1234ABCD +batchmode +CharSet=Latin1 +force)"
check "the // line is not encrypted" test "$(tr -d '\r' < "$WORK/encrypted-input" 2>/dev/null)" = "$(printf 'Hallo Welt\nZweite Zeile')"
check "the temporary files are gone after encrypt" test ! -e "$TMP/QUORBIX.tmp" -a ! -e "$TMP/QUORBIX.asc"

# Decrypt.
xdotool key ctrl+2
check "Ctrl+2 leaves the plain text on the clipboard" waitfor clip_starts "Klartext"
check "the output viewer is shown" waitfor visible "^PGP-Output$"
DEC="$(last_run_with "$TMP/QUORBIX.tmp")"
check "decrypt gives pgp no command letter" test "$DEC" = \
  "$(printf 'arg %s\n' "$WORK/pgp/pgp" +batchmode "$TMP/QUORBIX.tmp" +batchmode +CharSet=Latin1 +force)"
check "the decrypted file is gone" test ! -e "$TMP/QUORBIX"

# Sign.
setclip 'Sign me'
sleep 0.2
xdotool key ctrl+3
check "Ctrl+3 leaves a clear-signed text" waitfor clip_starts "-----BEGIN PGP SIGNED MESSAGE-----"
check "sign ran -sat +batchmode" grep -qx "arg -sat" <<< "$(last_run_with -sat)"

# A second installation whose Ctrl+1 the first one holds.
make_instance second 31,00,04,00 35,00,04,00 36,00,04,00
start_instance second
check "the held hotkey is reported" waitfor visible '^Quorbix$'
BOX="$(xdotool search --onlyvisible --name '^Quorbix$' | head -1)"
eval "$(xdotool getwindowgeometry --shell "$BOX")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 3)) click 1
xdotool key Return
waitfor visible "^QUORBIX Version 2.0$"
sleep 0.5
check "the report comes once" test "$(xdotool search --onlyvisible --name '^Quorbix$' 2>/dev/null | wc -l)" = 0
RUNS_BEFORE="$(grep -c '^run$' "$QUORBIX_FAKEPGP_LOG")"
setclip 'Sign me'
sleep 0.2
xdotool key ctrl+6
check "the second installation's other hotkeys work" waitfor clip_starts "-----BEGIN PGP SIGNED MESSAGE-----"
check "Ctrl+6 ran pgp once more" test "$(grep -c '^run$' "$QUORBIX_FAKEPGP_LOG")" -gt "$RUNS_BEFORE"

finish
