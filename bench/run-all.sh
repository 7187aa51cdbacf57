#!/usr/bin/env bash
# Runs every benchmark once and prints their figures. Never part of make test.
set -uo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
HERE="$(cd "$(dirname "$0")" && pwd)"
echo "== start-up";            "$HERE/startup.sh" "$BUILD"
for b in "$BUILD"/bench/*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"; "$b"
done
for s in "$HERE"/pgp/*.sh; do
  [ -x "$s" ] || continue
  echo "== $(basename "$s")"; "$s" "$BUILD"
done
