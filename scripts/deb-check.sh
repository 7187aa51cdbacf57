#!/usr/bin/env bash
# Checks the package `make deb` built: lintian finds no error; then (as root,
# on this machine) it installs, quorbix is in the menu database and starts
# through it, its manual pages are found, and removing it leaves nothing.
# usage: scripts/deb-check.sh BUILD_DIR
set -uo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
DEB=$(ls "$BUILD"/quorbix_*.deb 2>/dev/null | head -1)
[ -n "$DEB" ] || { echo "no package in $BUILD: run make deb first"; exit 1; }
command -v lintian >/dev/null || { echo "lintian missing: apt-get install lintian"; exit 1; }
PASS=0 FAIL=0
check() {
  local name="$1"; shift
  if "$@"; then PASS=$((PASS + 1)); echo "ok: $name"; else FAIL=$((FAIL + 1)); echo "FAIL: $name"; fi
}
finish() { echo "$PASS passed, $FAIL failed"; [ "$FAIL" = 0 ]; exit $?; }

echo "== lintian $DEB"
lintian --info --display-info "$DEB" 2>&1 | grep -v 'running with root privileges'
check "lintian reports no errors" lintian --fail-on error "$DEB"
check "depends on Qt 6, gpgme++ and GnuPG" sh -c "dpkg-deb -f '$DEB' Depends | grep -q 'libqt6widgets6' && dpkg-deb -f '$DEB' Depends | grep -q 'libgpgmepp6' && dpkg-deb -f '$DEB' Depends | grep -qw gnupg"
check "recommends xterm" sh -c "dpkg-deb -f '$DEB' Recommends | grep -qw xterm"

if [ "$(id -u)" != 0 ]; then
  echo "skipped: installing the package needs root"
  finish
fi
if dpkg-query -W -f='${Status}' quorbix 2>/dev/null | grep -q "install ok installed"; then
  echo "quorbix is installed already: not touching it"
  finish
fi

WORK="$(mktemp -d /tmp/qdeb.XXXXXX)"
cleanup() {
  [ -n "${QP:-}" ] && kill "$QP" 2>/dev/null
  kill "${XPID:-}" 2>/dev/null
  dpkg-query -W quorbix >/dev/null 2>&1 && dpkg -r quorbix >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "== dpkg -i"
check "dpkg -i installs it" dpkg -i "$DEB"
check "quorbix on PATH" test "$(command -v quorbix)" = /usr/bin/quorbix
check "pgp beside it in /usr/lib/quorbix, not on PATH" test -x /usr/lib/quorbix/pgp -a ! -e /usr/bin/pgp
check "man finds quorbix(1)" sh -c "man -w quorbix | grep -q /usr/share/man/man1/quorbix.1.gz"
check "and quorbix-pgp(1)" sh -c "man -w quorbix-pgp | grep -q quorbix-pgp.1.gz"
check "the menu database offers it for .pgp files" sh -c "gio mime application/pgp-encrypted | grep -q '^[[:space:]]quorbix.desktop$'"

# gtk-launch finds the launcher by its name and starts the program.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  exec 3> "$WORK/display"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 & XPID=$!
  exec 3>&-
  for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -1 "$WORK/display")"
  mkdir -p "$WORK/home" && chmod 700 "$WORK/home"
  HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" XDG_DATA_HOME="$WORK/home/data" \
    XDG_STATE_HOME="$WORK/home/state" gtk-launch quorbix >/dev/null 2>&1
  launched() {
    local w p
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
      p=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
      [ "$(readlink "/proc/$p/exe")" = /usr/bin/quorbix ] && { QP=$p; return 0; }
    done
    return 1
  }
  ok=1; for _ in $(seq 200); do launched && { ok=0; break; }; sleep 0.05; done
  check "gtk-launch quorbix starts /usr/bin/quorbix" test "$ok" = 0
  [ -n "${QP:-}" ] && kill "$QP" && QP=""
  kill "$XPID" 2>/dev/null; XPID=""
else
  echo "skipped: gtk-launch under Xvfb (Xvfb or xdotool missing)"
fi

echo "== dpkg -r"
check "dpkg -r removes it" dpkg -r quorbix
check "no file of it is left" test ! -e /usr/bin/quorbix -a ! -e /usr/lib/quorbix -a ! -e /usr/share/quorbix \
  -a ! -e /usr/share/applications/quorbix.desktop
check "and the menu database forgets it" sh -c "! gio mime application/pgp-encrypted | grep -q quorbix.desktop"
finish
