#!/usr/bin/env bash
# Makes (once) and names a GnuPG home with a ring of KEYS keys for the benchmarks:
# two own keys made by gpg (secret keys without pass phrase; "Bench User 0" and
# "Bench Own 2") and KEYS-2 keys from make-ring.py, every key certified CERTS times.
# usage: bench/ring.sh KEYS [CERTS]   prints the GnuPG home; rings stay in /tmp/quorbix-rings
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
KEYS="${1:?number of keys}"
CERTS="${2:-3}"
ROOT="${QUORBIX_RINGS:-/tmp/quorbix-rings}"
HOME_DIR="$ROOT/ring-$KEYS-$CERTS"
if [ ! -f "$HOME_DIR/.complete" ]; then
  rm -rf "$HOME_DIR"; mkdir -p "$HOME_DIR"; chmod 700 "$HOME_DIR"
  export GNUPGHOME="$HOME_DIR"
  G=(gpg --batch --quiet --no-auto-check-trustdb --passphrase '')
  "${G[@]}" --quick-gen-key 'Bench User 0 <user0@bench.example>' ed25519 cert,sign never 2>/dev/null
  fpr0=$(gpg --batch --with-colons --list-keys user0@bench.example | awk -F: '/^fpr/{print $10; exit}')
  "${G[@]}" --quick-add-key "$fpr0" cv25519 encr never 2>/dev/null
  "${G[@]}" --quick-gen-key 'Bench Own 2 <own2@bench.example>' ed25519 cert,sign never 2>/dev/null
  gpg --batch --pinentry-mode loopback --passphrase '' --export-secret-keys "$fpr0" > "$HOME_DIR/own.sec"
  python3 "$HERE/make-ring.py" "$((KEYS - 2))" "$CERTS" "$HOME_DIR/ring.pgp" "$HOME_DIR/own.sec"
  gpg --batch --quiet --no-auto-check-trustdb --import "$HOME_DIR/ring.pgp" 2>/dev/null
  gpg --batch --quiet --check-trustdb 2>/dev/null || true
  gpgconf --homedir "$HOME_DIR" --kill gpg-agent >/dev/null 2>&1 || true
  rm -f "$HOME_DIR/own.sec" "$HOME_DIR/ring.pgp"
  touch "$HOME_DIR/.complete"
fi
echo "$HOME_DIR"
