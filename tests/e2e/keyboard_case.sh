# Typing with pauses on a desktop with a window manager: the web-search
# panel that opens with the first search never takes the keyboard from the
# edit, so a key after a pause still lands there, and Down and Esc after a
# pause still move into the list and clear the query.
# shellcheck shell=bash

edit_x=$((BAR_LEFT + 200)) edit_y=40

result_rect() { window_rect LumsekSearchResult; }
result_shown() { [ -n "$(result_rect)" ]; }
web_panel_shown() { [ -n "$(window_rect "" 网络资源)" ]; }


expect_focus() { # class what
  local got
  got="$(probe focus)"
  [ "${got%%|*}" = "$1" ] || fail "$2: the keyboard is at '$got' (foreground $(probe foreground)), not at $1"
}

log "start and wait for the first scan of F:"
e2e_start_scanned

log "q, a pause of 2 s (the first search opens the panels), then u"
focus_bar
xdotool type q
sleep 2
wait_until 10 web_panel_shown || fail "the web panel did not open with the first search"
expect_focus Edit "after the pause"
xdotool type u
expect_edit_text qu

log "more after another pause, then Down after a pause moves into the list"
sleep 2
xdotool type --delay 60 arterly
expect_edit_text quarterly
wait_until 10 result_shown || fail "no result list"
sleep 2
expect_focus Edit "after the search"
xdotool key Down
sleep 1
expect_focus LumsekResultList "after Down"
xdotool key ctrl+c
sleep 0.5
got="$(probe clipboard-files)"
case "$got" in
  'F:\quarterly_report.txt' | 'F:\项目资料\quarterly_notes.txt') ;;
  *) fail "Ctrl+C on the first row after Down copied '$got'" ;;
esac

log "back in the edit, Esc after a pause clears the query and the panels"
click_at "$edit_x" "$edit_y"
sleep 2
expect_focus Edit "after the click"
xdotool key Escape
expect_edit_text ""
wait_until 5 eval '! result_shown' || fail "the result list stayed after Esc"
xdotool type --delay 60 holiday
expect_edit_text holiday
e2e_stop
