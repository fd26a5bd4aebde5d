#!/usr/bin/env bash
# Runs a command on an X server of its own: Xvfb with one screen of the
# given size, on a display number Xvfb picks itself (so that tests run side
# by side never share one), reachable only with the cookie made here. With
# --panel N a desktop panel of N pixels along the bottom takes that strip
# off the work area (_NET_WORKAREA, as a desktop's panel sets it), and
# ZRK_WORK_AREA tells the command what the work area must be. The server
# goes when the command ends. Exits 77 (skipped) when Xvfb, xauth or xprop
# is missing: scripts/deps.sh test installs them.
# Usage: run_on_xvfb.sh [--panel N] WIDTHxHEIGHT COMMAND [ARG...]
set -euo pipefail
panel=0
if [ "${1:-}" = --panel ]; then
  panel=$2
  shift 2
fi
size=$1
shift
for tool in Xvfb xauth xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh test installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The server takes every cookie of its authority file whatever the display;
# the client's entry names the display once it is known.
export XAUTHORITY="$work/Xauthority"
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
touch "$XAUTHORITY"
xauth -q add :0 . "$cookie"
Xvfb -displayfd 3 -auth "$XAUTHORITY" -noreset -nolisten tcp -screen 0 "${size}x24" -dpi 96 \
  3>"$work/display" 2>"$work/xvfb.log" &
server=$!
# Xvfb writes its display number once it takes connections.
for _ in $(seq 100); do
  grep -q '^[0-9]' "$work/display" 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q '^[0-9]' "$work/display"; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -1 "$work/display")"
xauth -q add "$DISPLAY" . "$cookie"
unset WAYLAND_DISPLAY

width=${size%x*}
height=${size#*x}
if [ "$panel" -gt 0 ]; then
  xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "0,0,$width,$((height - panel))"
  export ZRK_WORK_AREA="0,0,$width,$((height - panel))"
fi
status=0
"$@" || status=$?
exit "$status"
