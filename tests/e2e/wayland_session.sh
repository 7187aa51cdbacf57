#!/usr/bin/env bash
# The program as a native Wayland client, under a headless compositor of its
# own and without any X server: the main window, the pass phrase dialog and
# the chooser work from the keyboard, and editor text makes the round trip
# through the real pgp. With a stand-in for the shortcuts portal on the
# test's session bus, start-up binds the three stored keys in one session,
# the desktop's Activated for encrypt runs the encryption flow on the
# clipboard with the exact PGP command line (and, without the keyboard focus,
# says why it cannot read the clipboard), the mail-window route says why it
# cannot work here, and a refusing portal gives its message once.
# usage: wayland_session.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
source "$(dirname "$0")/lib/harness.bash"
BUILD="$(cd "$1" && pwd)"
SRC="$(cd "$(dirname "$0")/../.." && pwd)"
PY=/usr/bin/python3
LAUNCHER=/usr/libexec/at-spi-bus-launcher
need sway swaymsg wtype wl-copy wl-paste dbus-run-session dbus-send gpg gpgconf setpriv
[ -x "$LAUNCHER" ] || { echo "skipped: at-spi2-core missing"; exit 77; }
"$PY" -c 'import pyatspi, dbus, gi' 2>/dev/null || { echo "skipped: python3-pyatspi, -dbus or -gi missing"; exit 77; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 || { echo "skipped: qt6-wayland missing"; exit 77; }
[ -x "$BUILD/bin/pgp" ] && [ -x "$BUILD/tests/fakepgp/pgp" ] || { echo "skipped: pgp or the stand-in not built"; exit 77; }
# A session bus of our own, gone with the test.
if [ -z "${QUORBIX_WL_BUS:-}" ]; then
  QUORBIX_WL_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v "fd limit" >&2)
fi
# No X server to fall back to: the program must speak Wayland itself.
unset DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE WAYLAND_DISPLAY Tmp PGPPASS

t() { timeout 10 "$@"; }
WORK="$(mktemp -d /tmp/qwl.XXXXXX)"
chmod 711 "$WORK"
cleanup() {
  stop_started
  [ -n "${PORTAL:-}" ] && kill "$PORTAL" 2>/dev/null
  [ -n "${SWAY:-}" ] && kill "$SWAY" 2>/dev/null
  gpgconf --homedir "$WORK/g" --kill gpg-agent >/dev/null 2>&1
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
die() { echo "FAIL: $*"; echo "$PASS passed, $((FAIL + 1)) failed"; exit 1; }

# The compositor: sway on its headless backend, without Xwayland. It will not
# run as root; then it runs as nobody, and root reaches its socket all the same.
export XDG_RUNTIME_DIR="$WORK/rt"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf 'xwayland disable\n' > "$XDG_RUNTIME_DIR/sway.conf"
AS=()
if [ "$(id -u)" = 0 ]; then
  chown nobody "$XDG_RUNTIME_DIR"
  AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
env -u DBUS_SESSION_BUS_ADDRESS WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  "${AS[@]}" sway -c "$XDG_RUNTIME_DIR/sway.conf" > "$WORK/sway.log" 2>&1 & SWAY=$!
waitfor compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" >/dev/null || { cat "$WORK/sway.log"; echo "skipped: sway did not start"; exit 77; }
WAYLAND_DISPLAY="$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" | head -1)" .lock)"
export WAYLAND_DISPLAY
waitfor compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null || die "no sway IPC socket"
SWAYSOCK="$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -1)"
export SWAYSOCK
"$LAUNCHER" --launch-immediately >/dev/null 2>&1 & PIDS+=($!)
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# views.py: one line "focused<TAB>shell<TAB>title" for every window sway shows.
cat > "$WORK/views.py" <<'PY'
import json, subprocess, sys
tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree", "-r"], capture_output=True, text=True).stdout)
def walk(n):
    if n.get("type") in ("con", "floating_con") and n.get("pid"):
        print(f"{int(bool(n.get('focused')))}\t{n.get('shell')}\t{n.get('name') or ''}")
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(tree)
PY
views() { "$PY" "$WORK/views.py" 2>/dev/null; }
visible() { views | cut -f3 | grep -qE -- "$1"; }
gone() { ! visible "$1"; }
focused() { views | grep -E "^1" | cut -f3 | grep -qE -- "$1"; }
count() { views | cut -f3 | grep -cE -- "$1"; }
native() { views | awk -F'\t' -v re="$1" '$3 ~ re {print $2}' | grep -qx xdg_shell; }
front() { swaymsg "[title=\"$1\"] focus" >/dev/null 2>&1; }
# Each call brings a new virtual keyboard; a key sent before the compositor
# has its keymap would be lost.
key() { wtype -s 150 "$@"; sleep 0.2; }

