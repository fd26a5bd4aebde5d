#!/usr/bin/env bash
# Builds the controller and starts it in the virtual cockpit (--demo): a
# virtual quadrant with every board attached, a scripted looping flight, the
# in-process simulator and a built-in bridge. Extra arguments go to the
# program; --no-demo starts the plain program on its embedded default
# instead. Without a display it runs headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh build -DZRK_BUILD_TESTS=OFF
demo=(--demo)
args=()
for a in "$@"; do
  case "$a" in
    --no-demo) demo=() ;;
    --demo) ;;
    *) args+=("$a") ;;
  esac
done
args=("${demo[@]}" "${args[@]}")
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [[ " ${args[*]} " != *" --headless "* ]]; then
  echo "No display found: starting headless (Ctrl+C ends it)."
  args=(--headless "${args[@]}")
fi
exec build/zrk-tq "${args[@]}"
