# The settings dialog opened from the tray menu, by a real right click on
# the tray icon, while a query shows and the bar is hidden in its strip:
# the X focus is then on the tray, a window of another program. The dialog
# holds the keyboard at once (Esc and Enter act on it with no click); while
# it is open the bar stays hidden whatever calls it (hovering its strip,
# Ctrl+Q, the tray icon), the dialog keeps the keyboard and stays above
# every window of the program in X, and a click on it reaches it; once it
# ends the bar comes back from its strip.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/stacking.sh"

for i in $(seq -w 1 40); do printf 'x' >"$E2E_FILES/f1_row_$i.txt"; done

strip_shown() { probe windows | grep -q '^LumsekWindow.*|244 0 1036 6$'; }
result_rect() { window_rect LumsekSearchResult; }
# The 314 x 200 settings dialog.
dialog_rect() { probe windows | awk -F'|' '$1 ~ /^LumsekWindow/ { split($3, r, " ") } $1 ~ /^LumsekWindow/ && r[3] - r[1] == 314 && r[4] - r[2] == 200 && !n++ { print $3 }'; }
dialog_shown() { [ -n "$(dialog_rect)" ]; }
# The stored start-up answer: 0 or 1, empty while none is stored.
autorun_value() {
  "$E2E_WINE" reg query 'HKLM\Software\Lumsek' /v autorun 2>/dev/null | tr -d '\r' \
    | awk '$1 == "autorun" { print ($3 == "0x1") ? 1 : 0 }'
}

# The process that owns the X window with the X focus, as the window
# manager and X see it, against the program's.
x_focus_pid() { xprop -id "$(xdotool getwindowfocus)" _NET_WM_PID 2>/dev/null | awk '{ print $3 }'; }
program_pid() { xprop -id "$(x_window LumsekMainShell)" _NET_WM_PID 2>/dev/null | awk '{ print $3 }'; }

# A right click on the program's icon in Wine's tray window, then 设置(&S),
# the first of its two items of equal height.
open_settings_from_tray() {
  local tray_x tray_y ml mt mr mb
  read -r tray_x tray_y < <(probe tray-client) || fail "no tray window"
  click_at $((tray_x + 8)) $((tray_y + 8)) 3
  read -r ml mt mr mb < <(probe popup-menu 10) || fail "the tray menu did not open"
  click_at $(((ml + mr) / 2)) $((mt + (mb - mt) / 4))
  wait_until 10 dialog_shown || fail "the settings dialog did not open: $(probe windows)"
  sleep 1.5
}

# The dialog holds the keyboard with nothing clicked: the X focus is in the
# program (no longer on the tray) and Wine's focus in the dialog.
expect_keyboard_in_dialog() { # what
  local got
  [ "$(x_focus_pid)" = "$(program_pid)" ] \
    || fail "$1: the X focus is on $(xdotool getwindowfocus) (process $(x_focus_pid)), not in the program ($(program_pid))"
  got="$(probe focus)"
  [ "${got%%|*}" = BkDialogView ] || fail "$1: the keyboard is at '$got', not in the dialog"
}

log "start, a query of many rows, then the bar into its strip"
e2e_start_scanned
focus_bar
xdotool type --delay 60 f1
wait_until 30 eval '[ -n "$(result_rect)" ]' || fail "no result list for f1: $(probe windows)"
sleep 2
xdotool mousemove --sync 100 500
wait_until 10 strip_shown || fail "the bar did not hide into its strip: $(probe windows)"
bar_shown && fail "the bar stayed beside its strip"

log "设置 from the tray: Esc closes the dialog with no click"
open_settings_from_tray
expect_keyboard_in_dialog "the settings dialog"
xdotool key Escape
wait_until 10 eval '! dialog_shown' || fail "Esc did not close the settings dialog"
[ -z "$(autorun_value)" ] || fail "Esc stored an answer: $(autorun_value)"

log "设置 again: Enter answers it with no click"
open_settings_from_tray
expect_keyboard_in_dialog "the settings dialog opened again"
xdotool key Return
wait_until 10 eval '! dialog_shown' || fail "Enter did not answer the settings dialog"
wait_until 10 eval '[ "$(autorun_value)" = 0 ]' || fail "Enter stored '$(autorun_value)', not the unchecked answer"

log "设置 once more: the bar called back stays hidden under the dialog"
open_settings_from_tray
settings="$(dialog_rect)"
expect_keyboard_in_dialog "the settings dialog, third time"
xdotool mousemove --sync $((BAR_LEFT + 400)) 1
sleep 2
bar_shown && fail "hovering the strip brought the bar over the dialog: $(probe windows)"
[ -z "$(result_rect)" ] || fail "hovering the strip brought the result list back: $(probe windows)"
xdotool key ctrl+q
sleep 2
bar_shown && fail "Ctrl+Q brought the bar over the dialog: $(probe windows)"
[ "$(dialog_rect)" = "$settings" ] || fail "the dialog moved or went: $(probe windows)"
expect_keyboard_in_dialog "the settings dialog after Ctrl+Q"
# A click on the tray icon hands the X focus to the tray first; the dialog
# takes the keyboard back.
read -r tray_x tray_y < <(probe tray-client) || fail "no tray window"
click_at $((tray_x + 8)) $((tray_y + 8))
sleep 2
bar_shown && fail "a click on the tray icon brought the bar over the dialog: $(probe windows)"
[ "$(dialog_rect)" = "$settings" ] || fail "the dialog moved or went: $(probe windows)"
expect_keyboard_in_dialog "the settings dialog after a click on the tray icon"
expect_dialog_on_top "$settings" "the settings dialog after the bar was called"

log "a click on the dialog's check box reaches it, and Enter stores the checked answer"
read -r dl dt _ _ <<<"$settings"
# The check box 不再显示此对话框 lies across the dialog's middle, 138 px down.
click_at $((dl + 80)) $((dt + 138))
sleep 0.5
dialog_shown || fail "the click closed the dialog"
xdotool key Return
wait_until 10 eval '! dialog_shown' || fail "Enter after the click did not answer the dialog"
wait_until 10 eval '[ "$(autorun_value)" = 1 ]' \
  || fail "the answer stored is '$(autorun_value)': the click did not reach the check box"

log "the dialog ended, the bar comes back from its strip with its list"
xdotool mousemove --sync 640 600
sleep 0.5
xdotool mousemove --sync $((BAR_LEFT + 400)) 1
wait_until 10 bar_shown || fail "the bar did not come back from its strip after the dialog: $(probe windows)"
wait_until 10 eval '[ -n "$(result_rect)" ]' || fail "the result list did not come back with the bar"
e2e_stop
