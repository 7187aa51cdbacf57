#!/usr/bin/env bash
# Launch -> key tree painted, on rings of the given sizes, under an X server of its own:
# start, main window, a click on the tree button, pgp -kvv, the wait dialog, the tree's rows
# on the screen; with the front end's resident and peak memory at that moment.
# A second series runs pgp through a wrapper that notes when each pgp run starts and ends,
# for the breakdown (the key-list script's pgp -kv started at launch among them).
# With GPA installed (Debian package gpa), the peer is timed on the same ring between the runs.
# usage: bench/frontend.sh BUILD [RUNS] [KEYS...]      (RUNS=5, KEYS 1000 5000 10000)
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
BUILD="$(cd "${1:-build}" && pwd)"
RUNS="${2:-5}"
shift $(( $# >= 2 ? 2 : $# ))
SIZES=("$@")
[ $# -eq 0 ] && SIZES=(1000 5000 10000)
TRIP="$BUILD/bench-tools/frontend_trip"
[ -x "$TRIP" ] || { echo "frontend_trip not built (needs Xlib)"; exit 0; }
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "Xvfb or xdotool missing"; exit 0; }
WORK="$(mktemp -d /tmp/qtrip.XXXXXX)"
cleanup() { kill "${XPID:-}" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT
exec 3> "$WORK/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 & XPID=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$WORK/display")" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" \
  XDG_RUNTIME_DIR="$WORK/run" Temp="$WORK/tmp"
mkdir -p "$WORK/plain" "$WORK/traced" "$WORK/tmp" "$WORK/run" "$XDG_CONFIG_HOME/Farrowdale Software"
chmod 700 "$WORK/run"
ln -s "$BUILD/bin/pgp" "$WORK/plain/pgp"
cat > "$WORK/traced/pgp" <<EOF
#!/bin/sh
echo "start \$(date +%s%N) \$*" >> "$WORK/pgp.log"
"$BUILD/bin/pgp" "\$@"; rc=\$?
echo "end \$(date +%s%N) \$*" >> "$WORK/pgp.log"
exit \$rc
EOF
chmod +x "$WORK/traced/pgp"
settings() {
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="0"\r\n"Top"="0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n"Language"="Deutsch"\r\n' \
    "$1" > "$XDG_CONFIG_HOME/Farrowdale Software/QUORBIX.reg"
}
median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
field() { tr ' ' '\n' | sed -n "s/^$1=//p"; }
# The tree button's middle, in the main window (menu bar, then the tool buttons' row).
BX=431 BY=118
GPA="$(command -v gpa || true)" GPA_TITLE="GNU Privacy Assistant - Key Manager"
mkdir -p "$WORK/gpa-home"
trip() { "$TRIP" "QUORBIX Version 2.0" "Einen Moment bitte" "$BX" "$BY" -- "$BUILD/bin/quorbix"; }

for keys in "${SIZES[@]}"; do
  ring="$("$HERE/ring.sh" "$keys" "$([ "$keys" -le 1000 ] && echo 3 || echo 5)")"
  export GNUPGHOME="$ring"
  gpg --batch -k >/dev/null 2>&1 || true # the agent and keybox caches warm, as for a user
  : > "$WORK/plain.txt"; : > "$WORK/traced.txt"; : > "$WORK/gpa.txt"
  for _ in $(seq "$RUNS"); do
    PGPPATH="$WORK/plain"; export PGPPATH; settings "$PGPPATH"
    trip >> "$WORK/plain.txt" || echo "run failed" >&2
    # The peer on the same ring, its runs between ours: GPA lists the keys at start.
    if [ -n "$GPA" ]; then
      HOME="$WORK/gpa-home" "$TRIP" --settle "$GPA_TITLE" -- "$GPA" >> "$WORK/gpa.txt" || echo "GPA run failed" >&2
    fi
    PGPPATH="$WORK/traced"; export PGPPATH; settings "$PGPPATH"
    : > "$WORK/pgp.log"
    t0=$(date +%s%N)
    line=$(trip) || { echo "run failed" >&2; continue; }
    sleep 0.3 # the key-list script may still be writing its end line
    # pgp runs relative to the launch: the key-list script's -kv and the tree's -kvv.
    kv=$(awk -v t0="$t0" '$3=="-kv"{if($1=="start")s=$2; else e=$2} END{printf "%d-%d", (s-t0)/1e6, (e-t0)/1e6}' "$WORK/pgp.log")
    kvv=$(awk -v t0="$t0" '$3=="-kvv"{if($1=="start")s=$2; else e=$2} END{printf "%d-%d", (s-t0)/1e6, (e-t0)/1e6}' "$WORK/pgp.log")
    echo "$line kv=$kv kvv=$kvv" >> "$WORK/traced.txt"
  done
  p=$(field painted < "$WORK/plain.txt" | median)
  hwm=$(field hwm_kb < "$WORK/plain.txt" | median)
  rss=$(field rss_kb < "$WORK/plain.txt" | median)
  pss=$(field pss_kb < "$WORK/plain.txt" | median)
  priv=$(field private_kb < "$WORK/plain.txt" | median)
  echo "front end, $keys keys: launch -> tree painted median ${p} ms over $RUNS runs; memory then: resident $((rss / 1024)) MB, peak $((hwm / 1024)) MB"
  if [ -n "$hwm" ] && [ -n "$pss" ]; then
    echo "  memory (median, MB): peak (VmHWM) $(echo "scale=1; $hwm / 1024" | bc), resident $(echo "scale=1; $rss / 1024" | bc)," \
      "private $(echo "scale=1; $priv / 1024" | bc), proportional (PSS) $(echo "scale=1; $pss / 1024" | bc); target peak <= 30 MB"
  fi
  if [ -n "$GPA" ] && [ -s "$WORK/gpa.txt" ]; then
    gp=$(field painted < "$WORK/gpa.txt" | median)
    ghwm=$(field hwm_kb < "$WORK/gpa.txt" | median)
    gpss=$(field pss_kb < "$WORK/gpa.txt" | median)
    echo "  peer GPA, same ring: launch -> key list painted median ${gp} ms (its picture's last change, once it stood still 2 s with no gpg running);" \
      "peak $(echo "scale=1; $ghwm / 1024" | bc) MB, PSS $(echo "scale=1; $gpss / 1024" | bc) MB;" \
      "Quorbix / GPA: time $(echo "scale=2; $p / $gp" | bc), peak memory $(echo "scale=2; $hwm / $ghwm" | bc)"
  fi
  echo "  breakdown (median of the traced runs, ms from launch):" \
    "window mapped $(field window < "$WORK/traced.txt" | median)," \
    "window painted $(field shown < "$WORK/traced.txt" | median)," \
    "wait dialog shown $(field dialog < "$WORK/traced.txt" | median)," \
    "tree filled $(field filled < "$WORK/traced.txt" | median)," \
    "tree painted $(field painted < "$WORK/traced.txt" | median)"
  echo "  pgp runs (start-end, ms from launch): $(field kv < "$WORK/traced.txt" | sed 's/^/-kv /' | tr '\n' ' ')"
  echo "                                        $(field kvv < "$WORK/traced.txt" | sed 's/^/-kvv /' | tr '\n' ' ')"
  gpgconf --homedir "$ring" --kill gpg-agent >/dev/null 2>&1 || true
done
