# A user's search: type a name into the bar, move into the result list (Down
# or Tab), select every row and copy the files with the list's own keys; the
# clipboard then holds exactly the matching files of the mapped drive.
# shellcheck shell=bash

left=$BAR_LEFT

# <key> (Down or Tab) moves from the edit into the result list; Ctrl+A and
# Ctrl+C there select every row and copy the files. Tried again while the
# search may still run (under load it takes longer), until the clipboard
# holds <expected> (one path a line, sorted); then fails with what it holds.
copy_rows_until() { # key expected
  local i got="" key="$1"
  shift
  for ((i = 0; i < 20; i++)); do
    sleep 1
    xdotool key "$key"
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

log "type the query into the bar"
focus_bar
xdotool type --delay 60 quarterly

log "Down into the list, select all, copy"
copy_rows_until Down "$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)"

log "a Chinese query finds the Chinese name"
click_at $((left + 200)) 40
xdotool key ctrl+a BackSpace
sleep 0.5
xdotool type --delay 100 '季度报告'
log "Tab into the list, select all, copy"
copy_rows_until Tab 'F:\项目资料\季度报告.docx'
