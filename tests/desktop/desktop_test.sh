#!/usr/bin/env bash
# One desktop test: the installer window on its own Xvfb display with openbox
# managing it, looked at from outside.
#   desktop_test.sh CASE TESSALINE X_PROBE
# Every wait polls a condition with an overall limit (never a fixed sleep);
# Xvfb, openbox and the installer are ended on every way out. Exit status 0
# passed, 1 failed, 77 skipped (a tool is missing).
set -uo pipefail

case_name=$1
tessaline=$2
x_probe=$3

for tool in Xvfb openbox xdotool xprop xwininfo; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-desktop.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAILED ($case_name): $*" >&2
  [ -s "$work/tessaline.err" ] && sed 's/^/  tessaline: /' "$work/tessaline.err" >&2
  exit 1
}

# poll SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds; fails
# when it has not within SECONDS.
poll() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

# start_display WIDTHxHEIGHT: Xvfb on a free display it picks itself
# (-displayfd), then openbox, waited for until it has claimed the root window.
start_display() {
  local fifo="$work/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$fifo" \
    >"$work/xvfb.log" 2>&1 &
  pids+=("$!")
  local number
  read -r -t 20 number <"$fifo" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$number"
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=("$!")
  poll 20 wm_running || fail "openbox did not take the display: $(cat "$work/openbox.log")"
}

wm_running() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# The installer with a private hive, home, runtime and temporary folder (the
# destination when the game is not installed). TMPDIR may be given.
start_tessaline() {
  if [ -z "${TMPDIR_FOR_PACK:-}" ]; then
    TMPDIR_FOR_PACK=$work/tmp
    mkdir -p "$TMPDIR_FOR_PACK"
  fi
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  # FILE_SIZE_LIMIT (KiB, ulimit -f) makes the installer's larger writes fail.
  (
    ulimit -f "${FILE_SIZE_LIMIT:-unlimited}"
    exec env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME="$work/home" \
      XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config" \
      XDG_DATA_HOME="$work/home/.local/share" WENLORA_REGISTRY="$work/system.reg" \
      TMPDIR="$TMPDIR_FOR_PACK" ASAN_OPTIONS=detect_leaks=0 "$tessaline"
  ) >"$work/tessaline.out" 2>"$work/tessaline.err" &
  app=$!
  pids+=("$app")
  [ "${1:-}" = --no-wait ] || wait_for_main_window
}

wait_for_main_window() {
  poll 20 main_mapped_or_ended || fail "the window was not mapped"
}

# find_main_window, or stop polling when the installer has ended.
main_mapped_or_ended() {
  app_exited && fail "the installer ended before its window was mapped"
  find_main_window
}

# The one mapped window of the installer's process that is not a dialog.
find_main_window() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    if ! prop "$id" _NET_WM_WINDOW_TYPE | grep -q DIALOG; then
      main=$id
      return 0
    fi
  done
  return 1
}

# A mapped window of the installer's process of the type $1 (DIALOG,
# TOOLTIP); sets found.
find_window_of_type() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    if prop "$id" _NET_WM_WINDOW_TYPE | grep -q "_NET_WM_WINDOW_TYPE_$1"; then
      found=$id
      return 0
    fi
  done
  return 1
}

# A mapped dialog of the installer's process; sets box.
find_box() { find_window_of_type DIALOG && box=$found; }

prop() { xprop -id "$1" "$2" 2>/dev/null; }

is_maximised() {
  local state
  state=$(prop "$main" _NET_WM_STATE)
  [[ $state == *_NET_WM_STATE_MAXIMIZED_VERT* && $state == *_NET_WM_STATE_MAXIMIZED_HORZ* ]]
}

# geometry WID: sets x y w h, the client area's place on the screen.
geometry() {
  local info
  info=$(xwininfo -id "$1" 2>/dev/null) || return 1
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  w=$(awk '/Width:/ {print $2}' <<<"$info")
  h=$(awk '/Height:/ {print $2}' <<<"$info")
}

client_is() {
  geometry "$main" && [ "$w" = "$1" ] && [ "$h" = "$2" ]
}

app_exited() { ! kill -0 "$app" 2>/dev/null; }

# expect_exit STATUS: waits (bounded) for the installer to end with STATUS.
expect_exit() {
  poll 20 app_exited || fail "the installer did not end"
  local status=0
  wait "$app" || status=$?
  [ "$status" = "$1" ] || fail "the installer ended with status $status, not $1"
}

# The keyboard goes to the window the window manager made active.
# activate WINDOW: makes WINDOW active and waits until the keyboard is in it,
# so that the keys sent next reach it (the window manager marks a window
# active a moment before the X focus follows).
activate() {
  timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  poll 10 has_the_keyboard "$1" || fail "window $1 never became active with the keyboard in it"
}

# has_the_keyboard WINDOW: the window manager has made WINDOW the active
# window and the X focus is in it (not on the window manager's own).
has_the_keyboard() {
  local focused
  is_active "$1" || return 1
  focused=$(xdotool getwindowfocus 2>/dev/null) || return 1
  [ $((focused)) -eq $(($1)) ] || xwininfo -children -id "$1" 2>/dev/null |
    grep -qi "$(printf '0x%x' "$focused")"
}

is_active() {
  local active
  active=$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | awk '{print $NF}')
  [ -n "$active" ] && [ $((active)) -eq $(($1)) ]
}

keys() { xdotool key --clearmodifiers "$@"; }

# title_is TEXT: the box's WM_NAME and _NET_WM_NAME are TEXT (xprop shows an
# empty text as nothing after the "=").
title_is() {
  local want=$1 name net shown
  [ -n "$want" ] && shown="\"$want\"" || shown=""
  name=$(prop "$box" WM_NAME)
  net=$(prop "$box" _NET_WM_NAME)
  [ "$name" = "WM_NAME(STRING) = $shown" ] || [ "$name" = "WM_NAME(UTF8_STRING) = $shown" ] ||
    fail "box WM_NAME is '$name', not \"$want\""
  [ "$net" = "_NET_WM_NAME(UTF8_STRING) = $shown" ] ||
    fail "box _NET_WM_NAME is '$net', not \"$want\""
}

# The box is a transient dialog of the installer's main window.
transient_dialog() {
  prop "$box" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG ||
    fail "the box is not a dialog: $(prop "$box" _NET_WM_WINDOW_TYPE)"
  local owner
  owner=$(prop "$box" WM_TRANSIENT_FOR | awk '{print $NF}')
  [ -n "$owner" ] && [ $((owner)) -eq $((main)) ] ||
    fail "the box is transient for '$owner', not the main window $main"
}

probe() { QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run" "$x_probe" "$@"; }

# The box's pixels on the screen show the icon and the text. The box has
# painted once the probe finds them, so they are polled for.
box_shows() {
  poll 10 probe icon "$box" "$1" >/dev/null 2>"$work/probe.err" ||
    fail "$(cat "$work/probe.err")"
  poll 10 probe text "$box" "$2" >/dev/null 2>"$work/probe.err" ||
    fail "$(cat "$work/probe.err")"
}

pack_installed() { [ -f "$TMPDIR_FOR_PACK/Tessaline.wpk" ]; }

source "$(dirname "$0")/desktop_cases.sh"
source "$(dirname "$0")/desktop_browse_cases.sh"

"case_$case_name" || exit 1
echo "passed: $case_name"
