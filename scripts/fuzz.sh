#!/bin/sh
# Builds the fuzz targets with clang in their own build folder and runs each
# for FUZZ_SECONDS over its seed corpus. New inputs go to BUILD/corpus, crashes
# to BUILD/crashes; the seeds in the repository are only read.
#   scripts/fuzz.sh [BUILD [SECONDS [JOBS [TARGET...]]]]
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build-fuzz}
SECONDS_EACH=${2:-60}
JOBS=${3:-2}
[ $# -gt 3 ] && shift 3 || set --
SEEDS=tests/fuzz/corpus
DICTS=tests/fuzz/dict

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNLUX_FUZZ=ON \
  -DTARNLUX_WERROR=OFF > /dev/null
cmake --build "$BUILD" -j "$JOBS"

if [ $# -eq 0 ]; then
  set -- $(cd "$BUILD/tests/fuzz" && ls fuzz_* | sed 's/^fuzz_//')
fi
mkdir -p "$BUILD/crashes"

# One target: its log in BUILD/fuzz-NAME.log, its summary line in .result.
run_one() {
  name=$1
  work="$BUILD/corpus/$name"
  mkdir -p "$work"
  dict="$DICTS/$name.dict"
  [ -f "$dict" ] || dict="$DICTS/protocol.dict"
  [ "$name" = setup_files ] && dict=""
  log="$BUILD/fuzz-$name.log"
  if "$BUILD/tests/fuzz/fuzz_$name" "$work" "$SEEDS/$name" -max_total_time="$SECONDS_EACH" \
      -max_len=8192 -timeout=10 -print_final_stats=1 ${dict:+-dict=$dict} \
      -artifact_prefix="$BUILD/crashes/$name-" > "$log" 2>&1; then
    status=ok
  else
    status=FAILED
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(awk -v r="${runs:-0}" -v s="$SECONDS_EACH" 'BEGIN { printf "%d", r / s }')
  printf '%-14s %-6s %10s runs %8s exec/s\n' "$name" "$status" "${runs:-0}" "$rate" > "$BUILD/fuzz-$name.result"
}

# JOBS targets at a time.
running=0
for name in "$@"; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then
    wait
    running=0
  fi
done
wait

failed=""
for name in "$@"; do
  cat "$BUILD/fuzz-$name.result"
  if grep -q ' FAILED ' "$BUILD/fuzz-$name.result"; then failed="$failed $name"; fi
done
if [ -n "$failed" ]; then
  echo "fuzz: faults found in:$failed (inputs in $BUILD/crashes)" >&2
  for name in $failed; do tail -n 40 "$BUILD/fuzz-$name.log" >&2; done
  exit 1
fi
exit 0
