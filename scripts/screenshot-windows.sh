#!/usr/bin/env bash
# Takes the README's picture of the Windows program
# (docs/images/windows-main-window.png): zrk-tq.exe in the virtual cockpit,
# under 32-bit wine on a virtual X display, in a wine desktop of its own of
# a laptop's screen (1366x768) so that the windows have their frames and
# stand where the program puts them on such a screen. The program runs from
# a copy in a temporary folder (its demo settings are written beside it).
# Usage: scripts/screenshot-windows.sh [BUILD_DIR [OUT_DIR]]
#        (default: build-win32, docs/images)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-win32}
out=$(mkdir -p "${2:-$root/docs/images}" && cd "${2:-$root/docs/images}" && pwd)
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
(cd "$work" && wine explorer /desktop=zrk,1366x768 zrk-tq.exe --demo >/dev/null 2>&1 &)
sleep "${ZRK_SHOT_DELAY:-75}"
# The desktop, less its background around the windows: a border of the
# background's colour is added, then everything of that colour trimmed off.
shot="$work/desktop.png"
xwd -root -silent | convert xwd:- -crop 1366x768+0+0 +repage "$shot"
background=$(convert "$shot" -format '%[pixel:p{1365,767}]' info:)
convert "$shot" -bordercolor "$background" -border 1 -trim +repage "$out/windows-main-window.png"
echo "wrote $out/windows-main-window.png"
