# Sorting by a column under the real program: a click on the path column's
# header orders the rows by their folders, a second click reverses them, and
# the name column orders them by name.
# shellcheck shell=bash

result_rect() { window_rect LumsekSearchResult; }
result_shown() { [ -n "$(result_rect)" ]; }

# Files whose order by name and by folder differ.
mkdir -p "$E2E_FILES/zeta" "$E2E_FILES/alpha" "$E2E_FILES/beta/gamma"
printf 1 >"$E2E_FILES/zeta/sortme_a.txt"
printf 2 >"$E2E_FILES/beta/gamma/sortme_b.txt"
printf 3 >"$E2E_FILES/sortme_c.txt"
printf 4 >"$E2E_FILES/alpha/sortme_d.txt"

log "start and wait for the first scan of F:"
e2e_start_scanned

log "search"
focus_bar
xdotool type --delay 60 sortme
wait_until 10 result_shown || fail "no result list after typing"
read -r rl rt rr rb < <(result_rect)
log "result list at $rl $rt $rr $rb"

# Clicks a column's header (25 px high; name 206 px wide, then path 256 px).
click_header() { # x-offset
  click_at $((rl + $1)) $((rt + 12))
  sleep 1
}

# The files of the first and the last row, as Ctrl+C copies them: a click
# selects the first row, End the last.
first_and_last() {
  local first last
  click_at $((rl + 500)) $((rt + 30))
  sleep 0.3
  xdotool key ctrl+c
  sleep 0.5
  first="$(probe clipboard-files)"
  xdotool key End
  sleep 0.3
  xdotool key ctrl+c
  sleep 0.5
  last="$(probe clipboard-files)"
  echo "$first|$last"
}

expect_order() { # what first last
  local got i
  for ((i = 0; i < 5; i++)); do
    got="$(first_and_last)"
    [ "$got" = "$2|$3" ] && { log "$1: $got"; return 0; }
    sleep 1
  done
  fail "$1: first|last rows are $got, expected $2|$3"
}

log "a click on the path header orders the rows by folder"
click_header 350
expect_order "by path" 'F:\sortme_c.txt' 'F:\zeta\sortme_a.txt'

log "a second click reverses the order"
click_header 350
expect_order "by path, reversed" 'F:\zeta\sortme_a.txt' 'F:\sortme_c.txt'

log "the name header orders them by name"
click_header 100
expect_order "by name" 'F:\zeta\sortme_a.txt' 'F:\alpha\sortme_d.txt'
