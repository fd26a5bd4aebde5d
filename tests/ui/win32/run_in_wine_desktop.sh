#!/usr/bin/env bash
# Runs a Windows test program with wine's X11 display driver in a wine
# desktop of a given size, at a given DPI: on an Xvfb of its own (larger
# than the desktop, so that a desktop that did not take shows as the wrong
# screen size), in a wine prefix of its own (not the null-driver prefix the
# other tests share), with a wine server of its own that goes when the
# program ends. The program is told the desktop's size and DPI in
# ZRK_SCREEN and ZRK_TEST_DPI.
#   run_in_wine_desktop.sh PREFIX WINEARCH WINE --prepare
#       makes the prefix if it is not there yet (scripts/test-windows.sh
#       does so before the tests, so that no test waits for it)
#   run_in_wine_desktop.sh PREFIX WINEARCH WINE WIDTHxHEIGHT DPI EXE [ARG...]
# Exits 77 (skipped) when Xvfb is missing (see run_on_xvfb.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 arch=$2 wine=$3
shift 3

if [ -z "${ZRK_ON_OWN_XVFB:-}" ]; then
  ZRK_ON_OWN_XVFB=1 exec "$here/../run_on_xvfb.sh" 1600x900 "$0" "$prefix" "$arch" "$wine" "$@"
fi

export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all
# No Mono or Gecko install prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$arch" = win64 ]; then export WINELOADER=$wine; else unset WINELOADER; fi
trap 'wineserver -k 2>/dev/null || true' EXIT

# A prefix's width is fixed when wine makes it; its display driver is wine's
# default one, X11.
if [ ! -f "$WINEPREFIX/.zrk-ready" ]; then
  echo "Preparing the wine desktop prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  "$wine" wineboot.exe -i </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.zrk-ready"
fi
if [ "${1:-}" = --prepare ]; then
  exit 0
fi

size=$1 dpi=$2
shift 2
# Every program of the prefix runs in the desktop "Default" of that size;
# LogPixels is the system's DPI, which wine reads as a process starts.
reg="$WINEPREFIX/drive_c/zrk-desktop.reg"
printf '%s\r\n' 'REGEDIT4' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' "\"Default\"=\"$size\"" '' \
  '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=dword:$(printf '%08x' "$dpi")" '' >"$reg"
"$wine" reg.exe import 'C:\zrk-desktop.reg' </dev/null >/dev/null 2>&1
# The desktop is made as the server's first program starts, before the
# import: a server of its own for the new settings. Its first program also
# starts wine's background services, which live as long as the server: away
# from the test's output, so that they cannot keep ctest waiting for its end.
wineserver -k 2>/dev/null || true
wineserver -w
"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
export ZRK_SCREEN=$size ZRK_TEST_DPI=$dpi
status=0
"$wine" "$@" || status=$?
exit "$status"
