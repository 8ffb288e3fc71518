# A user's search: type a name into the bar, move into the result list (Down
# or Tab), select every row and copy the files with the list's own keys; the
# clipboard then holds exactly the matching files of the mapped drive.
# shellcheck shell=bash

left=$BAR_LEFT

log "start and wait for the first scan of F:"
e2e_start_scanned

log "type the query into the bar"
focus_bar
xdotool type --delay 60 quarterly

log "Down into the list, select all, copy"
copy_rows_until 60 "$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)" xdotool key Down

log "a Chinese query finds the Chinese name"
type_query '季度报告' $((left + 200)) 40 || fail "the edit did not take 季度报告"
log "Tab into the list, select all, copy"
copy_rows_until 60 'F:\项目资料\季度报告.docx' xdotool key Tab
