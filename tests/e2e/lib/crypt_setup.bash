# Shared set-up of the encryption scripts: a fresh two-key ring (and a third
# key elsewhere), a copy of the program in a folder of its own, its own Xvfb,
# and the helpers that drive the windows. Sourced with the build dir as $1;
# E2E_NAME names the work folder.
# A tool that would wait for an answer must not stall the run.
t() { timeout 10 "$@"; }
BUILD="$(cd "$1" && pwd)"
source "$(dirname "${BASH_SOURCE[0]}")/harness.bash"
need Xvfb xdotool xclip gpg gpgconf
[ -x "$BUILD/bin/pgp" ] || { echo "skipped: pgp not built"; exit 77; }

WORK="$(mktemp -d "/tmp/${E2E_NAME:-qe2e}.XXXXXX")"
cleanup() {
  [ -n "${QPID:-}" ] && kill "$QPID" 2>/dev/null
  kill "${XPID:-}" 2>/dev/null
  for h in "$WORK/g" "$WORK/other"; do gpgconf --homedir "$h" --kill gpg-agent >/dev/null 2>&1; done
  rm -rf "$WORK"
}
trap cleanup EXIT
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
# A portable copy: its own folder, holding a button file, keeps every file.
cp "$BUILD/bin/quorbix" "$BUILD/bin/MakeID.pif" "$BUILD"/bin/*.html "$BUILD"/stage/Buttons.qx? "$WORK/app/"
ln -s "$BUILD/bin/pgp" "$WORK/pgp/pgp"
printf 'Armor = off\nTextMode = off\nClearSig = on\nEncryptToSelf = off\nLanguage = en\n' > "$WORK/pgp/config.txt"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="0"\r\n"Top"="0"\r\n"RADIX-64"="1"\r\n"TextMode"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n' \
  "$WORK/pgp" > "$WORK/config/Farrowdale Software/QUORBIX.reg"
export GNUPGHOME="$WORK/g" PGPPATH="$WORK/pgp" Temp="$WORK/tmp" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
unset PGPPASS Tmp

start_xvfb
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
