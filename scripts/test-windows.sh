#!/usr/bin/env bash
# Cross-compiles the core, the operating-system adapters and their tests for
# Windows and runs the tests under wine, without a display.
#
# The Windows program is 32-bit (it has to load the bridge's 32-bit
# PANELBUS.dll), so this builds for i686 and runs under 32-bit wine.
# ZRK_WIN_BITS=64 builds for x86_64 instead, run under 64-bit wine: not part
# of the test command, as no 64-bit program is shipped.
# Usage: [ZRK_WIN_BITS=32|64] scripts/test-windows.sh [BUILD_DIR]
#        (default: build-win32, or build-win64 for 64 bits)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bits=${ZRK_WIN_BITS:-32}
case "$bits" in
  32) toolchain=mingw-w64-i686-posix.cmake; winearch=win32 ;;
  64) toolchain=mingw-w64-posix.cmake; winearch=win64 ;;
  *) echo "ZRK_WIN_BITS must be 32 or 64, not '$bits'" >&2; exit 2 ;;
esac
dir=${1:-build-win$bits}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# A build folder keeps the compilers it was first configured with, and its
# objects; one made for another target is refused rather than mixed.
cache="$dir/CMakeCache.txt"
if [ -f "$cache" ] && ! grep -q "^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*/$toolchain\$" "$cache"; then
  echo "$dir was configured for another target than $bits-bit Windows ($toolchain):" \
    "give another build folder, or delete this one" >&2
  exit 2
fi

cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
  -DZRK_BUILD_UI=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"

# A wine installation of its own, inside the build tree, of the width built.
# A prefix's width is fixed when wine creates it.
export WINEARCH=$winearch
export WINEPREFIX="$dir/wineprefix-$winearch"
export WINEDEBUG=-all
# No Mono or Gecko install prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.zrk-ready" ]; then
  echo "Preparing the $winearch wine prefix $WINEPREFIX (takes a while the first time)"
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

# The Windows package is built on every run, so that it never rots: the zip
# must hold the program just tested, and the installer, run silently in the
# prefix, must put the same files in place.
if [ "$bits" = 32 ]; then
  "$root/scripts/package-windows.sh" "$dir" "$dir/package"
  version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  name="zrk-tq-$version-win32"
  python3 - "$dir/package/$name.zip" "$name" "$dir/zrk-tq.exe" <<'PY'
import sys, zipfile
path, name, exe = sys.argv[1:4]
with zipfile.ZipFile(path) as z:
    names = sorted(z.namelist())
    want = sorted(name + "/" + f for f in ("zrk-tq.exe", "README.txt", "LICENSE.txt"))
    assert names == want, f"{path} holds {names}, not {want}"
    assert z.read(name + "/zrk-tq.exe") == open(exe, "rb").read(), "the zip's exe is not the one built"
    readme = z.read(name + "/README.txt").decode("ascii")
    assert name.split("-")[2] in readme and "NET_BRIDGE" in readme and "\r\n" in readme, "README.txt"
print(f"package-windows: {path} holds the program, README.txt and LICENSE.txt")
PY
  setup="$dir/package/$name-setup.exe"
  if [ -f "$setup" ]; then
    target="$WINEPREFIX/drive_c/zrk-tq-install-test"
    rm -rf "$target"
    # wine returns when the installer's process has ended.
    wine "$setup" /S '/D=C:\zrk-tq-install-test' </dev/null >/dev/null 2>&1
    for f in zrk-tq.exe README.txt LICENSE.txt uninstall.exe; do
      [ -f "$target/$f" ] || { echo "package-windows: the installer did not install $f" >&2; exit 1; }
    done
    cmp -s "$target/zrk-tq.exe" "$dir/zrk-tq.exe" || { echo "package-windows: the installer's exe differs" >&2; exit 1; }
    echo "package-windows: $setup installs the program"
  fi
fi
