# The result list's cells are not cut at the columns' default widths: the
# widest size text ("1023.99 KB"), a type of 8 letters and the date and time
# show whole. Read from the screen: a cut text ends in an ellipsis inside its
# cell, so its ink is narrower than the whole text measured in the face.
# shellcheck shell=bash

here_e2e="$(dirname "${BASH_SOURCE[0]}")"
# 1,048,566 bytes show as 1023.99 KB.
truncate -s 1048566 "$E2E_FILES/widecells.manifest"
modified="$(date -r "$E2E_FILES/widecells.manifest" '+%Y-%m-%d %H:%M')"

log "start and wait for the first scan of F:"
e2e_start_scanned

log "search the file"
focus_bar
xdotool type --delay 60 widecells
result_shown() { [ -n "$(window_rect LumsekSearchResult)" ]; }
wait_until 15 result_shown || fail "no result list after typing"
sleep 2
read -r rl rt _ _ < <(window_rect LumsekSearchResult)
log "result list at $rl $rt"

# Default widths of name, path, type, size and time, as the list opens.
widths=(206 256 76 84 124)
column_left() { # column
  local x=$rl i
  for ((i = 0; i < $1; i++)); do x=$((x + widths[i])); done
  echo "$x"
}

# Checks one cell of row 0 (drawn expanded: its texts in the top 34 px under
# the 25 px header): the ink of <text> is as wide as the text and centred in
# the cell. Retried while the list may still paint.
check_cell() { # column text
  local left right measured ink first=0 end=0 i
  left="$(column_left "$1")"
  right=$((left + widths[$1]))
  measured="$(probe font "微软雅黑" -12 "$2" | cut -d'|' -f2)"
  [ -n "$measured" ] || fail "could not measure '$2'"
  for ((i = 0; i < 5; i++)); do
    capture_screen "$E2E_WORK/screen.xwd" || fail "no picture of the screen"
    ink="$(python3 "$here_e2e/screen_ink.py" "$E2E_WORK/screen.xwd" "$left" $((rt + 27)) "$right" $((rt + 57)))"
    if [ "$ink" != none ]; then
      read -r first end <<<"$ink"
      # The ink of a whole text is its advance width less its side bearings
      # (up to 2 px at each end, for a '1'); a cut one loses at least a
      # character (7 px and more) or ends in an ellipsis. It is one centred
      # text: no wider than measured, its middle the cell's.
      if [ $((end - first)) -ge $((measured - 5)) ] && [ $((end - first)) -le $((measured + 2)) ] &&
         [ $(((first + end) - (left + right))) -ge -6 ] && [ $(((first + end) - (left + right))) -le 6 ]; then
        log "'$2': ink $((end - first)) px of $measured px in the $((right - left)) px column"
        return 0
      fi
    fi
    sleep 1
  done
  fail "'$2' is cut: ink '$ink' ($((end - first)) px) of a $measured px text in the column $left..$right"
}

log "the size, type and time cells show their whole texts"
check_cell 3 "1023.99 KB"
check_cell 2 "manifest"
check_cell 4 "$modified"

e2e_stop
