#!/usr/bin/env bash
# Runs every benchmark executable of a build folder, one after another, each
# comparison inside one run with interleaved repetitions, and writes each
# program's results as JSON into DIR/bench-results/NAME.json. Then
# scripts/bench_table.py writes README.md's "Measured speed" table from them.
#   bench.sh [BUILD_DIR]     BENCH_REPETITIONS (default 9) sets the repetitions;
#                            BENCH_FIRST_RUN=0 skips scripts/first_run.sh.
set -euo pipefail
dir=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
results="$dir/bench-results"
reps=${BENCH_REPETITIONS:-9}
mkdir -p "$results"
shopt -s nullglob
found=0
for exe in "$dir"/bench/*_bench "$dir"/bench/*/*_bench; do
  [ -x "$exe" ] || continue
  found=1
  name=$(basename "$exe")
  # Short repetitions keep the whole run within a few minutes; the programs
  # that spawn a process each round get longer ones.
  min_time=0.05
  case "$name" in install_bench | startup_bench) min_time=0.3 ;; esac
  echo "== $name"
  # What the previous program wrote reaches the disk now, not during this
  # program's timing.
  sync
  "$exe" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
    --benchmark_min_time="$min_time" --benchmark_display_aggregates_only=true \
    --benchmark_counters_tabular=true \
    --benchmark_out="$results/$name.json" --benchmark_out_format=json
done
if [ $found -eq 0 ]; then
  echo "bench: no benchmarks built in $dir/bench" >&2
  exit 1
fi
# The fresh clone's way to the first window (a whole configure and build, a
# few minutes); BENCH_FIRST_RUN=0 leaves it out.
if [ "${BENCH_FIRST_RUN:-1}" != 0 ]; then
  echo "== first_run"
  bash "$here/first_run.sh" "$results/first_run.json"
else
  rm -f "$results/first_run.json"
fi
python3 "$here/bench_table.py" "$results" "$here/../README.md"
