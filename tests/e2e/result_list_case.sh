# The result list under the real program: rows of a search, the action bar of
# the row under the mouse, clicks with Ctrl, the list's keys, and its keys
# after a right click made while the edit had the keyboard.
# shellcheck shell=bash

left=$BAR_LEFT

result_rect() { window_rect LumsekSearchResult; }
result_shown() { [ -n "$(result_rect)" ]; }
# A click on the first row, then a Ctrl-click on the second.
select_both_rows() {
  click_at $((rl + 500)) $((rt + 30))
  xdotool keydown ctrl
  sleep 0.2
  click_at $((rl + 500)) $((rt + 25 + 58 + 10))
  xdotool keyup ctrl
  sleep 0.3
}

log "start and wait for the first scan of F:"
e2e_start_scanned

log "search: the result list shows the rows"
focus_bar
xdotool type --delay 60 quarterly
wait_until 10 result_shown || fail "no result list after typing"
read -r rl rt rr rb < <(result_rect)
log "result list at $rl $rt $rr $rb"

log "the copy-path button of the row under the mouse copies that row's path"
# Row 0 is expanded: 25 px header, its buttons 29 px below the row's top,
# copy path the fourth one from x 284.
xdotool mousemove --sync $((rl + 500)) $((rt + 30))
sleep 0.3
click_at $((rl + 300)) $((rt + 25 + 40))
wait_until 5 probe clipboard-text || fail "nothing on the clipboard after copy path"
got="$(probe clipboard-text)"
log "clipboard: $got"
case "$got" in
  'F:\quarterly_report.txt' | 'F:\项目资料\quarterly_notes.txt') ;;
  *) fail "copy path gave: $got" ;;
esac
first="$got"

log "Ctrl-click both rows, then copy their paths from the action bar"
select_both_rows
xdotool mousemove --sync $((rl + 500)) $((rt + 30))
sleep 0.3
click_at $((rl + 300)) $((rt + 25 + 40))
sleep 1
got="$(probe clipboard-text | sed '/^$/d' | sort)"
want="$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)"
[ "$got" = "$want" ] || fail "paths of the selection:
$got"

log "End selects the last row only; Ctrl+C copies that file"
xdotool key End
sleep 0.3
xdotool key ctrl+c
wait_until 5 probe clipboard-files || fail "no file list on the clipboard"
got="$(probe clipboard-files)"
[ "$got" != "$first" ] || fail "End did not move to the last row: $got"
log "clipboard files: $got"

# A right click on a row while the edit has the keyboard: the menu opens for
# that row, and once Esc closed it the keys act on the list, as in a file
# manager: Ctrl+C copies the row's file, not the edit's text.
menu_closed() { ! probe popup-menu 0; }
right_click_then_copy() { # x y: the files Ctrl+C then copies in $got, the focus after Esc in $focus
  probe clipboard-clear >/dev/null
  click_at "$1" "$2" 3
  probe popup-menu 10 >/dev/null || fail "no context menu after a right click on the row at $1,$2"
  xdotool key Escape
  wait_until 5 menu_closed || fail "Esc left the context menu open"
  focus="$(probe focus)"
  log "after Esc the keyboard is in: $focus"
  xdotool key ctrl+c
  wait_until 5 probe clipboard-files || true
  got="$(probe clipboard-files | sed '/^$/d' | sort)"
}
log "right click on the second row with the edit focused, Esc, Ctrl+C: that row's file"
type_query quarterly || fail "the edit did not take 'quarterly'"
wait_until 10 result_shown || fail "no result list after typing again"
read -r rl rt rr rb < <(result_rect)
case "$(probe focus)" in Edit\|*) ;; *) fail "after typing the keyboard is in $(probe focus), not the edit" ;; esac
second="$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | grep -vxF "$first")"
right_click_then_copy $((rl + 500)) $((rt + 25 + 58 + 10))
[ "$got" = "$second" ] || fail "Ctrl+C after the menu on the second row copied files: '$got' (expected $second)"
[ "$(probe clipboard-effect)" = 1 ] || fail "the copy after the menu is not drop effect 1"
[ "$focus" = "LumsekResultList|" ] || fail "after the menu the keyboard is in '$focus', not the list"

log "right click inside a selection of both rows, the edit focused: Ctrl+C copies both"
select_both_rows
# The keyboard back to the edit; the list keeps its rows and its selection.
click_at $((left + 200)) 40
sleep 0.5
case "$(probe focus)" in Edit\|*) ;; *) fail "a click into the edit left the keyboard in $(probe focus)" ;; esac
right_click_then_copy $((rl + 500)) $((rt + 30))
want="$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)"
[ "$got" = "$want" ] || fail "Ctrl+C after the menu on a row of the selection copied:
$got"

log "right click on a row outside the selection selects only that row"
click_at $((rl + 500)) $((rt + 30))
sleep 0.3
click_at $((left + 200)) 40
sleep 0.5
right_click_then_copy $((rl + 500)) $((rt + 25 + 58 + 10))
[ "$got" = "$second" ] || fail "Ctrl+C after the menu on an unselected row copied: '$got' (expected $second)"

thumb_at() { [ "$(screen_pixel "$1" "$2")" = "#5F6368" ]; }
# The thumb runs beside the rows only: its top lies under the 25 px header row.
head_row=25

log "the list's own scroll bar: its thumb dragged to the bottom shows the last row"
click_at $((left + 200)) 40
xdotool key ctrl+a
xdotool type --delay 60 dll
read -r rl rt rr rb < <(result_rect)
bar=$((rr - 6))
# Enough rows to scroll (Wine's own DLLs on C:): the thumb shows at the top.
wait_until 30 thumb_at "$bar" $((rt + head_row + 6)) || fail "no thumb at the top of the bar: $(screen_pixel "$bar" $((rt + head_row + 6)))"
# The panel grows with the rows.
sleep 1
read -r rl rt rr rb < <(result_rect)
log "result list at $rl $rt $rr $rb"
xdotool mousemove --sync "$bar" $((rt + head_row + 6)) mousedown 1
for y in $((rt + 60)) $((rt + 160)) $(((rt + rb) / 2)) $((rb - 20)) $((rb + 80)); do
  xdotool mousemove --sync "$bar" "$y"
  sleep 0.1
done
xdotool mouseup 1
sleep 0.5
thumb_at "$bar" $((rb - 6)) || fail "the thumb did not follow to the bottom: $(screen_pixel "$bar" $((rb - 6)))"
[ "$(screen_pixel "$bar" $((rt + head_row + 6)))" = "#F6F6FB" ] || fail "the track's top still shows the thumb"
# The row at the bottom is the last one: clicking it copies what End selects.
click_at $((rl + 500)) $((rb - 10))
xdotool key ctrl+c
sleep 0.5
clicked="$(probe clipboard-files)"
xdotool key Home
xdotool key End
xdotool key ctrl+c
sleep 0.5
last="$(probe clipboard-files)"
log "bottom row after the drag: $clicked; End: $last"
[ -n "$clicked" ] && [ "$clicked" = "$last" ] || fail "after the drag the bottom row was $clicked, the last row is $last"
