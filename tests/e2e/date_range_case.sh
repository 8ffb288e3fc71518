# The bar's date-range button (更多) with no range chosen restricts nothing:
# a query finds the same files with it as without it.
# shellcheck shell=bash

expected="$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)"

# Back into the edit, then Down into the result list.
edit_then_down() {
  click_at $((BAR_LEFT + 200)) 40
  sleep 0.3
  xdotool key Down
}

log "start and wait for the first scan of F:"
e2e_start_scanned

log "a query without a date filter"
focus_bar
xdotool type --delay 60 quarterly
copy_rows_until 30 "$expected" edit_then_down

log "the date-range button, no range chosen: the same files"
probe clipboard-clear >/dev/null || fail "could not empty the clipboard"
click_at $((BAR_LEFT + 655)) 14
sleep 1
copy_rows_until 30 "$expected" edit_then_down

e2e_stop
