#!/usr/bin/env bash
# What a screen reader reads, from outside: the program on its own D-Bus
# session with the AT-SPI registry, walked by pyatspi as Orca would. The key
# count after a tree read is read from the main window's status bar and from
# the recipient chooser's; every button, check box, menu entry and label of
# both windows has a name; no panel hides its text behind a fixed label.
# usage: screen_reader.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
BUILD="$(cd "$1" && pwd)"
PY=/usr/bin/python3
LAUNCHER=/usr/libexec/at-spi-bus-launcher
need Xvfb xdotool dbus-run-session
[ -x "$LAUNCHER" ] || { echo "skipped: at-spi2-core missing"; exit 77; }
"$PY" -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi missing"; exit 77; }
FAKE="$BUILD/tests/fakepgp/pgp"
[ -x "$FAKE" ] || { echo "skipped: $FAKE not built"; exit 77; }
# A session bus of our own, gone with the test.
if [ -z "${QUORBIX_A11Y_BUS:-}" ]; then
  QUORBIX_A11Y_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v "fd limit" >&2)
fi

WORK="$(mktemp -d /tmp/qsr.XXXXXX)"
cleanup() { stop_started; rm -rf "$WORK"; }
trap cleanup EXIT

mkdir -p "$WORK/tmp" "$WORK/pgp" "$WORK/app" "$WORK/config/Farrowdale Software"
chmod 700 "$WORK/tmp"
ln -s "$FAKE" "$WORK/pgp/pgp"
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$WORK/app/"
# Two keys in both listings: the short one for the chooser, the verbose one
# for the tree.
KEYS='pub  1024/12345678 1996/01/01 Alice <a@example.org>\r\npub  2048/9ABCDEF0 1997/02/02 Bob <b@example.org>\r\n'
printf '%s\n' "when -kv rawout \\r\\nKey ring: x\\r\\nType Bits/KeyID    Date       User ID\\r\\n${KEYS}2 matching keys found.\\r\\n" \
  "when -kvv rawout Key ring: x\\r\\nType Bits/KeyID    Date       User ID\\r\\n${KEYS}2 matching keys found.\\r\\n" \
  > "$WORK/fake.script"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="0"\r\n"Top"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n"Browser"="Clipboard"\r\n' \
  "$WORK/pgp" > "$WORK/config/Farrowdale Software/QUORBIX.reg"
export QUORBIX_FAKEPGP_LOG="$WORK/pgp.log" QUORBIX_FAKEPGP_SCRIPT="$WORK/fake.script"
export Temp="$WORK/tmp" PGPPATH="$WORK/pgp" PGPPASS="pw"
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" HOME="$WORK"
# Qt bridges to AT-SPI only when told an assistive technology listens.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset Tmp

start_xvfb
"$LAUNCHER" --launch-immediately >/dev/null 2>&1 & PIDS+=($!)

MAIN="^QUORBIX Version 2.0$"
CHOOSER="^Bitte User mit Doppelklick"

tree() { "$PY" "$(dirname "$0")/lib/atspi_nodes.py" "$1" 2>/dev/null; }
reads() { tree "$1" | grep -qF -- "$2"; }
# Buttons, check boxes, radio buttons, menu entries and labels all named
# (a label that shows nothing may be nameless).
allNamed() {
  local t; t=$(tree "$1")
  [ -n "$t" ] && ! printf '%s\n' "$t" | grep -qE $'^(push button|check box|radio button|menu item|page tab)\t$'
}

"$WORK/app/quorbix" > "$WORK/main.log" 2>&1 & PIDS+=($!)
waitfor visible "$MAIN" || { cat "$WORK/main.log"; echo "FAIL: no main window"; exit 1; }
check "the main window is on the accessibility bus" waitfor reads "QUORBIX Version 2.0" $'push button\tKey generieren'
check "every control of it is named" allNamed "QUORBIX Version 2.0"
check "the menus are read without access keys" reads "QUORBIX Version 2.0" $'menu item\tEinstellungen...'

# "Baumansicht anzeigen": the tree read puts the key count into panel 1.
click "$MAIN" 431 114
COUNT="Anzahl vorhandener Schlüssel :2"
check "the key count is read from the main window's status bar" waitfor reads "QUORBIX Version 2.0" $'label\t'"$COUNT"
noFixedLabel() { ! tree "$1" | grep -qxE $'label\t(Status|Hint line)'; }
check "no panel is read as a fixed label" noFixedLabel "QUORBIX Version 2.0"

# The chooser of "&Verschlüsseln" says the count in its own status bar.
click "$MAIN" 68 114
check "the chooser opens" waitfor visible "$CHOOSER"
check "and its key count is read" waitfor reads "Bitte User mit Doppelklick" $'label\t'"$COUNT"
check "its rows are read" reads "Bitte User mit Doppelklick" "Alice <a@example.org>"
check "every control of it is named" allNamed "Bitte User mit Doppelklick"
check "nor there" noFixedLabel "Bitte User mit Doppelklick"

finish
