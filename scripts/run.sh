#!/usr/bin/env bash
# Builds the controller and starts it on its embedded default: virtual boards
# that never attach and the in-process simulator. Extra arguments go to the
# program. Without a display it runs headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh build -DZRK_BUILD_TESTS=OFF
args=("$@")
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [[ " ${args[*]} " != *" --headless "* ]]; then
  echo "No display found: starting headless (Ctrl+C ends it)."
  args=(--headless "${args[@]}")
fi
exec build/zrk-tq "${args[@]}"
