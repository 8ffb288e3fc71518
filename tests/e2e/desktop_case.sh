# The bar on the desktop the case runs under (openbox, xfwm4 or metacity,
# each with its compositor), as a user meets it there: the panels that open
# with the first search never take the keyboard from the edit, in Wine or in
# X; the web view shows its line as the web panel first shows; a bar dragged
# to the middle of the screen keeps its panels hanging under it, whatever the
# window manager does with them, and nothing stands over the bar; the bar
# called back from the tray or by Ctrl+Q, or brought back from its strip
# after it hid with the keys in its edit, takes the keys typed next.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/stacking.sh"

wm="${LUMSEK_WM:-openbox}"

rect_of() { # class [title]: "l t r b" of the first such visible window
  probe windows | awk -F'|' -v c="$1" -v t="${2-}" '(c == "" || $1 == c) && (t == "" || $2 == t) && !n++ { print $3 }'
}
bar_class() {
  probe windows | awk -F'|' '$1 ~ /^LumsekWindow/ { split($3, r, " ") } $1 ~ /^LumsekWindow/ && r[3] - r[1] == 800 && r[4] - r[2] == 73 && !n++ { print $1 }'
}
web_panel_shown() { [ -n "$(rect_of "" 网络资源)" ]; }
result_shown() { [ -n "$(rect_of LumsekSearchResult)" ]; }

# The X window of the program's one-pixel window that brings the keys into
# the program when the window manager keeps them elsewhere, if it shows.
key_anchor() {
  probe x-windows | awk -F'|' '$3 == "Static" { split($5, r, " "); if (r[3] - r[1] == 1 && r[4] - r[2] == 1) { print $2; exit } }'
}

# Fails unless the keyboard is with the bar: Wine's focus in the edit, and
# the X focus and the window manager's active window (or none) on the edit,
# the bar or the program's key anchor (never a panel, the list, or another
# program's window). <when> names the check.
expect_keyboard_with_bar() { # when
  local got bar edit anchor xfocus active
  got="$(probe focus)"
  [ "${got%%|*}" = Edit ] || fail "$1: the keyboard is at '$got', not in the edit"
  bar="$(x_window "$(bar_class)")"
  edit="$(x_window Edit)"
  anchor="$(key_anchor)"
  xfocus="$(printf '0x%x' "$(xdotool getwindowfocus)")"
  active="$(xprop -root _NET_ACTIVE_WINDOW | awk '{ print $NF }')"
  log "$1: X focus $xfocus, active window $active (bar $bar, edit $edit, anchor ${anchor:-none})"
  [ "$xfocus" = "$edit" ] || [ "$xfocus" = "$bar" ] || { [ -n "$anchor" ] && [ "$xfocus" = "$anchor" ]; } ||
    fail "$1: X gives the keys to $xfocus, not to the edit ($edit), the bar ($bar) or the anchor (${anchor:-none}):
$(probe x-windows-top)"
  case "$active" in
    "$edit" | "$bar" | "${anchor:-$edit}" | 0x0) ;;
    *) fail "$1: the window manager's active window is $active, not the edit ($edit), the bar ($bar) or the anchor:
$(probe x-windows-top)" ;;
  esac
}

# The web view of the shown web panel has drawn its line (Wine has no HTML
# engine here: one line of text on white) and X shows it over the panel.
expect_web_view_line() { # when
  local l t r b ink
  read -r l t r b <<<"$(rect_of "" 网络资源)"
  [ -n "$b" ] || fail "$1: no web panel"
  ink="$(screen_txt $((l + 18)) $((t + 22)) $((r - l - 36)) $((b - t - 38)) |
    awk 'NR > 1 && $3 != "#FFFFFF" && $3 != "#000000" { i++ } END { print i + 0 }')"
  log "$1: the web view shows $ink pixels of ink"
  [ "$ink" -gt 50 ] || fail "$1: the web view is blank (the panel's face stands over it?)
$(xwininfo -root -children | grep -E '^ +0x' | head -20)"
}

# Fails unless the edit, at its place in the bar wherever the bar stands,
# holds <want>.
expect_typed_into_edit() { # when want
  local bl bt
  read -r bl bt _ _ <<<"$(rect_of "$(bar_class)")"
  log "$1"
  expect_edit_text "$2" "$bl" "$bt"
}

log "start on $wm, then f1, a pause of 2 s (the panels open), then 0"
e2e_start_scanned
focus_bar
xdotool type f1
sleep 2
wait_until 10 web_panel_shown || fail "the web panel did not open with the first search"
wait_until 10 result_shown || fail "the result list did not open with the first search"
sleep 1
expect_keyboard_with_bar "after the first search"
xdotool type 0
expect_edit_text f10
# The result panel hangs under the bar at the top: 800 px wide from y 65.
panel_class="$(probe windows | awk -F'|' '$2 == "" && $1 ~ /^LumsekWindow/ { split($3, r, " "); if (r[2] == 65 && r[3] - r[1] == 800) { print $1; exit } }')"
[ -n "$panel_class" ] || fail "no result panel under the bar: $(probe windows)"
expect_web_view_line "the web panel's first show"
xdotool key Down
sleep 1
got="$(probe focus)"
[ "${got%%|*}" = LumsekResultList ] || fail "Down after the pause left the keyboard at '$got', not in the list"

