# The web-search panel as a user meets it: a typed query opens it under the
# result panel, with the web view laid inside it; dragging its top strip
# down shortens it and the result panel grows to meet it; dragging it back up
# takes the pointer out of the panel without ending the drag. Here Wine has
# no HTML engine: the web view says so in one line of text, in the first
# layout and with the web alone in the scope, never a blank or black area.
# shellcheck shell=bash

# "<ink> <black>": how many pixels of the screen rectangle l t r b are
# neither white nor black, and how many are black.
screen_ink() { # l t r b
  screen_txt "$1" "$2" $(($3 - $1)) $(($4 - $2)) |
    awk 'NR > 1 { if ($3 == "#000000") b++; else if ($3 != "#FFFFFF") i++ } END { print i + 0, b + 0 }'
}

# The web view of the panel at l t r b shows its line and nothing black.
check_web_view_line() { # l t r b
  local ink black
  read -r ink black <<<"$(screen_ink $(($1 + 18)) $(($2 + 22)) $(($3 - 18)) $(($4 - 16)))"
  log "web view: $ink pixels of ink, $black black"
  [ "$ink" -gt 50 ] || fail "the web view is blank: no line saying pages cannot be shown"
  [ "$black" = 0 ] || fail "the web view shows $black black pixels"
}


log "start, then type a query into the bar"
e2e_start_scanned
focus_bar
xdotool type --delay 60 quarterly

log "the web panel opens with the web view inside it"
for ((i = 0; i < 40; i++)); do
  rect="$(window_rect "" 网络资源)"
  [ -n "$rect" ] && break
  sleep 0.5
done
[ -n "$rect" ] || fail "the web panel did not open"
read -r l t r b <<<"$rect"
log "web panel at $l $t $r $b"
inner="$((l + 18)) $((t + 22)) $((r - 18)) $((b - 16))"
probe windows | awk -F'|' '{ print $3 }' | grep -qx "$inner" || fail "no web view at $inner"
sleep 1
check_web_view_line $l $t $r $b

log "drag the top strip 60 px down"
xdotool mousemove --sync $(((l + r) / 2)) $((t + 10))
sleep 0.3
xdotool mousedown 1
# The first move after the press only anchors the drag.
for step in 1 11 21 31 41 51 61; do
  xdotool mousemove --sync $(((l + r) / 2)) $((t + 10 + step))
  sleep 0.1
done
xdotool mouseup 1
sleep 1
read -r l2 t2 r2 b2 <<<"$(window_rect "" 网络资源)"
[ "$t2" = $((t + 60)) ] && [ "$b2" = "$b" ] || fail "web panel at $l2 $t2 $r2 $b2 after the drag, wanted top $((t + 60))"
probe windows | awk -F'|' '{ print $3 }' | grep -qx "$((l + 18)) $((t2 + 22)) $((r - 18)) $((b - 16))" ||
  fail "the web view did not follow the panel"
probe windows | awk -F'|' '{ print $3 }' | awk -v top="$t2" '$4 == top' | grep -q . ||
  fail "no window (the result panel) ends where the web panel now starts"

log "drag it 30 px back up: the pointer leaves the panel, the drag goes on"
xdotool mousemove --sync $(((l + r) / 2)) $((t2 + 10))
sleep 0.3
xdotool mousedown 1
for y in $((t2 + 9)) $((t2 - 1)) $((t2 - 11)) $((t2 - 21)); do
  xdotool mousemove --sync $(((l + r) / 2)) "$y"
  sleep 0.1
done
xdotool mouseup 1
sleep 1
read -r l3 t3 r3 b3 <<<"$(window_rect "" 网络资源)"
[ "$t3" = $((t2 - 30)) ] || fail "web panel at $l3 $t3 $r3 $b3 after the upward drag, wanted top $((t2 - 30))"

log "the web alone in the scope: the panel takes the place of the results and still says why it is empty"
# The scope popup hangs from the bar's point (663, 55); its first two rows
# (existing and deleted files) are cleared one after the other.
for row_y in $((55 + 19)) $((55 + 43)); do
  click_at $((BAR_LEFT + 733)) 40
  sleep 1
  click_at $((BAR_LEFT + 663 + 60)) "$row_y"
  sleep 1
done
no_results() { ! probe windows | awk -F'|' '$1 == "LumsekSearchResult"' | grep -q .; }
wait_until 5 no_results || fail "the result list is still shown with only the web in the scope"
sleep 1
read -r l4 t4 r4 b4 <<<"$(window_rect "" 网络资源)"
[ -n "$l4" ] || fail "the web panel is gone with only the web in the scope"
[ "$t4" -lt "$t3" ] || fail "the web panel did not take the results' place: top $t4"
check_web_view_line $l4 $t4 $r4 $b4
e2e_stop
