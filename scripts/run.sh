#!/usr/bin/env bash
# Starts the installer window. Without a display it writes a screenshot of the
# window instead (build/tessaline.png, or $SCREENSHOT) and prints its path.
set -euo pipefail
exe=${1:-build/release/tessaline}
if [ ! -x "$exe" ]; then
  echo "run: $exe is not built (make build)" >&2
  exit 1
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
fi
shot=${SCREENSHOT:-build/tessaline.png}
mkdir -p "$(dirname "$shot")"
"$exe" --screenshot "$shot"
echo "No display: wrote a screenshot of the installer window to $shot"
