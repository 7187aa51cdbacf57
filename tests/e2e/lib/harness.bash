# What every window script needs, sourced after `set -uo pipefail`: a skip
# for a missing tool, checks counted and summed up, polling, an X server and
# openbox of the script's own, and windows found and clicked by title.
# The script sets WORK before it starts a server; PIDS collects what it
# starts, and stop_started ends all of it.

need() { # need TOOL... (exit 77: skipped)
  local tool
  for tool; do command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }; done
}

PASS=0 FAIL=0
check() { # check NAME COMMAND...
  local name="$1"; shift
  if "$@"; then PASS=$((PASS + 1)); else FAIL=$((FAIL + 1)); echo "FAIL: $name"; shoot "$name"; fi
}
# With E2E_SHOTS set to a folder, the screen as it was at each failed check.
shoot() {
  [ -n "${E2E_SHOTS:-}" ] && command -v scrot >/dev/null || return 0
  mkdir -p "$E2E_SHOTS"; scrot -o "$E2E_SHOTS/$(date +%s%N)-${1//[^A-Za-z0-9]/_}.png" 2>/dev/null || true
}
# The summary line CTest shows, and the script's exit status.
finish() { echo "$PASS passed, $FAIL failed"; [ "$FAIL" = 0 ]; }
# Polls a condition for at most about ten seconds.
waitfor() { for _ in $(seq 200); do "$@" && return 0; sleep 0.05; done; return 1; }

PIDS=() XPID="" WMPID=""
stop_started() {
  local p
  for p in "${PIDS[@]}" $WMPID $XPID; do kill "$p" 2>/dev/null; done
  return 0
}

start_xvfb() { # sets DISPLAY
  exec 3> "$WORK/display"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 & XPID=$!
  exec 3>&-
  waitfor test -s "$WORK/display" || { echo "FAIL: no X server"; exit 1; }
  export DISPLAY=":$(head -1 "$WORK/display")"
}
start_openbox() {
  openbox --sm-disable > "$WORK/openbox.log" 2>&1 & WMPID=$!
  waitfor bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' \
    || { echo "FAIL: no window manager"; exit 1; }
}

win() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
visible() { [ -n "$(win "$1")" ]; }
gone() { [ -z "$(win "$1")" ]; }
# click TITLE X Y [BUTTON]: a click at X,Y inside the window (it takes the keyboard).
click() {
  local w; w=$(win "$1"); [ -n "$w" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$w")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click "${4:-1}"
}

# The close request a title bar's close button sends, for scripts without a
# window manager: $WORK/wmclose WINDOW.
build_wmclose() {
  cc -o "$WORK/wmclose" "$(dirname "${BASH_SOURCE[0]}")/wmclose.c" -lX11 2>/dev/null \
    || { echo "skipped: cannot build against Xlib"; exit 77; }
}
