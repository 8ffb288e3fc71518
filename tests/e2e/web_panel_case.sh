# The web-search panel as a user meets it: a typed query opens it under the
# result panel, with the web view laid inside it; dragging its top strip
# down shortens it and the result panel grows to meet it; dragging it back up
# takes the pointer out of the panel without ending the drag.
# shellcheck shell=bash


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
e2e_stop
