#!/usr/bin/env bash
# A full working folder as a user meets it, with the real pgp: TempDir is a
# 16 KB tmpfs. Encrypting a 20 KB editor text (Ctrl+R) says the disk is full
# and leaves the text as it was; decrypting (Ctrl+E) a message whose plain
# text does not fit shows pgp's report naming the full disk, and no cut-off
# plain text takes the message's place in the editor.
# usage: crypt_full_disk.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
PY=/usr/bin/python3
LAUNCHER=/usr/libexec/at-spi-bus-launcher
for tool in unshare dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
# The error box's text is read as a screen reader reads it.
[ -x "$LAUNCHER" ] || { echo "skipped: at-spi2-core missing"; exit 77; }
"$PY" -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi missing"; exit 77; }
# The tiny disk needs a mount namespace of its own, the reader a session
# bus: run again inside both.
if [ -z "${QUORBIX_E2E_OWN_MOUNTS:-}" ]; then
  unshare -rm true 2>/dev/null || { echo "skipped: no private mount namespace here (unshare -rm refused)"; exit 77; }
  QUORBIX_E2E_OWN_MOUNTS=1 exec unshare -rm dbus-run-session -- bash "$0" "$@" 2> >(grep -v "fd limit" >&2)
fi
E2E_NAME=qfd
source "$(dirname "$0")/lib/crypt_setup.bash" "$1"
mount -t tmpfs -o size=16k,mode=0700 quorbix "$WORK/tmp" || { echo "skipped: no tmpfs can be mounted"; exit 77; }
"$LAUNCHER" --launch-immediately >/dev/null 2>&1 & APID=$!
trap 'kill "$APID" 2>/dev/null; umount "$WORK/tmp" 2>/dev/null; cleanup' EXIT
# Qt bridges to AT-SPI only when told an assistive technology listens.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# The text of every label in the program's window TITLE, as a screen reader reads it.
labels() { t "$PY" "$(dirname "$0")/lib/atspi_nodes.py" "$1" 2>/dev/null | awk -F'\t' '$1 == "label" { print $2 }'; }
box_reads() { labels Quorbix | grep -qF -- "$1"; }
close_box() { waitfor visible "^Quorbix$" && click "^Quorbix$" 20 20 && xdotool key Return && waitfor gone "^Quorbix$"; }
same_text() { cmp -s <(editor_text | sed -e '$a\') <(sed -e '$a\' "$1"); }
no_plain_text() { ! editor_text | grep -q Klartext; }

"$WORK/app/quorbix" > "$WORK/log" 2>&1 & QPID=$!
waitfor visible "$MAIN" || { cat "$WORK/log"; die "no main window"; }
waitfor grep -q Alice "$WORK/app/ID.txt" || die "no key list"

# 20 KB for Alice, named on the first line: QUORBIX.tmp does not fit.
{ echo "//0x$ALICE"; for i in $(seq 400); do printf 'Zeile %03d: ein Text, der nicht auf die Platte passt.\n' "$i"; done; } > "$WORK/long.txt"
xclip -i -selection clipboard < "$WORK/long.txt"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.5
same_text "$WORK/long.txt" || die "the text did not reach the editor"
xdotool key ctrl+r
waitfor visible "^Quorbix$" || die "no message for the full disk"
check "the message names the file and the full disk" waitfor box_reads \
  "Kann Datei $WORK/tmp/QUORBIX.tmp nicht erstellen. Nicht genügend Speicherplatz auf dem Datenträger."
box_reads Speicherplatz || labels Quorbix
check "the box closes" close_box
check "pgp did not run" test ! -s "$WORK/app/out.txt"
check "the editor text is intact, // line and all" same_text "$WORK/long.txt"
check "no working file is left on the full disk" test -z "$(ls -A "$WORK/tmp")"

# A short message of a long plain text: it comes in, but its plain text
# does not fit.
yes 'Klartext, der entschluesselt nicht mehr auf die Platte passt.' | head -n 4000 > "$WORK/plain.txt"
gpg --batch --armor --trust-model always -r Alice --encrypt < "$WORK/plain.txt" > "$WORK/msg.asc" 2>/dev/null
[ "$(stat -c %s "$WORK/msg.asc")" -lt 8000 ] || die "the message itself is too long for the test"
xclip -i -selection clipboard < "$WORK/msg.asc"
click "$MAIN" 300 250 && xdotool key ctrl+a Delete ctrl+v && sleep 0.5
xdotool key ctrl+e
check "decrypt asks for the pass phrase" pass_phrase alice
check "the output viewer opens" waitfor visible "^PGP-Output$"
check "with pgp's report of the full disk" waitfor grep -q "No space left on device" "$WORK/app/out.txt"
click "^PGP-Output$" 200 100 && xdotool key Escape
waitfor gone "^PGP-Output$"
check "the editor keeps the message" same_text "$WORK/msg.asc"
check "no plain text is shown as a result" no_plain_text
check "nothing is left on the full disk" test -z "$(ls -A "$WORK/tmp")"

echo "$PASS passed, $FAIL failed"
[ "$FAIL" = 0 ]
