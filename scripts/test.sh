#!/usr/bin/env bash
# Builds and runs every test: the normal build, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the Windows build run
# under wine (as 64-bit where this host cannot run 32-bit code: the last line
# then says so).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test

echo "== native build and tests"
scripts/build.sh build -DZRK_BUILD_TESTS=ON
(cd build && ctest --output-on-failure -j"$(nproc)")

echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DZRK_SANITIZE=ON -DZRK_BUILD_UI=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$(nproc)")

echo "== fuzzing the bridge receive path (bounded)"
scripts/fuzz.sh build-fuzz 20

note=$(mktemp)
trap 'rm -f "$note"' EXIT
if [ -x scripts/test-windows.sh ]; then
  echo "== Windows build under wine"
  ZRK_WIN_NOTE="$note" scripts/test-windows.sh
fi
if [ -s "$note" ]; then
  echo "== all tests that this host can run passed; not run here: the 32-bit Windows tests (see the NOTE line above)"
else
  echo "== all tests passed"
fi
