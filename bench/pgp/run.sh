#!/usr/bin/env bash
# Benchmarks pgp against gpg on the same ring:
#   pgp -kvv            vs  gpg --with-colons --list-sigs   (ring of $KEYS keys with certifications)
#   pgp -kv / -kc       vs  gpg --with-colons --list-keys / gpg --check-sigs (CHECK=0 skips -kc)
#   pgp -ea / decrypt   vs  gpg -ea / gpg -d               (a 10 MB file)
# Usage: bench/pgp/run.sh [BUILD-DIR]   (KEYS=1000 RUNS=7 by default; KEYS=5000 for a large ring)
# gpg and pgp runs alternate; the figures are medians.
# The ring is made once (Ed25519 keys without pass phrase) and kept in BUILD/bench-pgp.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "$ROOT" && cd "${1:-build}" && pwd)"
PGP="$BUILD/bin/pgp"
KEYS="${KEYS:-1000}"
RUNS="${RUNS:-7}"
WORK="$BUILD/bench-pgp"
RING="$WORK/ring-$KEYS"
[ -x "$PGP" ] || { echo "build pgp first: $PGP missing" >&2; exit 1; }
mkdir -p "$WORK"
export GNUPGHOME="$RING"
trap 'gpgconf --homedir "$RING" --kill gpg-agent >/dev/null 2>&1 || true' EXIT

if [ ! -f "$RING/.complete" ]; then
  rm -rf "$RING"; mkdir -p "$RING"; chmod 700 "$RING"
  echo "Generating $KEYS keys (one gpg run)..."
  params="$WORK/params.txt"
  : > "$params"
  for i in $(seq 1 "$KEYS"); do
    cat >> "$params" <<P
Key-Type: eddsa
Key-Curve: ed25519
Key-Usage: sign,cert
Subkey-Type: ecdh
Subkey-Curve: cv25519
Subkey-Usage: encrypt
Name-Real: Bench User $i
Name-Email: user$i@bench.example
Expire-Date: 0
%no-protection
%commit
P
  done
  gpg --batch --quiet --no-auto-check-trustdb --gen-key "$params" 2>/dev/null
  mapfile -t FPRS < <(gpg --batch --no-auto-check-trustdb --with-colons --list-keys | awk -F: '/^pub/{p=1;next} p&&/^fpr/{print $10;p=0}')
  echo "Certifying: key 1 signs every key, key 2 every third key..."
  for ((i = 1; i < ${#FPRS[@]}; i++)); do
    gpg --batch --quiet --yes --no-auto-check-trustdb -u "${FPRS[0]}" --quick-sign-key "${FPRS[$i]}" >/dev/null 2>&1 || true
    if [ $((i % 3)) -eq 0 ]; then
      gpg --batch --quiet --yes --no-auto-check-trustdb -u "${FPRS[1]}" --quick-sign-key "${FPRS[$i]}" >/dev/null 2>&1 || true
    fi
  done
  gpg --batch --quiet --check-trustdb 2>/dev/null || true
  touch "$RING/.complete"
fi

median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
now() { date +%s.%N; }
# pair "gpg command" "pgp command": RUNS alternating runs of each (other work on the machine
# then hits both alike); sets T_A and T_B to the medians in seconds.
pair() {
  local a=() b=() s e
  for _ in $(seq 1 "$RUNS"); do
    s=$(now); eval "$1" >/dev/null 2>&1; e=$(now); a+=("$(echo "$e - $s" | bc)")
    s=$(now); eval "$2" >/dev/null 2>&1; e=$(now); b+=("$(echo "$e - $s" | bc)")
  done
  T_A=$(printf '%s\n' "${a[@]}" | median)
  T_B=$(printf '%s\n' "${b[@]}" | median)
}
ratio() { echo "scale=2; $1 / $2" | bc; }

echo
echo "Ring: $(gpg --batch --with-colons --list-keys | grep -c '^pub') keys, $(gpg --batch --with-colons --list-sigs | grep -c '^sig') signatures"
pgp_lines=$("$PGP" -kvv | grep -c '^sig')
gpg_sigs=$(gpg --batch --with-colons --list-sigs | awk -F: '/^pub/{k=1} /^sub/{k=0} k&&/^sig/' | wc -l)
echo "Certifications listed: pgp $pgp_lines, gpg (on primary user IDs) $gpg_sigs"
pair 'gpg --batch --with-colons --list-sigs' '"$PGP" -kvv'
echo "list:    gpg --with-colons --list-sigs ${T_A}s   pgp -kvv ${T_B}s   ratio $(ratio "$T_B" "$T_A")"
pair 'gpg --batch --with-colons --list-keys' '"$PGP" -kv'
echo "keys:    gpg --with-colons --list-keys ${T_A}s   pgp -kv ${T_B}s   ratio $(ratio "$T_B" "$T_A")"
if [ "${CHECK:-1}" = 1 ]; then
  pair 'gpg --batch --check-sigs' '"$PGP" -kc'
  echo "check:   gpg --check-sigs ${T_A}s   pgp -kc ${T_B}s   ratio $(ratio "$T_B" "$T_A")"
fi

FPR=$(gpg --batch --with-colons --list-keys user1@bench.example | awk -F: '/^fpr/{print $10; exit}')
ID="0x${FPR: -8}"
cd "$WORK"
[ -f big.bin ] || head -c 10485760 /dev/urandom > big.bin
cp big.bin gbig.bin
pair 'gpg --batch --yes --trust-model always -ea -r "$FPR" -o gbig.asc gbig.bin' '"$PGP" -ea big.bin "$ID" +batchmode +force'
echo "encrypt: gpg -ea ${T_A}s   pgp -ea ${T_B}s   ratio $(ratio "$T_B" "$T_A")"
pair 'gpg --batch --yes -o gbig.out -d gbig.asc' '"$PGP" big.asc +batchmode +force'
echo "decrypt: gpg -d ${T_A}s   pgp ${T_B}s   ratio $(ratio "$T_B" "$T_A")"
cmp -s big big.bin && echo "decrypted file matches the original" || echo "DECRYPTED FILE DIFFERS"
rm -f gbig.bin gbig.asc gbig.out
