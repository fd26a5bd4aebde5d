#!/usr/bin/env bash
# Builds and runs every test: the normal build, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the core cross-compiled
# for Windows and run under wine.
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

if [ -x scripts/test-windows.sh ]; then
  echo "== Windows build under wine"
  scripts/test-windows.sh
fi
echo "== all tests passed"
