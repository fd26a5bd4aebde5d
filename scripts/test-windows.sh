#!/usr/bin/env bash
# Cross-compiles the core, the operating-system adapters and their tests for
# Windows and runs the tests under wine, without a display.
# Usage: scripts/test-windows.sh [BUILD_DIR]   (default: build-win)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-win}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-posix.cmake" \
  -DZRK_BUILD_UI=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"

# A wine installation of its own, inside the build tree.
export WINEPREFIX="$dir/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko install prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.zrk-ready" ]; then
  echo "Preparing the wine prefix $WINEPREFIX (takes a while the first time)"
  rm -rf "$WINEPREFIX"
  wineboot -i
  # Without a display wine needs the null display driver.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
  wineserver -w
  touch "$WINEPREFIX/.zrk-ready"
fi

# One wine server for all the tests, instead of one started (and waited
# for) by every test executable.
wineserver -p </dev/null >/dev/null 2>&1 || true  # or one already runs
trap 'wineserver -k || true' EXIT
# The first wine program also starts wine's background services, which then
# live as long as the server. Started here, away from ctest's output pipes,
# they cannot keep ctest waiting for the end of a test's output.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
(cd "$dir" && ctest --output-on-failure -j"$(nproc)")
