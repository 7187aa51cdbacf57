# Keys sent before a popup menu has shown go to the window below it, so every
# step of a menu walk waits for the menu's own window first. Menus and message
# boxes share the application's title, so the menu is told apart by its window.
# Sourced.
qlist() { xdotool search --onlyvisible --classname quorbix 2>/dev/null | sort; }
# qmark: notes the program's windows that show now
qmark() { QSEEN=$(qlist); }
# popup: waits for a window that qmark did not see; MENU is that window
popup() {
  local _ w
  for _ in $(seq 200); do
    w=$(comm -13 <(printf '%s\n' "$QSEEN") <(qlist) | head -1)
    # Mapped is not yet grabbed: a key sent at once can still reach the window below.
    [ -n "$w" ] && { MENU=$w; sleep 0.1; return 0; }
    sleep 0.05
  done
  return 1
}
# menu_closed: waits until the last menu shown has gone
menu_closed() {
  local _
  for _ in $(seq 200); do
    qlist | grep -qx "${MENU:-none}" || return 0
    sleep 0.05
  done
  return 1
}
# menu_walk KEY... : each KEY opens a menu or submenu that the next KEY walks;
# a key given as "-KEY" opens nothing and is sent at once
menu_walk() {
  local k
  for k in "$@"; do
    if [ "${k#-}" != "$k" ]; then xdotool key "${k#-}"; continue; fi
    qmark
    xdotool key "$k"
    popup || return 1
  done
}
