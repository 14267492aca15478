# The desktop tests' cases, sourced by desktop_test.sh (which provides
# start_display, start_tessaline, poll, prop, probe and the other helpers).
# Each case_NAME returns non-zero or calls fail when its behaviour breaks.

# _MOTIF_WM_HINTS bits (flags, functions, decorations, ...).
readonly MWM_FUNC_MOVE=0x4 MWM_FUNC_MINIMIZE=0x8 MWM_FUNC_MAXIMIZE=0x10
readonly MWM_FUNC_CLOSE=0x20
readonly MWM_DECOR_ALL=0x1 MWM_DECOR_BORDER=0x2 MWM_DECOR_TITLE=0x8 MWM_DECOR_MENU=0x10
readonly MWM_DECOR_MINIMIZE=0x20 MWM_DECOR_MAXIMIZE=0x40

has_bits() { [ $(($1 & $2)) -eq $(($2)) ]; }
lacks_bits() { [ $(($1 & $2)) -eq 0 ]; }

# The main window's title: the application title the error boxes carry.
main_title() {
  prop "$main" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

box_gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }

# Maximised as openbox sees it, captioned with the pack's title, with the
# border the form asks for: title, system menu and close; neither minimise
# nor maximise, in the functions or the decorations.
case_maximised_fixed_frame() {
  start_display 1280x1024
  start_tessaline
  poll 10 is_maximised || fail "not maximised: $(prop "$main" _NET_WM_STATE)"
  [ "$(main_title)" = Tessaline ] || fail "captioned '$(main_title)', not with the pack's title"
  poll 10 client_is 1280 $((1024 - $(frame_extent top))) ||
    fail "the maximised client is ${w}x${h}, not the screen below the title bar"
  local hints flags functions decorations
  hints=$(prop "$main" _MOTIF_WM_HINTS | sed 's/.*= //; s/,//g')
  read -r flags functions decorations _ <<<"$hints"
  has_bits "$flags" 0x3 || fail "_MOTIF_WM_HINTS gives no functions or decorations: $hints"
  has_bits "$functions" $((MWM_FUNC_MOVE | MWM_FUNC_CLOSE)) || fail "functions $functions"
  lacks_bits "$functions" $((MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE)) || fail "functions $functions"
  has_bits "$decorations" $((MWM_DECOR_BORDER | MWM_DECOR_TITLE | MWM_DECOR_MENU)) ||
    fail "decorations $decorations"
  lacks_bits "$decorations" $((MWM_DECOR_ALL | MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE)) ||
    fail "decorations $decorations"
}

