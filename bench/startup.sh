#!/usr/bin/env bash
# Time from process start to the main window being mapped, with a settings
# file present (no language chooser, no settings dialog). Runs under its own
# Xvfb so the figure does not depend on a desktop.
# usage: bench/startup.sh [build-dir] [runs]
set -euo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
RUNS="${2:-15}"
WORK="$(mktemp -d /tmp/qbench.XXXXXX)"
trap 'kill $XPID 2>/dev/null || true; rm -rf "$WORK"' EXIT
# Let Xvfb pick a free display and tell us which.
exec 3> "$WORK/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 & XPID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
DISP=":$(head -1 "$WORK/display")"
export DISPLAY="$DISP" XDG_CONFIG_HOME="$WORK/config" PGPPATH="$WORK/pgp" Temp="$WORK"
mkdir -p "$WORK/pgp" "$XDG_CONFIG_HOME/Farrowdale Software"
ln -s "$BUILD/bin/pgp" "$WORK/pgp/pgp"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"Left"="10"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"PGPPath"="%s"\r\n' \
  "$WORK/pgp" > "$XDG_CONFIG_HOME/Farrowdale Software/QUORBIX.reg"
times=()
for i in $(seq "$RUNS"); do
  t0=$(date +%s%N)
  "$BUILD/bin/quorbix" >"$WORK/quorbix.log" 2>&1 & QPID=$!
  # Poll tightly: xdotool's own --sync waits half a second between looks.
  for _ in $(seq 4000); do
    xdotool search --onlyvisible --name "QUORBIX Version 2.0" >/dev/null 2>&1 && break
    kill -0 "$QPID" 2>/dev/null || { echo "quorbix ended before its window showed:" >&2; cat "$WORK/quorbix.log" >&2; exit 1; }
    sleep 0.005
  done
  t1=$(date +%s%N)
  kill "$QPID"; wait "$QPID" 2>/dev/null || true
  times+=( $(( (t1 - t0) / 1000000 )) )
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to window shown over $RUNS runs: median ${sorted[$((RUNS / 2))]} ms, min ${sorted[0]} ms, max ${sorted[$((RUNS - 1))]} ms"
