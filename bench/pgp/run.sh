#!/usr/bin/env bash
# Benchmarks pgp against gpg on the same rings (bench/ring.sh makes them once, in /tmp):
#   pgp -kvv            vs  gpg --with-colons --list-sigs   (1,000, 5,000 and 10,000 keys)
#   pgp -kv / -kc       vs  gpg --with-colons --list-keys / gpg --check-sigs (1,000 keys)
#   pgp -ea / decrypt   vs  gpg -ea / gpg -d               (10 MB and 100 MB files)
# Usage: bench/pgp/run.sh [BUILD-DIR]   (RUNS=5; SIZES="1000 5000 10000"; FILES="10 100";
#        PEER_RUNS=1 for gpg's own signature listing of the large rings, which takes minutes)
# gpg and pgp runs alternate. Each figure is the median wall time and, in brackets, the median
# CPU time of the whole process tree (perf's task-clock, when perf is there): on a machine
# others share, the CPU time is the steadier figure. gpg-agent's share is in neither.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "$ROOT" && cd "${1:-build}" && pwd)"
PGP="$BUILD/bin/pgp"
RUNS="${RUNS:-5}"
PEER_RUNS="${PEER_RUNS:-1}"
SIZES="${SIZES:-1000 5000 10000}"
FILES="${FILES:-10 100}"
[ -x "$PGP" ] || { echo "build pgp first: $PGP missing" >&2; exit 1; }
WORK="$(mktemp -d /tmp/qbench-pgp.XXXXXX)"
export PGPPATH="$WORK/pgp"
mkdir -p "$PGPPATH"
trap 'for h in $HOMES; do gpgconf --homedir "$h" --kill gpg-agent >/dev/null 2>&1 || true; done; rm -rf "$WORK"' EXIT
HOMES=""
PERF=""
perf stat -x, -e task-clock true >/dev/null 2>&1 && PERF=1

median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
# one COMMAND: prints "wall cpu" in seconds (cpu 0 without perf).
one() {
  local s e cpu=0
  if [ -n "$PERF" ]; then
    s=$(date +%s%N)
    cpu=$(perf stat -x, -e task-clock -o "$WORK/perf.txt" sh -c "$1" >/dev/null 2>&1; awk -F, '/task-clock/{print $1 / 1000}' "$WORK/perf.txt")
    e=$(date +%s%N)
  else
    s=$(date +%s%N); sh -c "$1" >/dev/null 2>&1; e=$(date +%s%N)
  fi
  echo "$(echo "scale=3; ($e - $s) / 1000000000" | bc) $cpu"
}
# pair RUNS-A "gpg command" RUNS-B "pgp command": alternating runs; sets A_W A_C B_W B_C.
pair() {
  local na=$1 a=$2 nb=$3 b=$4 i aw=() ac=() bw=() bc=() r
  for ((i = 0; i < (na > nb ? na : nb); i++)); do
    if [ "$i" -lt "$na" ]; then r=($(one "$a")); aw+=("${r[0]}"); ac+=("${r[1]}"); fi
    if [ "$i" -lt "$nb" ]; then r=($(one "$b")); bw+=("${r[0]}"); bc+=("${r[1]}"); fi
  done
  A_W=$(printf '%s\n' "${aw[@]}" | median); A_C=$(printf '%s\n' "${ac[@]}" | median)
  B_W=$(printf '%s\n' "${bw[@]}" | median); B_C=$(printf '%s\n' "${bc[@]}" | median)
}
ratio() { [ "$(echo "$2 > 0" | bc)" = 1 ] && printf "%.3f" "$(echo "scale=4; $1 / $2" | bc)" || echo "-"; }
show() { # show LABEL PEER-NAME PGP-NAME
  printf '%-22s %-34s %7.3fs (cpu %6.3fs)   %-12s %7.3fs (cpu %6.3fs)   ratio %s (cpu %s)\n' \
    "$1" "$2" "$A_W" "$A_C" "$3" "$B_W" "$B_C" "$(ratio "$B_W" "$A_W")" "$(ratio "$B_C" "$A_C")"
}

for keys in $SIZES; do
  ring="$("$ROOT/bench/ring.sh" "$keys" "$([ "$keys" -le 1000 ] && echo 3 || echo 5)")"
  HOMES="$HOMES $ring"
  export GNUPGHOME="$ring"
  g="gpg --batch --no-auto-check-trustdb"
  sigs=$($g --with-colons --fast-list-mode --list-sigs | grep -c '^sig')
  echo "ring of $keys keys, $sigs signatures (self-signatures included), $ring"
  peer=$([ "$keys" -le 1000 ] && echo "$RUNS" || echo "$PEER_RUNS")
  pair "$peer" "$g --with-colons --list-sigs" "$RUNS" "'$PGP' -kvv"
  show "  list $keys" "gpg --with-colons --list-sigs" "pgp -kvv"
  pair "$RUNS" "$g --with-colons --list-keys" "$RUNS" "'$PGP' -kv"
  show "  keys $keys" "gpg --with-colons --list-keys" "pgp -kv"
  if [ "$keys" -le 1000 ]; then
    pair "$RUNS" "$g --check-sigs" "$RUNS" "'$PGP' -kc"
    show "  check $keys" "gpg --check-sigs" "pgp -kc"
  fi
done

# Encryption to and decryption by the own key of the first ring.
export GNUPGHOME="$("$ROOT/bench/ring.sh" "${SIZES%% *}" 3)"
FPR=$(gpg --batch --with-colons --list-keys user0@bench.example | awk -F: '/^fpr/{print $10; exit}')
ID="0x${FPR: -16}"
cd "$WORK"
for mb in $FILES; do
  head -c $((mb * 1048576)) /dev/urandom > big.bin
  cp big.bin gbig.bin
  pair "$RUNS" "gpg --batch --yes --trust-model always -ea -r $FPR -o gbig.asc gbig.bin" \
       "$RUNS" "'$PGP' -ea big.bin $ID +batchmode +force"
  show "  encrypt $mb MB" "gpg -ea" "pgp -ea"
  pair "$RUNS" "gpg --batch --yes -o gbig.out -d gbig.asc" "$RUNS" "'$PGP' big.asc +batchmode +force"
  show "  decrypt $mb MB" "gpg -d" "pgp"
  cmp -s big big.bin && echo "  decrypted file matches the original" || echo "  DECRYPTED FILE DIFFERS"
  rm -f big big.bin big.asc gbig.bin gbig.asc gbig.out
done