# frame_extent left|right|top|bottom of the main window, from the WM.
frame_extent() {
  local extents
  extents=$(prop "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  [ -n "$extents" ] || extents="0 0 0 0"
  read -r left right top bottom <<<"$extents"
  echo "${!1}"
}

# The window manager's own unmaximise gives the design client size, the frame
# centred on the screen with its title bar on it, and a size that can no
# longer change.
case_restore_gives_design_size_centred() {
  start_display 1280x1024
  start_tessaline
  poll 10 is_maximised || fail "not maximised"
  probe unmaximize "$main" || fail "could not ask openbox to unmaximise"
  poll 10 client_is 688 453 || fail "restored to ${w}x${h}, not 688x453"
  is_maximised && fail "still maximised after the restore"
  poll 10 frame_centred || fail "frame not centred: client at $x,$y, extents $(frame_extents)"
  local hints
  hints=$(prop "$main" WM_NORMAL_HINTS)
  grep -q 'minimum size: 688 by 453' <<<"$hints" && grep -q 'maximum size: 688 by 453' <<<"$hints" ||
    fail "the restored size is not fixed: $hints"
  local actions
  actions=$(prop "$main" _NET_WM_ALLOWED_ACTIONS)
  [[ $actions != *_NET_WM_ACTION_RESIZE* && $actions != *_NET_WM_ACTION_MAXIMIZE* ]] ||
    fail "openbox still offers resizing or maximising: $actions"
}

frame_extents() { prop "$main" _NET_FRAME_EXTENTS | sed 's/.*= //'; }

# The frame (client plus the WM's extents) lies on the 1280x1024 screen, the
# title bar's top at y >= 0, with equal room on both sides to a pixel
# horizontally and to 2 pixels vertically: when the window reads its frame
# margins, openbox may not have dropped the 4-pixel resize handle it gives a
# resizable frame.
frame_centred() {
  geometry "$main" || return 1
  local l r t b
  l=$(frame_extent left) r=$(frame_extent right) t=$(frame_extent top) b=$(frame_extent bottom)
  local fx=$((x - l)) fy=$((y - t)) fw=$((w + l + r)) fh=$((h + t + b))
  [ $fx -ge 0 ] && [ $fy -ge 0 ] && [ $((fx + fw)) -le 1280 ] && [ $((fy + fh)) -le 1024 ] &&
    [ $((fx - (1280 - fx - fw))) -ge -1 ] && [ $((fx - (1280 - fx - fw))) -le 1 ] &&
    [ $((fy - (1024 - fy - fh))) -ge -4 ] && [ $((fy - (1024 - fy - fh))) -le 4 ]
}

# Tab moves the focus from Install to Exit; Enter on Exit closes the window
# and installs nothing.
case_enter_presses_exit() {
  tab_to_exit_and_press_enter 1280x1024
}

# tab_to_exit_and_press_enter SCREEN: on a screen of that size, Tab then
# Enter ends the program with nothing installed.
tab_to_exit_and_press_enter() {
  start_display "$1"
  start_tessaline
  activate "$main"
  keys Tab Return
  expect_exit 0
  pack_installed && fail "Exit installed the pack"
  return 0
}

# Enter on the focused Install button installs the running program into the
# private temporary folder and says so in the plain completion box: titled
# with the application title, no icon, a dialog of the application's windows.
# Enter closes it and the installer.
case_enter_presses_install() {
  start_display 1280x1024
  start_tessaline
  activate "$main"
  local title
  title=$(main_title)
  [ -n "$title" ] || fail "the main window has no title"
  keys Return
  poll 10 find_box || fail "no completion box after Enter on Install"
  pack_installed || fail "no pack in $TMPDIR_FOR_PACK"
  cmp -s "$TMPDIR_FOR_PACK/Tessaline.wpk" "$tessaline" || fail "the pack is not the program"
  title_is "$title"
  group_dialog
  poll 10 probe icon "$box" none >/dev/null 2>"$work/probe.err" || fail "$(cat "$work/probe.err")"
  poll 10 probe text "$box" "Pack installation finished" >/dev/null 2>"$work/probe.err" ||
    fail "$(cat "$work/probe.err")"
  activate "$box"
  keys Return
  expect_exit 0
}

# The completion box has no owner: it is transient for the application's
# window group (Qt's client leader), which the window manager keeps above
# the main window, or for the main window itself.
group_dialog() {
  prop "$box" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG || fail "not a dialog"
  local owner leader
  owner=$(prop "$box" WM_TRANSIENT_FOR | awk '{print $NF}')
  leader=$(prop "$main" WM_CLIENT_LEADER | awk '{print $NF}')
  [ -n "$owner" ] && { [ $((owner)) -eq $((main)) ] || [ $((owner)) -eq $((leader)) ]; } ||
    fail "the box is transient for '$owner', neither the main window nor its leader '$leader'"
}

# The focus frame is on Install at start: the window at start looks like the
# window after Tab and Shift+Tab brought the focus back to Install by
# keyboard, and unlike the window with the focus on Exit.
case_focus_frame_shown_at_start() {
  start_display 1280x1024
  start_tessaline
  activate "$main"
  poll 10 client_is 1280 $((1024 - $(frame_extent top))) || fail "not maximised"
  local start on_exit back
  start=$(probe hash "$main") || fail "cannot read the window's pixels"
  keys Tab
  poll 10 hash_differs "$start" || fail "Tab changed nothing on the screen"
  on_exit=$(probe hash "$main")
  keys shift+Tab
  poll 10 hash_differs "$on_exit" || fail "Shift+Tab changed nothing on the screen"
  back=$(probe hash "$main")
  # The start image may have been grabbed before the first frame was marked:
  # a second installer on the same screen is waited for until it looks the
  # same as the keyboard-focused one.
  kill "$app"
  wait "$app" 2>/dev/null
  start_tessaline
  activate "$main"
  poll 10 hash_is "$back" || fail "at start the window is not drawn with the focus on Install"
}

hash_is() { [ "$(probe hash "$main")" = "$1" ]; }

# settled_hash: the main window's pixels once they have stayed the same for a
# tenth of a second (the focus frame that the first activation marks is drawn
# a moment after the window became active).
settled_hash() {
  local before now _
  before=$(probe hash "$main") || return 1
  for _ in $(seq 50); do
    sleep 0.1
    now=$(probe hash "$main") || return 1
    [ "$now" = "$before" ] && { echo "$now"; return 0; }
    before=$now
  done
  return 1
}
hash_differs() { local now; now=$(probe hash "$main") && [ "$now" != "$1" ]; }

# The information box of a registry report, on the window system: empty
# title, the style's information icon and the report's text, a modal dialog
# of the main window. The hive is larger than the installer may write
# (ulimit -f) but the pack is not: the first Install's record write fails and
# leaves its key open, and the second Install reports that key ("Registry
# error 1") before anything else.
case_information_box() {
  big_hive
  FILE_SIZE_LIMIT=1536
  start_display 1280x1024
  start_tessaline
  activate "$main"
  keys Return
  poll 10 find_box || fail "no error box after the failed record write"
  title_is "$(main_title)"
  box_shows critical "Failed to set data for 'Pack1'"
  activate "$box"
  keys Return
  poll 10 box_gone "$box" || fail "the error box did not close"
  activate "$main"
  keys Return
  poll 10 find_box || fail "no information box for the key left open"
  title_is ""
  transient_dialog
  box_shows information "Registry error 1"
}

# A hive of about 2 MB naming $work/game as the game's folder, so that the
# pack (1 MB) can be written there and the hive cannot be under 1536 KiB.
big_hive() {
  mkdir -p "$work/game"
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n"Wenlora"="%s/game/wenlora"\n\n' "$work"
    printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\n"Padding"="'
    head -c 2000000 /dev/zero | tr '\0' x
    printf '"\n\n'
  } >"$work/system.reg"
  [ "$(stat -c %s "$tessaline")" -lt $((1536 * 1024)) ] || fail "the program outgrew the limit"
}

