#!/usr/bin/env bash
# Runs every benchmark executable of a build folder, one after another.
set -euo pipefail
dir=${1:-build/release}
shopt -s nullglob
found=0
for exe in "$dir"/bench/*_bench "$dir"/bench/*/*_bench; do
  [ -x "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  "$exe" --benchmark_counters_tabular=true
done
[ $found -eq 1 ] || echo "bench: no benchmarks built in $dir/bench"
