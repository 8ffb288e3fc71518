# Boxes over the bar on a desktop with a window manager: the system's box
# for a row's 属性 (properties) and its box for a file that no program opens
# come above the bar and its always-on-top panels as X stacks the windows,
# hold the keyboard, and leave the bar and its list where they were once
# answered.
# shellcheck shell=bash

printf 'x' >"$E2E_FILES/noprogram.lumsekx"

result_rect() { window_rect LumsekSearchResult; }
result_shown() { [ -n "$(result_rect)" ]; }
box_shown() { [ -n "$(x_window '#32770' "$1")" ]; }
# The system's box 错误 stands over the bar and holds the keyboard; Return
# closes it.
close_error_box() {
  expect_box_over_bar 错误
  [ "$(probe foreground | cut -d'|' -f1)" = '#32770' ] || fail "the box does not hold the keyboard: $(probe foreground)"
  xdotool key Return
  wait_until 10 eval '! box_shown 错误' || fail "the box did not close"
}

log "start and wait for the first scan of F:"
e2e_start_scanned

log "search for a file that no program opens"
focus_bar
xdotool type --delay 60 noprogram
wait_until 10 result_shown || fail "no result list after typing"
sleep 2
read -r rl rt rr rb < <(result_rect)

log "right click on its row, then 属性 (the menu's last item)"
xdotool mousemove --sync $((rl + 400)) $((rt + 37)) click 3
probe popup-menu 10 >/dev/null || fail "no context menu"
xdotool key Up Return
# The system reports that it has no property sheet here; in any case a box.
wait_until 15 box_shown 错误 || fail "no box after 属性: $(probe windows)"
sleep 1
close_error_box
sleep 1
bar_shown || fail "the bar went with the box: $(probe windows)"

log "Enter on the row: the system's box says that no program opens it"
click_at $((rl + 400)) $((rt + 37))
sleep 0.5
xdotool key Return
wait_until 15 box_shown 错误 || fail "no box for a file no program opens: $(probe windows)"
sleep 1
text="$(probe message-box 错误 5)"
log "box text: $text"
[ -n "$text" ] || fail "the box says nothing"
close_error_box
# Nothing was opened: the bar and its list stay for the next try.
sleep 2
bar_shown || fail "the bar went after the box: $(probe windows)"
result_shown || fail "the result list went after the box"
[ "$(result_rect)" = "$rl $rt $rr $rb" ] || fail "the result list moved with the boxes: $rl $rt $rr $rb, now $(result_rect)"
e2e_stop
