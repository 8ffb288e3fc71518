# The scope popup and the drop shadows on a desktop (a window manager and a
# compositor), as the X server stacks the windows: with the result panel
# open the popup stands over the result list with its shadow directly under
# it, its second row (which lies over the list) takes a click and changes
# the scope, and it opens over the list again after that click; the settings
# dialog's shadow goes when the dialog closes.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/stacking.sh"

left=$BAR_LEFT
scope_x=$((left + 733)) scope_y=40
# The popup hangs from the bar's point (663, 55), 112 x 86; its shadow is
# 4 px larger on every side. Its second row is 31 to 55 px down.
popup_rect="$((left + 663)) 55 $((left + 775)) 141"
shadow_rect="$((left + 659)) 51 $((left + 779)) 145"
row2_x=$((left + 663 + 60)) row2_y=$((55 + 43))
# A point inside the second row's check box, clear of its tick.
box2_x=$((left + 663 + 4 + 8)) box2_y=$((55 + 31 + 7))

open_popup() {
  click_at "$scope_x" "$scope_y"
  wait_until 5 wine_window_with_rect "$popup_rect" || fail "the scope popup did not open"
  sleep 0.5
}

popup_closed() { [ -z "$(wine_window_with_rect "$popup_rect")" ] && [ -z "$(wine_window_with_rect "$shadow_rect")" ]; }

log "start, then type a query: the result panel opens with its list"
e2e_start_scanned
focus_bar
xdotool type --delay 60 quarterly
list_shown() { wine_x_windows | awk -F'|' '$3 == "LumsekSearchResult"' | grep -q .; }
wait_until 20 list_shown || fail "the result list did not show"
sleep 2

log "the bar's soft left edge shows the desktop through it, blended, not dark"
# The desktop beside the bar, and the bar's outermost column (almost fully
# transparent there) on the same line.
desk="$(screen_pixel $((left - 8)) 36)"
edge="$(screen_pixel "$left" 36)"
log "desktop $desk, the bar's edge $edge"
near() { # #RRGGBB #RRGGBB: every channel within 24
  local a=$((16#${1#\#})) b=$((16#${2#\#})) s d
  for s in 16 8 0; do
    d=$((((a >> s) & 255) - ((b >> s) & 255)))
    ((d < 0)) && d=$((-d))
    ((d <= 24)) || return 1
  done
}
near "$edge" "$desk" || fail "the bar's edge shows $edge over a desktop of $desk"

# The popup over the result list in X's stacking, its shadow directly under it.
expect_popup_over_list() { # when
  local popup shadow list popup_rank shadow_rank list_rank
  popup="$(wine_window_with_rect "$popup_rect")"
  shadow="$(wine_window_with_rect "$shadow_rect" BkShadowWndClass)"
  list="$(wine_x_windows | awk -F'|' '$3 == "LumsekSearchResult" && !n++ { print $1 }')"
  [ -n "$shadow" ] || fail "$1: no shadow round the popup"
  popup_rank="$(x_rank "$popup")" || fail "$1: the popup has no X window"
  shadow_rank="$(x_rank "$shadow")" || fail "$1: the popup's shadow has no X window"
  list_rank="$(x_rank "$list")" || fail "$1: the result list has no X window"
  log "$1: X stacking from the top: popup $popup_rank, its shadow $shadow_rank, result list $list_rank"
  [ "$popup_rank" -lt "$list_rank" ] || fail "$1: the popup stands under the result list"
  [ "$shadow_rank" -eq $((popup_rank + 1)) ] || fail "$1: the popup's shadow is not directly under the popup"
}

log "the popup opens over the result list, its shadow directly under it"
open_popup
expect_popup_over_list "first opening"
case "$(probe window-at "$row2_x" "$row2_y")" in
  LumsekWindow*) ;;
  *) fail "a click on the popup's second row would reach $(probe window-at "$row2_x" "$row2_y")" ;;
esac
[ "$(screen_pixel "$box2_x" "$box2_y")" = "#3399FF" ] ||
  fail "the second row's check box is not drawn checked: $(screen_pixel "$box2_x" "$box2_y")"

log "a click on the second row clears it and closes the popup"
click_at "$row2_x" "$row2_y"
wait_until 5 popup_closed || fail "the popup or its shadow is still shown after the click"
sleep 1
open_popup
[ "$(screen_pixel "$box2_x" "$box2_y")" != "#3399FF" ] || fail "the second row is still checked after the click"
# The click chose without taking the activation from the bar, so the popup
# stays a window the window manager leaves alone, above the list again.
expect_popup_over_list "opened again after a click on a row"

log "a click into the edit closes the popup and its shadow"
click_at $((left + 200)) 40
wait_until 5 popup_closed || fail "the popup stayed open after a click into the edit"

log "the settings dialog's shadow goes when the dialog closes"
dialog_rect() { probe windows | awk -F'|' '{ split($3, r, " ") } r[3] - r[1] == 314 && r[4] - r[2] == 200 && !n++ { print $3 }'; }
probe post-shell 0x111 40016 0 >/dev/null || fail "could not ask for the settings"
wait_until 10 dialog_rect || fail "the settings dialog did not open"
sleep 1
read -r dl dt dr db <<<"$(dialog_rect)"
dialog_shadow="$(wine_window_with_rect "$((dl - 4)) $((dt - 4)) $((dr + 4)) $((db + 4))" BkShadowWndClass)"
dialog_shadow_xid="$(wine_x_windows | awk -F'|' -v h="$dialog_shadow" '$1 == h { print $2 }')"
click_at $((dr - 30 + 8)) $((dt + 12))
no_dialog() { [ -z "$(dialog_rect)" ]; }
wait_until 5 no_dialog || fail "the settings dialog did not close"
sleep 0.5
[ -z "$(wine_window_with_rect "$((dl - 4)) $((dt - 4)) $((dr + 4)) $((db + 4))" BkShadowWndClass)" ] ||
  fail "the settings dialog's shadow is still shown"
if [ -n "$dialog_shadow_xid" ] && [ "$dialog_shadow_xid" != 0x0 ]; then
  xwininfo -id "$dialog_shadow_xid" 2>/dev/null | grep -q 'IsViewable' &&
    fail "the settings dialog's shadow is still mapped in the X server"
fi
e2e_stop
