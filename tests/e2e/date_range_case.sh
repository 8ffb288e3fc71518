# The bar's date-range button (更多) with no range chosen restricts nothing:
# a query finds the same files with it as without it.
# shellcheck shell=bash

expected="$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)"

# Back into the edit, Down into the result list, Ctrl+A and Ctrl+C there;
# tried again while the search may still run, until the clipboard holds the
# expected files.
copy_rows_until() { # expected
  local i got=""
  for ((i = 0; i < 10; i++)); do
    sleep 1
    click_at $((BAR_LEFT + 200)) 40
    sleep 0.3
    xdotool key Down
    sleep 0.3
    xdotool key ctrl+a
    sleep 0.3
    xdotool key ctrl+c
    sleep 0.5
    got="$(probe clipboard-files | sort)"
    [ "$got" = "$1" ] && { log "clipboard: $(echo $got)"; return 0; }
  done
  fail "clipboard files:
$got
expected:
$1"
}

log "start and wait for the first scan of F:"
e2e_start_scanned

log "a query without a date filter"
focus_bar
xdotool type --delay 60 quarterly
copy_rows_until "$expected"

log "the date-range button, no range chosen: the same files"
probe clipboard-clear >/dev/null || fail "could not empty the clipboard"
click_at $((BAR_LEFT + 655)) 14
sleep 1
copy_rows_until "$expected"

e2e_stop