# a11y.py focus|text NAME: gives the control of that accessible name the
# focus, or prints its text, in any window of the program; a11y.py reads
# PART: whether some control's name holds that part.
cat > "$WORK/a11y.py" <<'PY'
import sys, pyatspi
def find(node, name, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if node.name == name and node.getRoleName() in ("text", "paragraph", "label", "entry", "password text"):
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), name, depth + 1)
            if hit is not None:
                return hit
    except Exception:
        return None
    return None
def reads(node, part, depth=0):
    if node is None or depth > 40:
        return False
    try:
        if part in (node.name or ""):
            return True
        return any(reads(node.getChildAtIndex(i), part, depth + 1) for i in range(node.childCount))
    except Exception:
        return False
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == "Quorbix":
        if sys.argv[1] == "reads":
            if reads(app, sys.argv[2]):
                sys.exit(0)
            continue
        node = find(app, sys.argv[2])
        if node is None:
            continue
        if sys.argv[1] == "focus":
            node.queryComponent().grabFocus()
        else:
            t = node.queryText()
            print(t.getText(0, t.characterCount))
        sys.exit(0)
sys.exit(1)
PY
editor_text() { "$PY" "$WORK/a11y.py" text Editor 2>/dev/null; }
editor_has() { editor_text | grep -q -- "$1"; }
MAIN="^QUORBIX Version 2\.0"
PASSDLG="^Quorbix$"
CHOOSER="^Bitte User mit Doppelklick"

# The stand-in portal; restarted with a mode and a fresh log.
portal() { # portal MODE LOG
  [ -n "${PORTAL:-}" ] && { kill "$PORTAL" 2>/dev/null; wait "$PORTAL" 2>/dev/null; }
  "$PY" "$SRC/tests/support/fake_portal.py" "$2" "$1" & PORTAL=$!
  waitfor dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetNameOwner \
    string:org.freedesktop.portal.Desktop >/dev/null 2>&1 || die "the stand-in portal did not come up"
}
activate() { # activate ID: the desktop reports the shortcut pressed
  dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /test org.quorbix.test.Portal.Activate \
    "string:$1" string: | grep -q "boolean true"
}
settings() { # settings DIR PGPDIR BROWSER EXTRA-LINES
  mkdir -p "$1/config/Farrowdale Software"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"RADIX-64"="1"\r\n"TextMode"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n"Browser"="%s"\r\n%b' \
    "$2" "$3" "${4:-}" > "$1/config/Farrowdale Software/QUORBIX.reg"
}
start() { # start DIR: a portable copy of the program with its own settings
  mkdir -p "$1/app" "$1/tmp"
  chmod 700 "$1/tmp"
  cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$BUILD"/stage/Buttons.qx? "$1/app/"
  Temp="$1/tmp" XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data" "$1/app/quorbix" > "$1/log" 2>&1 &
  QPID=$!
  PIDS+=($QPID)
}
stop() { kill "$QPID" 2>/dev/null; wait "$QPID" 2>/dev/null; waitfor gone "$MAIN"; }

