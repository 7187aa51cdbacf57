#!/usr/bin/env bash
# Runs every fuzz target of a QUORBIX_FUZZ build for a bounded time on a copy
# of its seed corpus (the committed seeds are never written to).
# usage: tests/fuzz/run.sh [fuzz-build-dir] [seconds-per-target]
set -uo pipefail
BUILD="$(cd "${1:-build-fuzz}" && pwd)"
SECONDS_EACH="${2:-60}"
HERE="$(cd "$(dirname "$0")" && pwd)"
WORK="$BUILD/fuzz-work"
mkdir -p "$WORK"
failed=()
for exe in "$BUILD"/tests/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name="$(basename "$exe")"; t="${name#fuzz_}"
  mkdir -p "$WORK/$t/corpus" "$WORK/$t/artifacts"
  echo "== $name for ${SECONDS_EACH}s"
  if ! "$exe" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$WORK/$t/artifacts/" "$WORK/$t/corpus" "$HERE/corpus/$t" \
       >"$WORK/$t/log" 2>&1; then
    failed+=("$name")
    tail -40 "$WORK/$t/log"
    echo "-- $name failed; inputs in $WORK/$t/artifacts"
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$WORK/$t/log" | tail -2
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"; exit 1
fi
echo "all fuzz targets ran ${SECONDS_EACH}s without a finding"
