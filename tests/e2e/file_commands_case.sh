# File commands on result rows through the real program: a row of drive F:
# clicked, then Ctrl+C, Ctrl+X and Shift+Delete; what they did is read back
# from the clipboard inside Wine and from the drive.
# shellcheck shell=bash

# A folder whose name holds a comma and a blank.
mkdir -p "$E2E_FILES/a, b"
printf 'z' >"$E2E_FILES/a, b/comma file.txt"

e2e_start
probe wait-shell 60 >/dev/null || fail "no owner window after start"
wait_until 120 test -s "$E2E_PROGRAM/name_F" || fail "drive F: was not scanned"

# The bar waits as a strip at the top of the screen; a click opens it.
bar_x=640
open_bar_and_search() { # query
  if ! probe windows | grep -q '^Edit|'; then
    xdotool mousemove --sync "$bar_x" 2 click 1
    sleep 1
  fi
  type_query "$1" "$bar_x" 40 || fail "the edit did not take '$1'"
  sleep 1
}
# Clicks the first result row, under the list's header (button 1 or 3).
click_first_row() {
  local top
  top="$(window_rect LumsekSearchResult | cut -d' ' -f2)"
  [ -n "$top" ] || return 1
  xdotool mousemove --sync 400 $((top + 25 + 12)) click "${1:-1}"
  sleep 0.5
}
copy_of() { # query: the file list that Ctrl+C on its first row puts on the clipboard
  open_bar_and_search "$1"
  click_first_row || return 1
  xdotool key ctrl+c
  sleep 0.5
  probe clipboard-files
}

log "Ctrl+C on the first row once the drive is indexed"
copied=""
for _ in $(seq 12); do
  copied="$(copy_of holiday)"
  [ "$copied" = 'F:\photos\holiday.jpg' ] && break
  sleep 3
done
[ "$copied" = 'F:\photos\holiday.jpg' ] || fail "Ctrl+C put '$copied' on the clipboard"
[ "$(probe clipboard-effect)" = 1 ] || fail "copy is not drop effect 1"

log "Ctrl+X on a file with a Chinese name"
open_bar_and_search "季度报告"
click_first_row || fail "no result window"
xdotool key ctrl+x
sleep 0.5
[ "$(probe clipboard-files)" = 'F:\项目资料\季度报告.docx' ] || fail "Ctrl+X put '$(probe clipboard-files)' on the clipboard"
[ "$(probe clipboard-effect)" = 2 ] || fail "cut is not drop effect 2"

log "Shift+Delete asks, then deletes the selected file only"
xdotool key shift+Delete
probe message-box "确认删除文件" 20 >/dev/null || fail "no delete confirmation"
# The shell's question stands over the bar and its panels, as X stacks them.
sleep 1
expect_box_over_bar 确认删除文件
xdotool key Return
wait_until 10 test ! -e "$E2E_FILES/项目资料/季度报告.docx" || fail "the file was not deleted"
[ -e "$E2E_FILES/项目资料/quarterly_notes.txt" ] && [ -e "$E2E_FILES/photos/holiday.jpg" ] ||
  fail "other files were deleted"

log "right click: the shell's copy item (its key C) copies the row's file"
open_bar_and_search "comma file"
click_first_row 3 || fail "no result window"
probe popup-menu 10 >/dev/null || fail "no context menu"
xdotool key c
sleep 0.5
[ "$(probe clipboard-files)" = 'F:\a, b\comma file.txt' ] || fail "the menu's copy put '$(probe clipboard-files)' on the clipboard"

log "right click: the first item opens the file's folder, even with a comma in its name"
click_first_row 3 || fail "no result window"
read -r mleft mtop _ _ < <(probe popup-menu 10) || fail "no context menu"
click_at $((mleft + 30)) $((mtop + 10))
folder_window_shown() { probe windows | grep -q '^ExplorerWClass|a, b|'; }
wait_until 15 folder_window_shown || fail "no file manager window on the folder 'a, b'"

e2e_stop