# ---- the windows and the editor with the real pgp ----------------------------
gen() { # gen NAME PASS
  gpg --batch --quiet --pinentry-mode loopback --passphrase "$2" \
    --quick-gen-key "$1 <$(tr A-Z a-z <<< "$1")@example.org>" ed25519 sign,cert never 2>/dev/null
  local fpr
  fpr=$(gpg --batch --with-colons --list-keys "$1" | awk -F: '/^fpr/{print $10; exit}')
  gpg --batch --quiet --pinentry-mode loopback --passphrase "$2" --quick-add-key "$fpr" cv25519 encr never 2>/dev/null
}
export GNUPGHOME="$WORK/g"
mkdir -m 700 "$GNUPGHOME"
gen Alice alice
gen Bob bob
ALICE=$(gpg --batch --with-colons --list-keys Alice | awk -F: '/^pub/{print substr($5, 9); exit}')
mkdir -p "$WORK/real/pgp"
ln -s "$BUILD/bin/pgp" "$WORK/real/pgp/pgp"
printf 'Armor = off\nTextMode = off\nClearSig = on\nEncryptToSelf = off\nLanguage = en\n' > "$WORK/real/pgp/config.txt"
HOTKEYS='"SCEncrypt"=hex:31,00,04,00\r\n"SCDecrypt"=hex:32,00,06,00\r\n"SCSign"=hex:70,00,05,00\r\n'
settings "$WORK/real" "$WORK/real/pgp" Clipboard "$HOTKEYS"
export PGPPATH="$WORK/real/pgp"
portal ok "$WORK/portal-real.log"
start "$WORK/real"
waitfor visible "$MAIN" || { cat "$WORK/real/log"; die "no main window"; }
check "the main window is a native Wayland window" native "$MAIN"
check "it has the keyboard" waitfor focused "$MAIN"
waitfor grep -q Bob "$WORK/real/app/ID.txt" || die "no key list"

"$PY" "$WORK/a11y.py" focus Editor || die "no editor on the accessibility bus"
key "//0x$ALICE"
key -k Return
key "Geheimer Text"
key -M ctrl r -m ctrl
check "Ctrl+R encrypts the editor text for the key on its // line" waitfor editor_has "BEGIN PGP MESSAGE"
check "without the chooser" gone "$CHOOSER"
editor_text > "$WORK/message.asc"
check "for Alice" bash -c "gpg --batch --list-only --decrypt '$WORK/message.asc' 2>&1 < /dev/null | grep -q Alice"
key -M ctrl e -m ctrl
check "Ctrl+E asks for the pass phrase" waitfor visible "$PASSDLG"
check "and the dialog has the keyboard" waitfor focused "$PASSDLG"
key "alice"
key -k Return
check "the output viewer opens" waitfor visible "^PGP-Output$"
check "the text comes back" waitfor editor_has "^Geheimer Text"
check "without the // line" test "$(editor_text | grep -c '^//')" = 0

front "QUORBIX Version 2.0"
waitfor focused "$MAIN"
"$PY" "$WORK/a11y.py" focus Editor
key -M ctrl a -m ctrl -k Delete
key "Noch ein Text"
key -M ctrl r -m ctrl
check "without a // line the chooser opens" waitfor visible "$CHOOSER"
check "with the keyboard" waitfor focused "$CHOOSER"
key -k Down -k Return
check "the key picked there encrypts the text" waitfor editor_has "BEGIN PGP MESSAGE"
check "and the chooser is gone" waitfor gone "$CHOOSER"
check "the hotkeys were bound at start-up, without a message" test "$(grep -c '^BindShortcuts' "$WORK/portal-real.log")" = 1
stop
gpgconf --homedir "$GNUPGHOME" --kill gpg-agent >/dev/null 2>&1

# ---- the hotkeys through the portal, the recording stand-in as PGP ----------
FAKE="$WORK/fake"
mkdir -p "$FAKE/pgp"
ln -s "$BUILD/tests/fakepgp/pgp" "$FAKE/pgp/pgp"
cat > "$FAKE/script" <<EOF
when -kv exit 0
when -ea copy $FAKE/tmp/QUORBIX.tmp $FAKE/encrypted-input
when -ea write $FAKE/tmp/QUORBIX.asc -----BEGIN PGP MESSAGE-----\n\nZmFrZQ==\n-----END PGP MESSAGE-----
EOF
export QUORBIX_FAKEPGP_LOG="$FAKE/pgp.log" QUORBIX_FAKEPGP_SCRIPT="$FAKE/script" PGPPATH="$FAKE/pgp" PGPPASS=geheim
settings "$FAKE" "$FAKE/pgp" Clipboard "$HOTKEYS"
# A keyboard for the seat all along, as a desktop has one: wtype's keyboard
# lives as long as wtype does.
wtype -s 600000 & PIDS+=($!)
portal ok "$FAKE/portal.log"
start "$FAKE"
waitfor visible "$MAIN" || { cat "$FAKE/log"; die "no main window with the stand-in"; }
check "start-up binds the three stored keys" waitfor grep -q '^BindShortcuts' "$FAKE/portal.log"
check "in one session, with their triggers and German descriptions" test "$(cat "$FAKE/portal.log")" = "$(printf '%s\n' \
  CreateSession \
  'BindShortcuts 100=CTRL+1=Quorbix: Text der Zwischenablage verschlüsseln;200=CTRL+ALT+2=Quorbix: Text der Zwischenablage entschlüsseln oder prüfen;300=CTRL+SHIFT+F1=Quorbix: Text der Zwischenablage signieren')"
