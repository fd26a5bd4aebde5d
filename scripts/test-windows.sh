#!/usr/bin/env bash
# Cross-compiles the core, the operating-system adapters, the Windows program
# and their tests for Windows and runs the tests under wine, without a
# display (and the window-fit tests in a wine desktop of a laptop's screen,
# on an Xvfb of their own); then builds the Windows package and checks it.
#
# The Windows program is 32-bit (it has to load the bridge's 32-bit
# PANELBUS.dll), so by default this builds for i686 and runs under 32-bit
# wine. Some hosts cannot run 32-bit code at all (a kernel without 32-bit
# support: "Exec format error"); scripts/probe-32bit.sh tells, by running a
# tiny 32-bit program. There the 32-bit program and its package are still
# built, the tests run on a 64-bit build under 64-bit wine instead, and one
# line says so: the 32-bit run is never reported as passed.
#
# Environment:
#   ZRK_WIN_BITS=32|64    one width only, whatever the host (64: the tests of
#                         a 64-bit build; no package)
#   ZRK_WIN32_EMULATE=1   where 32-bit code runs only through an emulator
#                         registered with binfmt_misc (qemu-i386), run the
#                         32-bit tests there anyway: correct, but each wine
#                         process takes most of a minute
#   ZRK_NO_32BIT=1        act as on a host without 32-bit code
#   ZRK_WIN_NOTE=FILE     also write the line about a 64-bit run to FILE
# Usage: scripts/test-windows.sh [BUILD_DIR]
#        (default: build-win32; the 64-bit build goes to build-win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# ---- helpers ---------------------------------------------------------------

# configure_and_build BITS DIR [TARGET...]: a build folder keeps the
# compilers it was first configured with; one made for another target is
# refused rather than mixed.
configure_and_build() {
  local bits=$1 dir=$2; shift 2
  local toolchain wine_path
  case "$bits" in
    32) toolchain=mingw-w64-i686-posix.cmake; wine_path=$(wine_loader 32) ;;
    64) toolchain=mingw-w64-posix.cmake; wine_path=$(wine_loader 64) ;;
  esac
  mkdir -p "$dir"
  local cache="$dir/CMakeCache.txt"
  if [ -f "$cache" ] && ! grep -q "^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*/$toolchain\$" "$cache"; then
    echo "$dir was configured for another target than $bits-bit Windows ($toolchain):" \
      "give another build folder, or delete this one" >&2
    exit 2
  fi
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DZRK_BUILD_UI=OFF -DZRK_WINE="$wine_path" >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# wine_loader BITS: the wine that runs programs of that width. Debian's
# `wine` starts the 32-bit loader whenever it is installed, even for 64-bit
# programs, so the 64-bit one is named directly: on a host without 32-bit
# code, the 32-bit loader cannot even start.
wine_loader() {
  if [ "$1" = 64 ]; then
    local p
    for p in /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
      [ -n "$p" ] && [ -x "$p" ] && { echo "$p"; return; }
    done
  fi
  command -v wine || echo wine
}

# use_prefix BITS DIR: a wine installation of its own, inside the build tree,
# of the width built (a prefix's width is fixed when wine creates it), with
# one wine server for all the tests instead of one started (and waited for)
# by every test executable.
use_prefix() {
  local bits=$1 dir=$2 winearch=win$1
  WINE=$(wine_loader "$bits")
  export WINEARCH=$winearch
  export WINEPREFIX="$dir/wineprefix-$winearch"
  export WINEDEBUG=-all
  # No Mono or Gecko install prompts: nothing here needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$bits" = 64 ]; then export WINELOADER=$WINE; else unset WINELOADER; fi
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/.zrk-ready" ]; then
    echo "Preparing the $winearch wine prefix $WINEPREFIX (takes a while the first time)"
    rm -rf "$WINEPREFIX"
    "$WINE" wineboot.exe -i
    # Without a display wine needs the null display driver.
    "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    wineserver -w
    touch "$WINEPREFIX/.zrk-ready"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true  # or one already runs
  # The first wine program also starts wine's background services, which
  # then live as long as the server. Started here, away from ctest's output
  # pipes, they cannot keep ctest waiting for the end of a test's output.
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# prepare_desktop_prefix BITS DIR: the prefix of the tests in a wine desktop
# of a laptop's screen (wine's X11 driver on an Xvfb; see
# tests/ui/win32/run_in_wine_desktop.sh), made here so that no test waits
# for it. Without Xvfb those tests skip themselves.
prepare_desktop_prefix() {
  local bits=$1 dir=$2
  command -v Xvfb >/dev/null || return 0
  "$root/tests/ui/win32/run_in_wine_desktop.sh" "$dir/wineprefix-win$bits-desktop" "win$bits" "$(wine_loader "$bits")" \
    --prepare
}

stop_prefix() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
}
trap stop_prefix EXIT

