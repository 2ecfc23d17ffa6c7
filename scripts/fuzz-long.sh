#!/usr/bin/env bash
# Runs the calibration core's fuzzer for longer than the test does (default
# ten minutes; FUZZ_SECONDS overrides) on the build tree's copy of the seed
# corpus, which it grows; the seeds in tests/fuzz/corpus stay as they are.
# A crash leaves its input in BUILD_DIR/tests/fuzz/ and fails the script.
# Usage: fuzz-long.sh BUILD_DIR   (a configured and built fuzz preset)
set -euo pipefail

build=$(realpath "${1:?usage: fuzz-long.sh BUILD_DIR}")
seconds=${FUZZ_SECONDS:-600}
source_dir=$(realpath "$(dirname "$0")/..")
fuzzer="$build/tests/fuzz/state_tick_fuzzer"
corpus="$build/tests/fuzz/corpus"
[ -x "$fuzzer" ] || { echo "no fuzzer at $fuzzer: build the fuzz preset first" >&2; exit 1; }

mkdir -p "$corpus"
cp -n "$source_dir"/tests/fuzz/corpus/* "$corpus"/

pid=
stop() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; }
trap stop EXIT INT TERM

echo "Fuzzing the state file and the tick for $seconds s on $corpus"
# Paths are absolute: the fuzzer enters a folder of its own for every input.
"$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/tests/fuzz/" "$corpus" &
pid=$!
wait "$pid"
pid=
echo "No invariant broke in $seconds s."
