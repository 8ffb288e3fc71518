# The bar's scope popup and settings menu as a user meets them: a button's
# tip goes when its popup or menu opens and stays away while it is open, and
# a click back into the edit after the popup closes lands in the edit (the
# bar never ends up over it), so typing shows there.
# shellcheck shell=bash

left=$BAR_LEFT
edit_x=$((left + 200)) edit_y=40
scope_x=$((left + 733)) scope_y=40
settings_x=$((left + 776)) settings_y=11

tip_shown() { probe tooltips | grep -qx "$1"; }

# Waits longer than the tip's show delay, then fails if <text> is a visible tip.
expect_no_tip() { # text what
  sleep 1.5
  tip_shown "$1" && fail "the tip \"$1\" stands over the $2"
  return 0
}


log "start"
e2e_start
probe wait-shell 60 >/dev/null || fail "no owner window after start"
sleep 3
focus_bar
sleep 0.5
xdotool type --delay 60 abc
expect_edit_text abc

log "the scope button's tip shows on hover and goes when its popup opens"
xdotool mousemove --sync "$scope_x" "$scope_y"
wait_until 5 tip_shown 搜索范围 || fail "no tip over the scope button"
click_at "$scope_x" "$scope_y"
expect_no_tip 搜索范围 "scope popup"
# A move over the button while the popup is open brings no tip back.
xdotool mousemove --sync $((scope_x + 2)) $((scope_y + 1))
expect_no_tip 搜索范围 "scope popup"

log "a click back into the edit closes the popup and reaches the edit"
click_at "$edit_x" "$edit_y"
sleep 0.5
xdotool type --delay 60 x
expect_edit_text abcx

log "the popup once more, closed from inside it, then the edit again"
click_at "$scope_x" "$scope_y"
sleep 1
# Its web row (the popup stands under the button): the popup answers and closes.
click_at $((left + 673)) 122
sleep 1
click_at "$edit_x" "$edit_y"
sleep 0.5
xdotool type --delay 60 y
expect_edit_text abcxy

log "the settings button's tip goes when its menu opens"
xdotool mousemove --sync "$settings_x" "$settings_y"
wait_until 5 tip_shown 菜单 || fail "no tip over the settings button"
click_at "$settings_x" "$settings_y"
probe popup-menu 5 >/dev/null || fail "the settings menu did not open"
expect_no_tip 菜单 "settings menu"
xdotool key Escape
sleep 0.5