# run_tests DIR [LOG]: ctest in DIR, its output also kept in LOG.
run_tests() {
  (cd "$1" && ctest --output-on-failure -j"$(nproc)") | tee "${2:-/dev/null}"
  return "${PIPESTATUS[0]}"
}

# package DIR RUN_INSTALLER: the Windows package is built on every run, so
# that it never rots: the zip must hold the program just built, and the
# installer, run silently in the prefix, must put the same files in place.
package() {
  local dir=$1 run_installer=$2
  "$root/scripts/package-windows.sh" "$dir" "$dir/package"
  local version name
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
  # The program must be a 32-bit Windows executable: PE machine i386.
  python3 - "$dir/zrk-tq.exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read(4096)
pe = struct.unpack_from("<I", data, 0x3c)[0]
assert data[pe:pe + 4] == b"PE\0\0", "no PE header"
machine = struct.unpack_from("<H", data, pe + 4)[0]
assert machine == 0x14c, f"machine 0x{machine:x}, not i386"
PY
  local setup="$dir/package/$name-setup.exe"
  [ -f "$setup" ] || return 0
  if [ "$run_installer" != yes ]; then
    echo "package-windows: $setup built (a 32-bit program: not run on this host)"
    return 0
  fi
  local target="$WINEPREFIX/drive_c/zrk-tq-install-test"
  rm -rf "$target"
  # wine returns when the installer's process has ended.
  "$WINE" "$setup" /S '/D=C:\zrk-tq-install-test' </dev/null >/dev/null 2>&1
  for f in zrk-tq.exe README.txt LICENSE.txt uninstall.exe; do
    [ -f "$target/$f" ] || { echo "package-windows: the installer did not install $f" >&2; exit 1; }
  done
  cmp -s "$target/zrk-tq.exe" "$dir/zrk-tq.exe" || { echo "package-windows: the installer's exe differs" >&2; exit 1; }
  echo "package-windows: $setup installs the program"
}

# ---- what this host runs ---------------------------------------------------

bits=${ZRK_WIN_BITS:-auto}
case "$bits" in
  32|64|auto) ;;
  *) echo "ZRK_WIN_BITS must be 32 or 64, not '$bits'" >&2; exit 2 ;;
esac

if [ "$bits" = 64 ]; then
  dir=$(mkdir -p "${1:-build-win64}" && cd "${1:-build-win64}" && pwd)
  configure_and_build 64 "$dir"
  use_prefix 64 "$dir"
  prepare_desktop_prefix 64 "$dir"
  run_tests "$dir"
  exit 0
fi

dir=$(mkdir -p "${1:-build-win32}" && cd "${1:-build-win32}" && pwd)
can32=native
why=
if [ "$bits" = auto ]; then
  probe=$("$root/scripts/probe-32bit.sh" "$dir")
  can32=$(sed -n 1p <<<"$probe")
  why=$(sed -n 2p <<<"$probe")
  # The kernel may run 32-bit code while 32-bit wine could not be
  # installed (scripts/deps.sh goes on without it when the mirror's i386
  # packages are out of step).
  if [ "$can32" != none ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    can32=none
    why="32-bit wine (wine32:i386) is not installed"
  fi
  if [ "$can32" = emulated ] && [ "${ZRK_WIN32_EMULATE:-0}" = 1 ]; then
    echo "32-bit code runs here only under emulation ($why); ZRK_WIN32_EMULATE=1: running the 32-bit tests anyway (slow)"
    can32=native
  fi
fi

if [ "$can32" = native ]; then
  configure_and_build 32 "$dir"
  use_prefix 32 "$dir"
  prepare_desktop_prefix 32 "$dir"
  run_tests "$dir"
  package "$dir" yes
  exit 0
fi

# No 32-bit code here: the shipped program and its package are built (and
# checked as files), and the tests run on a 64-bit build.
echo "32-bit programs cannot run here ($why): building the 32-bit program and its package without running them, and the Windows tests as a 64-bit build"
configure_and_build 32 "$dir" zrk-tq
package "$dir" no
stop_prefix
dir64=$(mkdir -p "$dir/../build-win64" && cd "$dir/../build-win64" && pwd)
configure_and_build 64 "$dir64"
use_prefix 64 "$dir64"
prepare_desktop_prefix 64 "$dir64"
log="$dir64/ctest-win64.log"
run_tests "$dir64" "$log"
# Named from what ctest said of each: a test that skipped itself did not run.
list() { sed -n "s/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) \.*\** *$1 .*/\1/p" "$log" | paste -sd, - | sed 's/,/, /g'; }
passed=$(list Passed)
skipped=$(list Skipped)
note="NOTE: 32-bit Windows tests not run: 32-bit programs cannot run here ($why); ran as 64-bit under wine64 instead: $passed${skipped:+ (skipped themselves: $skipped)}; the 32-bit zrk-tq.exe and its package were built, not run"
echo "$note"
if [ -n "${ZRK_WIN_NOTE:-}" ]; then echo "$note" >"$ZRK_WIN_NOTE"; fi
