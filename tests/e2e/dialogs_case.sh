# The program's dialogs over the bar and its panels on a desktop (a window
# manager and a compositor), as the X server stacks the windows: with a
# query of many rows showing, the close-to-tray tip and the settings dialog
# come up above the bar, its edit, the result panel and the result list,
# stay there after a click on a row of the list beside them, hold the
# keyboard (Esc closes them), and their faces show their own flat skin to
# their edges, not their shadow; the bar works again once the settings
# dialog is closed, and the tip's button closes the bar to the tray.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/stacking.sh"

# Enough rows for the list to reach far under the tip.
for i in $(seq -w 1 40); do printf 'x' >"$E2E_FILES/f1_row_$i.txt"; done

result_rect() { window_rect LumsekSearchResult; }
list_reaches_tip() { local b; read -r _ _ _ b <<<"$(result_rect)"; [ -n "$b" ] && [ "$b" -gt 300 ]; }
# The 314 x 200 dialog (the tip and the settings dialog share its layout).
dialog_rect() { probe windows | awk -F'|' '$1 ~ /^LumsekWindow/ { split($3, r, " ") } $1 ~ /^LumsekWindow/ && r[3] - r[1] == 314 && r[4] - r[2] == 200 && !n++ { print $3 }'; }
dialog_shown() { [ -n "$(dialog_rect)" ]; }

type_query() {
  focus_bar
  xdotool type --delay 60 f1
  wait_until 30 list_reaches_tip || fail "no long result list for f1: $(probe windows)"
  sleep 2
}

# The dialog holds the keyboard: it is the foreground window with the focus.
expect_dialog_keyboard() { # rect what
  local got
  got="$(probe foreground)"
  [ "${got#*|}" = "$1" ] || fail "$2: the foreground window is '$got', not the dialog at $1"
  got="$(probe focus)"
  [ "${got%%|*}" = BkDialogView ] || fail "$2: the keyboard is at '$got', not in the dialog"
}

# The dialog's white body shows flat white across its width and down its
# right margin to the footer, and its footer one flat colour along its
# bottom, as the frame buffer holds them: no shadow shades them.
expect_flat_face() { # rect what
  local l t r b row col foot
  read -r l t r b <<<"$1"
  row="$(screen_txt $((l + 1)) $((t + 100)) $((r - l - 2)) 1 | awk 'NR > 1 { print $3 }' | sort | uniq -c | sort -rn | tr '\n' ' ')"
  col="$(screen_txt $((r - 12)) $((t + 33)) 1 $((b - t - 33 - 46)) | awk 'NR > 1 { print $3 }' | sort | uniq -c | sort -rn | tr '\n' ' ')"
  # Its ends, next to the rounded border, blend with the border's line.
  foot="$(screen_txt $((l + 3)) $((b - 3)) $((r - l - 6)) 1 | awk 'NR > 1 { print $3 }' | sort | uniq -c | sort -rn | tr '\n' ' ')"
  log "$2: body row $row; right margin $col; footer row $foot"
  [ "$(echo "$row" | wc -w)" = 2 ] && [[ "$row" == *"#FFFFFF"* ]] || fail "$2: the body's row is not flat white: $row"
  [ "$(echo "$col" | wc -w)" = 2 ] && [[ "$col" == *"#FFFFFF"* ]] || fail "$2: the body's right margin is not flat white: $col"
  [ "$(echo "$foot" | wc -w)" = 2 ] || fail "$2: the footer's bottom row is not one colour: $foot"
}

# A click on a row of the result list beside the dialog (left of it).
click_list_row() {
  local l t
  read -r l t _ _ <<<"$(result_rect)"
  click_at $((l + 120)) $((t + 130))
  sleep 1
}

# The gear, then 关闭至托盘(&X) (the second of two items of equal height).
open_close_tip() {
  local ml mt mr mb
  click_at $((BAR_LEFT + 776)) 11
  read -r ml mt mr mb < <(probe popup-menu 10) || fail "the settings menu did not open"
  click_at $(((ml + mr) / 2)) $((mt + (mb - mt) * 3 / 4))
  wait_until 10 dialog_shown || fail "no tip about closing to the tray: $(probe windows)"
  sleep 1.5
}

log "start, then a query of many rows"
e2e_start_scanned
type_query

log "the close-to-tray tip comes up over the result list and holds the keyboard"
open_close_tip
tip="$(dialog_rect)"
expect_dialog_on_top "$tip" "the tip"
expect_dialog_keyboard "$tip" "the tip"
expect_flat_face "$tip" "the tip"

log "a click on a row of the list beside the tip leaves the tip on top"
click_list_row
expect_dialog_on_top "$tip" "the tip after a click on the list"
expect_dialog_keyboard "$tip" "the tip after a click on the list"

log "Esc closes the tip, and the bar goes to the tray"
xdotool key Escape
wait_until 10 eval '! dialog_shown' || fail "Esc did not close the tip"
wait_until 10 eval '! bar_shown' || fail "the bar stayed after the tip closed"
probe tray-icon >/dev/null || fail "no tray icon after closing to the tray"

log "the bar back from the tray, the query again"
read -r tray_x tray_y < <(probe tray-client) || fail "no tray window"
click_at $((tray_x + 8)) $((tray_y + 8))
wait_until 10 bar_shown || fail "a click on the tray icon did not bring the bar back"
sleep 1
type_query

log "the settings dialog comes up over the bar and its list, its face flat white"
probe post-shell 0x111 40016 0 >/dev/null || fail "could not ask for the settings"
wait_until 10 dialog_shown || fail "the settings dialog did not open"
sleep 1.5
settings="$(dialog_rect)"
expect_dialog_on_top "$settings" "the settings dialog"
expect_dialog_keyboard "$settings" "the settings dialog"
expect_flat_face "$settings" "the settings dialog"
click_list_row
expect_dialog_on_top "$settings" "the settings dialog after a click on the list"
expect_dialog_keyboard "$settings" "the settings dialog after a click on the list"
xdotool key Escape
wait_until 10 eval '! dialog_shown' || fail "Esc did not close the settings dialog"
sleep 1
bar_shown || fail "the bar went with the settings dialog"
[ -n "$(result_rect)" ] || fail "the result list went with the settings dialog"
# The bar is given back whole: a click into its edit reaches the edit.
click_at $((BAR_LEFT + 200)) 40
sleep 0.5
xdotool type --delay 60 x
expect_edit_text f1x

log "the tip once more: its button 我知道了 closes the bar to the tray"
open_close_tip
tip="$(dialog_rect)"
expect_dialog_on_top "$tip" "the tip opened again"
read -r _ _ tr tb <<<"$tip"
click_at $((tr - 67)) $((tb - 30))
wait_until 10 eval '! dialog_shown' || fail "the tip's button did not close it"
wait_until 10 eval '! bar_shown' || fail "the bar stayed after the tip's button"
[ -z "$(result_rect)" ] || fail "the result list stayed after closing to the tray"
probe tray-icon >/dev/null || fail "no tray icon after closing to the tray"
e2e_stop
