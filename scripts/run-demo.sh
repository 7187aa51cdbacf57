#!/usr/bin/env bash
# Starts Quorbix on a demo key ring kept inside the build tree, so a first
# look never touches the user's own keys or settings.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "$ROOT" && cd "${1:-build}" && pwd)"
shift || true
DEMO="$BUILD/demo"
mkdir -p "$DEMO/pgp" "$DEMO/config" "$DEMO/tmp"
chmod 700 "$DEMO/tmp"
ln -sf "$BUILD/bin/pgp" "$DEMO/pgp/pgp"
"$ROOT/scripts/make-demo-home.sh" "$DEMO/gnupg" "$DEMO/pgp"

export GNUPGHOME="$DEMO/gnupg"
export PGPPATH="$DEMO/pgp"
export XDG_CONFIG_HOME="$DEMO/config"
# Its button files too (and a file-type registration made from the demo).
export XDG_DATA_HOME="$DEMO/data"
export Temp="$DEMO/tmp"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Quorbix on a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a "$BUILD/bin/quorbix" "$@"
fi
exec "$BUILD/bin/quorbix" "$@"
