#!/usr/bin/env bash
# Takes the README's picture of the Windows program
# (docs/images/windows-main-window.png): zrk-tq.exe in the virtual cockpit,
# under 32-bit wine on a virtual X display, in a wine desktop of its own so
# that the window has its frame. The program runs from a copy in a
# temporary folder (its demo settings are written beside it).
# Usage: scripts/screenshot-windows.sh [BUILD_DIR]   (default: build-win32)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-win32}
"$root/scripts/deps.sh" test
"$root/scripts/deps.sh" screenshots
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686-posix.cmake" \
    -DZRK_BUILD_UI=OFF >/dev/null
fi
cmake --build "$dir" --target zrk-tq -j"$(nproc)"
dir=$(cd "$dir" && pwd)

work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; kill "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$dir/zrk-tq.exe" "$work/"

# A prefix with wine's X11 display driver, apart from the tests' one (which
# uses the null driver).
export WINEARCH=win32
export WINEPREFIX="$dir/wineprefix-win32-x11"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if [ ! -f "$WINEPREFIX/.zrk-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  touch "$WINEPREFIX/.zrk-ready"
fi

# The cockpit's flight climbs from its 60th second, levers forward and the
# trim wheel turning.
(cd "$work" && wine explorer /desktop=zrk,1360x740 zrk-tq.exe --demo >/dev/null 2>&1 &)
sleep "${ZRK_SHOT_DELAY:-75}"
mkdir -p "$root/docs/images"
# The desktop, less its background around the window: a border of the
# background's colour is added, then everything of that colour trimmed off.
shot="$work/desktop.png"
xwd -root -silent | convert xwd:- -crop 1360x740+0+0 +repage "$shot"
background=$(convert "$shot" -format '%[pixel:p{1359,739}]' info:)
convert "$shot" -bordercolor "$background" -border 1 -trim +repage "$root/docs/images/windows-main-window.png"
echo "wrote docs/images/windows-main-window.png"
