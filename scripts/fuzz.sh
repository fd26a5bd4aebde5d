#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time,
# the given seconds shared among them; fails on any crash, sanitizer report
# or timeout.
# Usage: scripts/fuzz.sh [BUILD_DIR] [SECONDS]   (defaults: build-fuzz, 20)
# scripts/fuzz-long.sh runs each target for a number of runs instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-fuzz}
seconds=${2:-20}
. "$root/scripts/fuzz-common.sh"
# Every target gets its share; the first takes what the division leaves.
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1
first=$(( seconds - share * (${#targets[@]} - 1) ))
[ "$first" -ge 1 ] || first=1

for entry in "${targets[@]}"; do
  read -r target dict maxlen <<<"$entry"
  time=$share
  [ "$target" = "${targets[0]%% *}" ] && time=$first
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  echo "== fuzzing $target for ${time}s"
  "$dir/$target" -max_total_time="$time" -timeout=10 -max_len="$maxlen" \
    -dict="$root/tests/fuzz/$dict" -artifact_prefix="$dir/$target-" \
    -print_final_stats=1 "$corpus"
done
echo "== fuzzing found nothing"