log "a query with many rows, the bar dragged to the middle of the screen"
click_at $((BAR_LEFT + 200)) 40
sleep 0.5
xdotool key ctrl+a BackSpace
xdotool type --delay 60 dll
sleep 3
press_and_drag 0 600
xdotool mouseup 1
sleep 2
read -r bl bt br bb <<<"$(rect_of "$(bar_class)")"
[ "$bt" = 600 ] || fail "the bar's top is $bt after the drag, not 600: $(probe windows)"
# The panels settle after any move the window manager makes.
sleep 2
read -r pl pt pr pb <<<"$(rect_of "$panel_class")"
read -r ll lt lr lb <<<"$(rect_of LumsekSearchResult)"
log "bar $bl $bt $br $bb, result panel $pl $pt $pr $pb, list $ll $lt $lr $lb, web $(rect_of "" 网络资源)"
[ "$pt" = $((bb - 8)) ] && [ "$pl" = "$bl" ] && [ "$pr" = "$br" ] ||
  fail "the result panel does not hang under the bar: $(probe windows)"
[ -n "$lt" ] && [ "$lt" -ge "$pt" ] && [ "$ll" -ge "$pl" ] && [ "$lr" -le "$pr" ] && [ "$lb" -le "$pb" ] ||
  fail "the result list ($ll $lt $lr $lb) is not inside its panel ($pl $pt $pr $pb)"

log "nothing stands over the bar in X; a click on the edit reaches it"
bar_x="$(x_window "$(bar_class)")"
# Every other visible window of the program that overlaps the bar above the
# strip the panels share with it (their top 8 px).
while IFS='|' read -r _ xid class _ rect; do
  read -r l t r b <<<"$rect"
  [ "$xid" = "$bar_x" ] || [ "$class" = Edit ] || [ "$xid" = 0x0 ] && continue
  ((l < br && r > bl && t < bb - 8 && b > bt)) || continue
  x_stacked_above "$bar_x" "$xid" || fail "the program's window $class ($xid, $rect) covers the bar in X:
$(xwininfo -root -children | grep -E '^ +0x' | head -20)"
done < <(probe x-windows | grep -v -e LumsekMainShell -e __winex11)
click_at $((bl + 200)) $((bt + 40))
sleep 0.5
xdotool key End
xdotool type --delay 60 x
expect_typed_into_edit "after a click on the edit at y 600" dllx
xdotool key BackSpace
press_and_drag 600 -700
xdotool mouseup 1
sleep 2

log "closed to the tray, a click on its icon brings the bar back; the keys go to its edit"
close_to_tray
read -r tray_x tray_y < <(probe tray-client) || fail "no tray window"
click_at $((tray_x + 8)) $((tray_y + 8))
wait_until 10 bar_shown || fail "a click on the tray icon did not bring the bar back"
sleep 2
expect_keyboard_with_bar "the bar back from the tray"
xdotool type --delay 60 abc
expect_edit_text abc
log "a pause of 2 s (the panels open again), then d"
sleep 2
wait_until 10 web_panel_shown || fail "the web panel did not open after the tray"
bar_shown || fail "the bar went back into its strip as the panels opened: $(probe windows)"
expect_keyboard_with_bar "after the search that followed the tray"
xdotool type d
expect_edit_text abcd
expect_web_view_line "the web panel's first show after the tray"

log "the bar moved back to the top, the pointer away: the bar goes into its strip with the keys in its edit; hovering the strip brings it back, and the keys with it"
press_and_drag 0 30
xdotool mouseup 1
sleep 1
press_and_drag 30 -30
xdotool mouseup 1
sleep 1
xdotool mousemove --sync 100 1000
wait_until 10 eval '! bar_shown' || fail "the bar did not go into its strip with the pointer away: $(probe windows)"
xdotool mousemove --sync $((BAR_LEFT + 400)) 1
wait_until 10 bar_shown || fail "hovering the strip did not bring the bar back: $(probe windows)"
sleep 2
expect_keyboard_with_bar "the bar back from its strip"
xdotool type e
expect_edit_text abcde

log "another window takes the keys (the bar goes into its strip), then Ctrl+Q: the keys go to the edit"
read -r _ tt tr tb <<<"$(rect_of __winex11_standalone_tray)"
[ -n "${tb:-}" ] || fail "no tray window: $(probe windows)"
click_at $((tr - 6)) $(((tt + tb) / 2))
xdotool mousemove --sync 100 1000
wait_until 10 eval '! bar_shown' || fail "the bar stayed with the keys in another window: $(probe windows)"
xdotool key ctrl+q
wait_until 10 bar_shown || fail "Ctrl+Q did not bring the bar back: $(probe windows)"
sleep 2
expect_keyboard_with_bar "the bar back by Ctrl+Q"
xdotool type f
expect_edit_text abcdef
e2e_stop
