#!/usr/bin/env bash
# The settings dialog as a user meets it: "&Einstellungen..." opens it, F1
# opens the help, a folder without pgp is refused and the old one kept, the
# switch to English is at once and stored at the end; "Dateierweiterungen
# registrieren" makes .asc files open in Quorbix with the decrypt and add-key
# verbs, "austragen" leaves nothing behind. The recording stand-in plays PGP.
# usage: desktop_settings.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
source "$(dirname "$0")/lib/menus.bash"
BUILD="$(cd "$1" && pwd)"
need Xvfb xdotool
FAKE="$BUILD/tests/fakepgp/pgp"
[ -x "$FAKE" ] || { echo "skipped: $FAKE not built"; exit 77; }

WORK="$(mktemp -d /tmp/qds.XXXXXX)"
cleanup() { stop_started; rm -rf "$WORK"; }
trap cleanup EXIT

mkdir -p "$WORK/tmp" "$WORK/pgp" "$WORK/nopgp" "$WORK/app" "$WORK/config/Farrowdale Software"
chmod 700 "$WORK/tmp"
ln -s "$FAKE" "$WORK/pgp/pgp"
# A portable copy: its own folder, holding a button file, keeps every file.
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$BUILD"/stage/Buttons.qx? "$WORK/app/"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="0"\r\n"Top"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n"Browser"="Clipboard"\r\n' \
  "$WORK/pgp" > "$WORK/config/Farrowdale Software/QUORBIX.reg"
REG="$WORK/config/Farrowdale Software/QUORBIX.reg"
export QUORBIX_FAKEPGP_LOG="$WORK/pgp.log" Temp="$WORK/tmp" PGPPATH="$WORK/pgp"
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" HOME="$WORK"
unset Tmp PGPPASS QUORBIX_FAKEPGP_SCRIPT

start_xvfb

MAIN="^QUORBIX Version 2.0$"

"$WORK/app/quorbix" > "$WORK/main.log" 2>&1 & PIDS+=($!)
waitfor visible "$MAIN" || { cat "$WORK/main.log"; echo "FAIL: no main window"; exit 1; }

# "&Projekt" (Ctrl+P), "&Einstellungen...".
click "$MAIN" 300 250 && menu_walk ctrl+p && xdotool key e
check "the settings dialog opens from the menu" waitfor visible "^Einstellungen$"
click "^Einstellungen$" 198 72 && xdotool key ctrl+a && xdotool type "$WORK/nopgp"
xdotool key F1
check "F1 opens the help" waitfor visible "^Quorbix - Hilfe$"
# Out of the way of the windows below it.
xdotool windowmove "$(win "^Quorbix - Hilfe$")" 900 700
click "^Einstellungen$" 285 328
check "a folder without pgp is refused with a message" waitfor visible "^Information$"
xdotool key Return
check "and the dialog stays open" waitfor visible "^Einstellungen$"
click "^Einstellungen$" 41 276
click "^Einstellungen$" 285 328
check "with pgp's folder back the dialog closes" waitfor gone "^Einstellungen$"

# English at once: the dialog opens as "Setup" now.
click "$MAIN" 300 250 && menu_walk ctrl+p && xdotool key s
check "the program speaks English at once" waitfor visible "^Setup$"

# File types, from the dialog, at once.
click "^Setup$" 277 240
D="$WORK/data/applications"
check "registering writes the desktop entries" waitfor test -s "$D/quorbix-ascfile.desktop" -a -s "$D/quorbix-pgpfile.desktop"
check "with the program's open command" grep -qx "Exec=$WORK/app/quorbix %f" "$D/quorbix-ascfile.desktop"
check "the decrypt verb" grep -qx "Exec=$WORK/app/quorbix /d %f" "$D/quorbix-pgpfile.desktop"
check "the add-key verb" grep -qx "Name=Add key" "$D/quorbix-ascfile.desktop"
check "and no German verb" test "$(grep -c "Entschl" "$D/quorbix-pgpfile.desktop")" = 0
if command -v desktop-file-validate >/dev/null; then
  check "the entries are valid" desktop-file-validate "$D/quorbix-ascfile.desktop" "$D/quorbix-pgpfile.desktop"
fi
if command -v gio >/dev/null && command -v update-mime-database >/dev/null; then
  printf -- '-----BEGIN PGP PUBLIC KEY BLOCK-----\r\n' > "$WORK/key file.asc"
  check ".asc opens with Quorbix by default" bash -c "gio mime application/pgp-keys | head -1 | grep -q quorbix-ascfile.desktop"
  # The start that opens it hands the file to the running window and ends;
  # the window shows it once its dialog is closed.
  gio open "$WORK/key file.asc" & OPENER=$!
  check "opening a .asc file hands it to the running Quorbix" waitfor bash -c "! kill -0 $OPENER 2>/dev/null"
  check "and starts no second window" test "$(xdotool search --onlyvisible --name '^QUORBIX Version 2.0' | wc -l)" = 1
fi
click "^Setup$" 277 271
check "unregistering leaves no file in the data folder" waitfor bash -c "[ -z \"\$(find '$WORK/data' -type f 2>/dev/null)\" ]"
check "nor the association list" test ! -e "$WORK/config/mimeapps.list"
click "^Setup$" 263 328
waitfor gone "^Setup$"
if command -v gio >/dev/null && command -v update-mime-database >/dev/null; then
  check "the running window shows the file" waitfor visible "^QUORBIX Version 2.0 - key file.asc$"
  MAIN="^QUORBIX Version 2.0 - key file.asc$"
fi

# Values reach the settings file at shutdown (Ctrl+Q in English).
click "$MAIN" 300 250 && xdotool key ctrl+q
check "the program ends" waitfor bash -c "! xdotool search --onlyvisible --name '$MAIN' >/dev/null 2>&1"
check "the language is stored" waitfor grep -q '"Language"="English"' "$REG"
check "the refused folder is not" grep -qF "\"PGPPath\"=\"$WORK/pgp\"" "$REG"

finish
