#!/usr/bin/env bash
# The real program under Xvfb, as a new user meets it: a normal start writes
# the button file into the user's data folder, the launch file, and the key
# list into a private working folder; Ctrl+B ends it, rewrites the settings
# and removes the working files. The program's own folder gets nothing.
# usage: startup_shutdown.sh BUILD_DIR    (exit 77: skipped)
set -euo pipefail
source "$(dirname "$0")/lib/harness.bash"
BUILD="$1"
need Xvfb xdotool
WORK="$(mktemp -d /tmp/qe2e.XXXXXX)"
cleanup() { [ -n "${QPID:-}" ] && kill "$QPID" 2>/dev/null; kill "${XPID:-}" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A copy of the program in a folder of ours, without a button file: not a
# portable copy, so the user's folders hold the user's files.
mkdir -p "$WORK/app" "$WORK/pgp" "$WORK/tmp" "$WORK/config/Farrowdale Software" "$WORK/run/quorbix"
chmod 700 "$WORK/run" "$WORK/run/quorbix"
RUN="$WORK/run/quorbix" DATA="$WORK/data/quorbix"
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$WORK/app/"
# A pgp that lists one key, as the key-list script needs.
cat > "$WORK/pgp/pgp" <<'PGP'
#!/bin/sh
printf '\r\nKey ring: x\r\nType Bits/KeyID    Date       User ID\r\npub  1024/12345678 1996/01/01 Demo\r\n1 matching key found.\r\n'
PGP
chmod +x "$WORK/pgp/pgp"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="30"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n' \
  "$WORK/pgp" > "$WORK/config/Farrowdale Software/QUORBIX.reg"
touch "$WORK/tmp/QUORBIX.tmp" "$WORK/tmp/QUORBIX.asc" "$WORK/tmp/QUORBIX.pgp" "$WORK/tmp/QUORBIX" "$RUN/out.txt"

start_xvfb
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/run" Temp="$WORK/tmp"
unset PGPPATH PGPPASS Tmp

"$WORK/app/quorbix" > "$WORK/log" 2>&1 & QPID=$!
WID=""
for _ in $(seq 400); do
  WID=$(xdotool search --onlyvisible --name "^QUORBIX Version 2.0$" 2>/dev/null | head -1) && [ -n "$WID" ] && break
  kill -0 "$QPID" 2>/dev/null || { cat "$WORK/log"; fail "quorbix ended at start-up"; }
  sleep 0.05
done
[ -n "$WID" ] || fail "no main window"

[ "$(stat -c %s "$DATA/Buttons.qxd")" = 7072 ] || fail "Buttons.qxd not 7072 bytes"
[ "$(stat -c %s "$WORK/pgp/PGP.pif")" = 968 ] || fail "PGP.pif not 968 bytes"
grep -q -- "-kv +CharSet=Latin1 >&3" "$RUN/MakeID.bat" || fail "MakeID.bat line"
grep -qF "$RUN/ID.txt" "$RUN/MakeID.bat" || fail "MakeID.bat does not write the working folder's ID.txt"
for _ in $(seq 100); do grep -q "12345678" "$RUN/ID.txt" 2>/dev/null && break; sleep 0.05; done
grep -q "12345678" "$RUN/ID.txt" || fail "the key-list script did not run"
[ "$(stat -c %a "$RUN")" = 700 ] || fail "working folder not 0700"
for f in MakeID.bat ID.txt; do [ "$(stat -c %a "$RUN/$f")" = 600 ] || fail "$f not 0600"; done
[ "$(LC_ALL=C ls "$WORK/app" | LC_ALL=C sort | tr '\n' ' ')" = "MakeID.pif Quorbix.html Quorbixe.html quorbix " ] \
  || fail "files written beside the program: $(ls "$WORK/app")"

# No window manager here: a click into the window gives it the keyboard.
eval "$(xdotool getwindowgeometry --shell "$WID")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
sleep 0.3
xdotool key ctrl+b
for _ in $(seq 200); do kill -0 "$QPID" 2>/dev/null || break; sleep 0.05; done
kill -0 "$QPID" 2>/dev/null && fail "Ctrl+B did not end the program"
QPID=""

REG="$WORK/config/Farrowdale Software/QUORBIX.reg"
grep -q '"Version"="20"' "$REG" || fail "Version not written"
# Only what this run changed is written: the window was not moved or resized,
# the font not changed, so the file keeps what it had.
grep -q '"Left"="30"' "$REG" || fail "stored bounds not kept"
grep -q '"PGPPath"=' "$REG" || fail "PGPPath lost"
grep -q '"Editor Font"=' "$REG" && fail "an unchanged font record was written"
for f in run/quorbix/out.txt run/quorbix/ID.txt run/quorbix/Tree.txt run/quorbix/MakeID.bat tmp/QUORBIX.tmp tmp/QUORBIX.asc tmp/QUORBIX.pgp tmp/QUORBIX; do
  [ -e "$WORK/$f" ] && fail "$f left behind"
done
[ -e "$WORK/app/MakeID.pif" ] || fail "MakeID.pif removed"
echo "1 passed, 0 failed"
