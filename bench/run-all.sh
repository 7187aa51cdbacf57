#!/usr/bin/env bash
# Runs every benchmark once and prints their figures, each beside its peer where there is
# one. Never part of make test. The key rings are made on the first run (minutes for
# 10,000 keys) and kept in /tmp/quorbix-rings.
# usage: bench/run-all.sh [BUILD]   (RUNS, SIZES as bench/pgp/run.sh and bench/frontend.sh take them)
set -uo pipefail
BUILD="$(cd "${1:-build}" && pwd)"
HERE="$(cd "$(dirname "$0")" && pwd)"
RUNS="${RUNS:-5}"
read -r -a SIZES <<< "${SIZES:-1000 5000 10000}"
echo "== start-up";            "$HERE/startup.sh" "$BUILD"
for b in "$BUILD"/bench/*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"; "$b"
done
echo "== front end: launch -> key tree painted"
if command -v gpa >/dev/null; then
  echo "GPA is installed: its launch -> key list and its memory are measured on the same rings, between Quorbix's runs"
else
  echo "GPA is not installed (Debian package gpa): no peer figure for time or memory (VmHWM, private, PSS)"
fi
"$HERE/frontend.sh" "$BUILD" "$RUNS" "${SIZES[@]}"
for s in "$HERE"/pgp/*.sh; do
  [ -x "$s" ] || continue
  echo "== $(basename "$s"): pgp beside gpg"; RUNS="$RUNS" SIZES="${SIZES[*]}" "$s" "$BUILD"
done
