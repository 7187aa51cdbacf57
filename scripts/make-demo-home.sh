#!/usr/bin/env bash
# Creates a demo GnuPG home for a first look at Quorbix, once: two key pairs that
# certify each other.
#   Alice Demo <alice@example.org>  Ed25519 (+ Curve25519 for encryption), pass phrase "alice"
#   Bob Demo <bob@example.org>      RSA 3072 (+ RSA 3072 for encryption),   pass phrase "bob"
# Usage: make-demo-home.sh GNUPGHOME-DIR [PGPPATH-DIR]
# With a second directory, a config.txt for pgp is written there when it has none.
set -euo pipefail
HOME_DIR="${1:?usage: $0 GNUPGHOME-DIR [PGPPATH-DIR]}"
CONF_DIR="${2:-}"

if [ -n "$CONF_DIR" ]; then
  mkdir -p "$CONF_DIR"
  if [ ! -e "$CONF_DIR/config.txt" ]; then
    cat > "$CONF_DIR/config.txt" <<'CONF'
# pgp configuration (PGP 2.6 syntax)
Armor = off
TextMode = off
ClearSig = on
EncryptToSelf = off
Language = en
CONF
  fi
fi

if [ -f "$HOME_DIR/.demo-complete" ]; then
  exit 0
fi
if [ -e "$HOME_DIR" ] && [ -n "$(ls -A "$HOME_DIR" 2>/dev/null)" ]; then
  echo "$HOME_DIR exists and is no demo home made by this script; left alone." >&2
  exit 0
fi

mkdir -p "$HOME_DIR"
chmod 700 "$HOME_DIR"
export GNUPGHOME="$HOME_DIR"
trap 'gpgconf --homedir "$HOME_DIR" --kill gpg-agent >/dev/null 2>&1 || true' EXIT

gpg_q() { gpg --batch --quiet --pinentry-mode loopback "$@"; }
fpr_of() { gpg --batch --with-colons --list-keys "$1" | awk -F: '/^fpr/{print $10; exit}'; }

echo "Creating the demo key ring in $HOME_DIR (RSA key generation takes a moment)..."
gpg_q --passphrase alice --quick-gen-key "Alice Demo <alice@example.org>" ed25519 sign,cert never
ALICE=$(fpr_of alice@example.org)
gpg_q --passphrase alice --quick-add-key "$ALICE" cv25519 encr never

gpg_q --passphrase bob --quick-gen-key "Bob Demo <bob@example.org>" rsa3072 sign,cert never
BOB=$(fpr_of bob@example.org)
gpg_q --passphrase bob --quick-add-key "$BOB" rsa3072 encr never

gpg_q --passphrase bob -u "$BOB" --quick-sign-key "$ALICE"
gpg_q --passphrase alice -u "$ALICE" --quick-sign-key "$BOB"

touch "$HOME_DIR/.demo-complete"
echo "Demo keys: Alice Demo (pass phrase 'alice'), Bob Demo (pass phrase 'bob')."
