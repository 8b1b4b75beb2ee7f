#!/usr/bin/env bash
# Installs what is missing, builds the Linux program and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
echo "== building the Linux program (preset linux)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target quoril
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== no display: starting the window on a virtual one (Xvfb :99);"
  echo "   see it with: import -display :99 -window root shot.png"
  Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  trap 'kill $!' EXIT
  export DISPLAY=:99
  sleep 1
fi
echo "== starting build/linux/app/quoril"
build/linux/app/quoril
