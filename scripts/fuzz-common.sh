# Shared by scripts/fuzz.sh and scripts/fuzz-long.sh (sourced): builds the
# libFuzzer targets with clang in $dir and lists them.
# Expects: root (the project), dir (the build folder).
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

cmake -S "$root/tests/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# target, dictionary, longest input
targets=(
  "record_stream_fuzz record_stream.dict 4096"
  "ini_roundtrip_fuzz ini.dict 4096"
  "reply_block_fuzz reply_block.dict 2048"
  "recording_read_fuzz recording.dict 4096"
)
