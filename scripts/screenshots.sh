#!/usr/bin/env bash
# Takes the README's pictures of the window (docs/images/*.png) on a virtual
# X display: the real controller on virtual time with virtual boards
# attached, levers moved, the autothrottle engaged and a few lamps lit; and
# the virtual cockpit in its climb, the main window and the "Quadrant" window
# side by side (cockpit.png); the Charts window on the virtual cockpit during
# the take-off and the climb's trim tracking (charts-takeoff.png,
# charts-trim.png).
# Usage: scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]   (default: build, docs/images)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
out=${2:-docs/images}
scripts/deps.sh screenshots
cmake -S . -B "$dir" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target zrk-tq-screens
mkdir -p "$out"
# A laptop's screen: the window must be readable at 1366x768.
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" \
  "$dir/zrk-tq-screens" "$out"
