#!/usr/bin/env bash
# Builds the libFuzzer targets (as scripts/fuzz.sh does) and runs each for
# a number of runs, at least a million by default; prints each target's
# run count. Fails on any crash, sanitizer report or timeout.
# Usage: scripts/fuzz-long.sh [BUILD_DIR] [RUNS]   (defaults: build-fuzz, 1000000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-fuzz}
runs=${2:-1000000}
. "$root/scripts/fuzz-common.sh"
summary=()
for entry in "${targets[@]}"; do
  read -r target dict maxlen <<<"$entry"
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  log="$dir/$target-long.log"
  echo "== fuzzing $target for $runs runs (log: $log)"
  start=$SECONDS
  "$dir/$target" -runs="$runs" -timeout=10 -max_len="$maxlen" \
    -dict="$root/tests/fuzz/$dict" -artifact_prefix="$dir/$target-" \
    -print_final_stats=1 "$corpus" >"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$target: ${done_runs:-?} runs in $((SECONDS - start)) s")
done
echo "== fuzzing found nothing"
printf '%s\n' "${summary[@]}"
