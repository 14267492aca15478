#!/usr/bin/env bash
# Measures how long a fresh clone takes to show the installer window: clones
# this repository's HEAD into a temporary folder, runs there the commands
# `make run` runs (as `make -n run` lists them) one by one, under an Xvfb
# display of its own, and writes the wall seconds of each phase as JSON:
#   first_run.sh OUTPUT.json
# Phases: configure (every command before the build: the packages check and
# the CMake configuration), build (`cmake --build ...`), start (the start
# script, until the window's first paint: TESSALINE_EXIT_AFTER_FIRST_PAINT
# makes the program quit there). The clone itself is not counted.
# CMAKE_BUILD_PARALLEL_LEVEL is passed on as given (the build tool's default
# when unset).
set -euo pipefail
export LC_NUMERIC=C  # $EPOCHREALTIME with a decimal point
out=$(realpath -m "${1:?usage: first_run.sh OUTPUT.json}")  # the script works in a clone
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && git rev-parse --show-toplevel)
command -v Xvfb >/dev/null || { echo "first_run: Xvfb is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-first-run.XXXXXX")
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

git clone --quiet --no-hardlinks "$repo" "$work/clone"
commit=$(git -C "$work/clone" rev-parse --short HEAD)

# A display of its own, picked by Xvfb (-displayfd), without a window manager.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/displayfd" \
  >"$work/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 30 number <"$work/displayfd" || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$number"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export TESSALINE_EXIT_AFTER_FIRST_PAINT=1
export WENLORA_REGISTRY="$work/system.reg"  # the window only reads the hive

cd "$work/clone"
mapfile -t steps < <(make -s -n run)
: >"$work/times"
for step in "${steps[@]}"; do
  case "$step" in
    *"cmake --build"*) phase=build ;;
    *run.sh*) phase=start ;;
    *) phase=configure ;;
  esac
  echo "first_run: $phase: $step"
  begin=$EPOCHREALTIME
  bash -c "$step" >"$work/step.log" 2>&1 || {
    cat "$work/step.log" >&2
    echo "first_run: failed: $step" >&2
    exit 1
  }
  echo "$phase $begin $EPOCHREALTIME" >>"$work/times"
done

mkdir -p "$(dirname "$out")"
python3 - "$out" "$commit" "$work/times" <<'EOF'
import json, sys
out, commit, times = sys.argv[1:]
seconds = {"configure": 0.0, "build": 0.0, "start": 0.0}
with open(times) as f:
    for line in f:
        phase, begin, end = line.split()
        seconds[phase] += float(end) - float(begin)
result = {"commit": commit, "total_s": sum(seconds.values())}
result.update({phase + "_s": value for phase, value in seconds.items()})
with open(out, "w") as f:
    json.dump(result, f, indent=2)
    f.write("\n")
EOF
cat "$out"
