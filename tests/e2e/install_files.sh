#!/usr/bin/env bash
# cmake --install into a fresh prefix: every file where the program looks for
# it, pgp out of PATH's way, and the launcher, metainfo, MIME types and
# manual pages as the desktop's own tools read them.
# usage: install_files.sh BUILD_DIR    (exit 77: skipped)
set -uo pipefail
BUILD="$(cd "$1" && pwd)"
for tool in desktop-file-validate update-desktop-database appstreamcli man update-mime-database gio; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
WORK="$(mktemp -d /tmp/qinstf.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
PASS=0 FAIL=0
check() {
  local name="$1"; shift
  if "$@" >"$WORK/out" 2>&1; then PASS=$((PASS + 1)); else FAIL=$((FAIL + 1)); echo "FAIL: $name"; cat "$WORK/out"; fi
}
P="$WORK/prefix"
check "cmake --install into a fresh prefix" cmake --install "$BUILD" --prefix "$P"

check "quorbix in bin" test -x "$P/bin/quorbix"
check "pgp in lib/quorbix" test -x "$P/lib/quorbix/pgp"
check "no pgp on PATH's folders" test ! -e "$P/bin/pgp"
check "the launch file beside pgp" test "$(stat -c %s "$P/lib/quorbix/PGP.pif" 2>/dev/null)" = 968
for f in Quorbix.html Quorbixe.html MakeID.pif; do
  check "$f among the program files" cmp -s "$BUILD/bin/$f" "$P/share/quorbix/$f"
done
check "the default button tables" test "$(stat -c %s "$P/share/quorbix/Buttons.qxd" "$P/share/quorbix/Buttons.qxe" 2>/dev/null | sort -u)" = 7072
check "the icon in the hicolor theme" sh -c "file -b '$P/share/icons/hicolor/64x64/apps/quorbix.png' | grep -q '^PNG image data, 64 x 64'"
check "nothing else in bin" test "$(ls "$P/bin")" = quorbix

check "desktop-file-validate accepts the launcher" desktop-file-validate "$P/share/applications/quorbix.desktop"
check "appstreamcli accepts the metainfo" appstreamcli validate --no-net "$P/share/metainfo/org.example.Quorbix.metainfo.xml"
check "the launcher is the metainfo's" grep -q '<launchable type="desktop-id">quorbix.desktop</launchable>' \
  "$P/share/metainfo/org.example.Quorbix.metainfo.xml"
for page in quorbix quorbix-pgp; do
  check "man -l renders $page(1)" sh -c "MANWIDTH=80 man -l '$P/share/man/man1/$page.1.gz' 2>&1 >'$WORK/$page.txt' | grep . && exit 1; grep -q 'SYNOPSIS' '$WORK/$page.txt'"
done
check "the pgp page names its folder" grep -q '/usr/lib/quorbix' "$WORK/quorbix-pgp.txt"

# The MIME package as shared-mime-info builds it, and the launcher found for
# the types in the desktop database of that prefix.
cp -r "$P/share/mime" "$WORK/mime"
check "update-mime-database reads the MIME package" update-mime-database "$WORK/mime"
check "*.pgp is application/pgp-encrypted" grep -q ':application/pgp-encrypted:\*\.pgp$' "$WORK/mime/globs2"
check "*.asc is application/pgp-keys" grep -q ':application/pgp-keys:\*\.asc$' "$WORK/mime/globs2"
# (The package's triggers build these caches under /usr/share.)
mkdir -p "$WORK/data" && cp -r "$WORK/mime" "$P/share/applications" "$WORK/data/"
check "update-desktop-database reads the launcher" update-desktop-database "$WORK/data/applications"
registered() {
  PATH="$P/bin:$PATH" XDG_DATA_HOME="$WORK/nohome" XDG_CONFIG_HOME="$WORK/nohome" XDG_DATA_DIRS="$WORK/data" \
    gio mime "$1" > "$WORK/gio" 2>&1
  grep -qx $'\tquorbix.desktop' "$WORK/gio" || { cat "$WORK/gio"; ls -la --time-style=full-iso "$WORK/data/applications"; return 1; }
}
check "gio finds quorbix for .pgp files" registered application/pgp-encrypted
check "and for .asc files" registered application/pgp-keys

# make install PREFIX=... does the same.
check "make install PREFIX=" make -s -C "$(dirname "$0")/../.." install BUILD="$BUILD" PREFIX="$WORK/p2"
check "into that prefix" test -x "$WORK/p2/bin/quorbix" -a -x "$WORK/p2/lib/quorbix/pgp"
echo "$PASS passed, $FAIL failed"
[ "$FAIL" = 0 ]