check "no message" test "$(count "$PASSDLG")" = 0

printf '//0x1234ABCD\nHallo Welt\nZweite Zeile' | wl-copy
sleep 0.3
last_run() { awk '/^run$/{buf=""; next} /^arg /{buf=buf $0 "\n"} /^cwd /{last=buf} END{printf "%s", last}' "$QUORBIX_FAKEPGP_LOG"; }
clip_starts() { t wl-paste -n 2>/dev/null | head -1 | grep -qx -- "$1"; }
# A client sets the clipboard with the serial of an input event it received;
# on a desktop the keyboard's focus gives it one, here a key of the virtual
# keyboard (which exists only while wtype runs) does.
key -k Shift_L
activate 100 || die "the portal could not press the shortcut"
check "Activated for encrypt leaves the armoured message on the clipboard" waitfor clip_starts "-----BEGIN PGP MESSAGE-----"
check "through pgp -ea +batchmode on QUORBIX.tmp for the key ID, with the fixed options" test "$(last_run)" = \
  "$(printf 'arg %s\n' "$FAKE/pgp/pgp" -ea +batchmode "$FAKE/tmp/QUORBIX.tmp" 0x1234ABCD +batchmode +CharSet=Latin1 +force)"
check "what pgp got is the clipboard's text without the // line" \
  test "$(tr -d '\r' < "$FAKE/encrypted-input" 2>/dev/null)" = "$(printf 'Hallo Welt\nZweite Zeile')"
check "the main window stays up (a minimised client loses the clipboard)" visible "$MAIN"

# Another workspace in front and no activation token from the desktop: the
# window cannot take the keyboard, so the clipboard is not read at all.
swaymsg workspace 2 >/dev/null
unfocused() { ! focused "$1"; }
waitfor unfocused "$MAIN" || die "the main window kept the keyboard"
printf 'Noch ein Text' | wl-copy
runs() { grep -cx "arg -ea" "$QUORBIX_FAKEPGP_LOG"; }
BEFORE=$(runs)
activate 100
check "without the keyboard the flow says why" waitfor "$PY" "$WORK/a11y.py" reads "Tastaturfokus nicht bekommen"
check "and runs no pgp" test "$(runs)" = "$BEFORE"
check "the clipboard keeps its text" test "$(t wl-paste -n 2>/dev/null)" = "Noch ein Text"
stop
swaymsg workspace 1 >/dev/null

# The mail-window route cannot work here: choosing a hotkey on it says why.
settings "$FAKE" "$FAKE/pgp" MIE "$HOTKEYS"
rm -f "$QUORBIX_FAKEPGP_LOG"
start "$FAKE"
waitfor visible "$MAIN" || die "no main window on the mail route"
binds() { test "$(grep -c '^BindShortcuts' "$1")" = "$2"; }
waitfor binds "$FAKE/portal.log" 2 || die "no binding on the mail route"
activate 100
check "a hotkey on the mail route shows a message" waitfor visible "^Information$"
check "that says the route is not available on Wayland" waitfor "$PY" "$WORK/a11y.py" reads "steht unter Wayland nicht zur Verfügung"
check "and runs no pgp" bash -c "! grep -qx 'arg -ea' '$QUORBIX_FAKEPGP_LOG'"
stop

# A portal that refuses: one message for the three.
portal refuse "$FAKE/portal-refuse.log"
settings "$FAKE" "$FAKE/pgp" Clipboard "$HOTKEYS"
start "$FAKE"
waitfor visible "$MAIN" || die "no main window with a refusing portal"
check "the refusal is reported" waitfor visible "$PASSDLG"
sleep 1
check "once" test "$(count "$PASSDLG")" = 1
stop

finish