# The error box of a failed install (a file where the destination folder
# should be), on the window system: titled with the application title, the
# critical icon and the error's text; after it the window stays open.
case_error_box() {
  touch "$work/file"
  TMPDIR_FOR_PACK=$work/file/sub
  start_display 1280x1024
  start_tessaline
  activate "$main"
  local title
  title=$(main_title)
  keys Return
  poll 10 find_box || fail "no error box after the failed install"
  title_is "$title"
  transient_dialog
  box_shows critical "Cannot create file"
  activate "$box"
  keys Return
  poll 10 box_gone "$box" || fail "the error box did not close"
  app_exited && fail "the installer ended after the error"
  find_main_window || fail "the main window is gone after the error"
}

# On a screen smaller than the panel the window starts and the keyboard
# reaches Install (focused at start) ...
case_small_screen_install() {
  start_display 480x180
  start_tessaline
  activate "$main"
  keys Return
  poll 10 find_box || fail "no completion box after Enter on Install"
  pack_installed || fail "no pack in $TMPDIR_FOR_PACK"
  activate "$box"
  keys Return
  expect_exit 0
}

# ... and Exit, one Tab further.
case_small_screen_exit() {
  tab_to_exit_and_press_enter 480x180
}

# Restored on a screen smaller than the design size, the frame (the window
# manager's borders included) fits the screen: the title bar stays on it.
case_small_screen_restore_keeps_the_title_bar_on_screen() {
  start_display 480x180
  start_tessaline
  poll 10 is_maximised || fail "not maximised"
  probe unmaximize "$main" || fail "could not ask openbox to unmaximise"
  poll 10 restored_frame_fits 480 180 ||
    fail "frame at $fx,$fy, ${fw}x${fh} (client $x,$y ${w}x${h}) leaves the 480x180 screen"
}

# restored_frame_fits WIDTH HEIGHT: not maximised, and the frame within the
# screen; sets fx fy fw fh.
restored_frame_fits() {
  ! is_maximised && geometry "$main" || return 1
  local l r t b
  l=$(frame_extent left) r=$(frame_extent right) t=$(frame_extent top) b=$(frame_extent bottom)
  fx=$((x - l)) fy=$((y - t)) fw=$((w + l + r)) fh=$((h + t + b))
  [ $fx -ge 0 ] && [ $fy -ge 0 ] && [ $((fx + fw)) -le "$1" ] && [ $((fy + fh)) -le "$2" ]
}
