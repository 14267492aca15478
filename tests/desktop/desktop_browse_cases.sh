# The desktop tests' cases for the destination row: Browse from the keyboard,
# the focus after its chooser, and the destination's tool tip. Sourced by
# desktop_test.sh after desktop_cases.sh.

# A mapped dialog of the installer titled exactly TITLE; sets box.
find_titled_box() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    if [ "$(prop "$id" _NET_WM_NAME)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ]; then
      box=$id
      return 0
    fi
  done
  return 1
}

# The chooser is open and has the keyboard; sets chooser.
chooser_open() {
  find_titled_box "Select Directory" && is_active "$box" && chooser=$box
}

# The main window has the keyboard again.
main_has_the_keyboard() { has_the_keyboard "$main"; }

# open_chooser: Alt+B opens Browse's chooser.
open_chooser() {
  keys alt+b
  poll 10 chooser_open || fail "Alt+B did not open the chooser with the keyboard in it"
}

# chooser_closes: the chooser went, the main window has the keyboard, and
# its pixels have settled: it has drawn what the chooser's end changed (the
# destination, the focus given back), so a key sent now finds it done.
chooser_closes() {
  poll 10 box_gone "$chooser" || fail "the chooser did not close"
  poll 10 main_has_the_keyboard ||
    fail "after the chooser the focus is on $(xdotool getwindowfocus), active window" \
      "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}'), not the main window $main"
  settled_hash >/dev/null || fail "the window never settled after the chooser"
}

# choose FOLDER: types FOLDER in the chooser and accepts it.
choose() {
  xdotool type --delay 5 "$1"
  keys Return
}

# create_with_browse FOLDER: chooses FOLDER, which does not exist, and
# answers the chooser's "Create it?" with Yes.
create_with_browse() {
  open_chooser
  choose "$1"
  poll 10 question_open || fail "no question about creating $1"
  keys Return
  chooser_closes
  # Made once the chooser has returned: the keyboard may come back first.
  poll 10 test -d "$1" || fail "$1 was not created"
}

question_open() { find_titled_box Confirm && is_active "$box"; }

# Alt+B presses Browse whatever control has the focus, and each way of
# closing its chooser gives the keyboard back to the main window, on the
# control that had it: creating a folder (three times, as the window manager
# lost the focus about every other time), choosing an existing one,
# cancelling. Enter then presses the control that had the focus.
case_browse_from_the_keyboard_creates_a_folder() {
  start_display 1280x1024
  start_tessaline
  activate "$main"
  local round
  for round in 1 2 3; do
    create_with_browse "$work/made$round"
  done
  keys Return  # Install had the focus: it installs into the folder made last
  poll 10 find_box || fail "Enter did not press Install after the chooser"
  [ -f "$work/made3/Tessaline.wpk" ] || fail "the pack is not in the folder chosen last"
}

case_browse_from_the_keyboard_chooses_a_folder() {
  mkdir -p "$work/existing"
  start_display 1280x1024
  start_tessaline
  activate "$main"
  local start
  # The window as drawn with its first focus frame, so that a change seen
  # after Tab is the Tab's.
  start=$(settled_hash) || fail "the window's pixels never settled"
  keys Tab  # the focus on Exit
  # Alt+B only once the Tab has moved the focus: sent at once, it was now
  # and then taken before the Tab was.
  poll 10 hash_differs "$start" || fail "Tab did not move the focus"
  open_chooser
  choose "$work/existing"
  chooser_closes
  keys Return  # Exit had the focus: it closes without installing
  expect_exit 0
  pack_installed && fail "Enter after the chooser installed instead of pressing Exit"
  [ -z "$(ls -A "$work/existing")" ] || fail "something was put in $work/existing"
}

case_browse_from_the_keyboard_cancelled() {
  start_display 1280x1024
  start_tessaline
  activate "$main"
  open_chooser
  keys Escape
  chooser_closes
  keys Return  # Install had the focus; the destination is the one before
  poll 10 find_box || fail "Enter did not press Install after the chooser"
  pack_installed || fail "the pack is not where the window showed before Browse"
}

# A mapped tool tip window of the installer; sets tip.
find_tip() { find_window_of_type TOOLTIP && tip=$found; }

# hover_destination: the pointer over the middle of DirN (in the panel that
# is centred in the client area: Panel2 at 7,7, DirN at 12,114, 409 x 24).
hover_destination() {
  geometry "$main" || fail "no geometry of the main window"
  local px=$((x + (w - 513) / 2)) py=$((y + (h - 201) / 2))
  xdotool mousemove $((px + 7 + 12 + 204)) $((py + 7 + 114 + 12))
}

# tip_shows FOLDER: hovering DirN shows a tool tip that draws the whole
# destination FOLDER/ as the field does (bytes that are not UTF-8 as
# replacement characters, which x_probe makes of them too).
tip_shows() {
  TMPDIR_FOR_PACK=$1
  mkdir -p "$TMPDIR_FOR_PACK"
  start_display 1280x1024
  start_tessaline
  activate "$main"
  poll 10 is_maximised || fail "not maximised"
  hover_destination
  poll 10 find_tip || fail "no tool tip over the destination"
  poll 10 probe tip "$tip" "$1/" >/dev/null 2>"$work/probe.err" ||
    fail "the tool tip does not show the whole destination: $(cat "$work/probe.err")"
}

# A destination longer than the field, then one whose bytes are not UTF-8.
case_destination_tip_shows_a_long_path() {
  tip_shows "$work/a-folder-whose-name-is-longer-than-the-destination-field-shows"
}

case_destination_tip_shows_bytes_as_the_field_does() {
  tip_shows "$work/caf$(printf '\xe9')-and-a-name-long-enough-to-pass-the-end-of-the-field"
}
