#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time;
# fails on any crash, sanitizer report or timeout.
# Usage: scripts/fuzz.sh [BUILD_DIR] [SECONDS]   (defaults: build-fuzz, 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-fuzz}
seconds=${2:-20}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

cmake -S "$root/tests/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in record_stream_fuzz; do
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  echo "== fuzzing $target for ${seconds}s"
  "$dir/$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
    -dict="$root/tests/fuzz/record_stream.dict" -artifact_prefix="$dir/$target-" \
    -print_final_stats=1 "$corpus"
done
echo "== fuzzing found nothing"
