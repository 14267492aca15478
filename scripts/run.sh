#!/usr/bin/env bash
# Starts the installer window. Without a display it writes a screenshot of the
# window instead and prints its path.
set -euo pipefail
exe=${1:-build/release/tessaline}
if [ ! -x "$exe" ]; then
  echo "run: $exe is not built yet; the window comes with the installer window" >&2
  exit 0
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
fi
shot=${SCREENSHOT:-build/tessaline.png}
"$exe" --screenshot "$shot"
echo "No display: wrote a screenshot of the window to $shot"
