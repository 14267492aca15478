#!/usr/bin/env bash
# Runs every libFuzzer target of a build folder for a fixed number of inputs,
# starting from its seed corpus in fuzz/corpus/<name>/. Fails on any finding.
set -euo pipefail
dir=${1:-build/fuzz}
runs=${2:-20000}
here=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
for exe in "$dir"/fuzz/*_fuzz; do
  name=$(basename "$exe")
  seeds="$here/fuzz/corpus/$name"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "== $name ($runs inputs)"
  "$exe" -runs="$runs" -max_total_time=30 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$dir/fuzz/$name-" "$work" 2>&1 | tail -n 12
  rm -rf "$work"
  trap - EXIT
done
