# Moving the bar by dragging its lower strip, as a user does with a query
# showing many rows: the first drag after typing moves it; while it is
# dragged over its own panels the outline stands above them in X; the panels
# hang under the bar wherever it goes (the result list inside its panel,
# nothing over the bar), down to the screen's bottom and back, the empty
# panel of a query without rows too; the settings dialog leaves them as they
# were; the keys typed after a drag reach the edit; and a moved panel paints
# its status line.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/stacking.sh"

# "l t r b" of the visible window whose class is <class> and, when given,
# whose text is <title>.
rect_of() { # class [title]
  probe windows | awk -F'|' -v c="$1" -v t="${2-}" '(c == "" || $1 == c) && (t == "" || $2 == t) && !n++ { print $3 }'
}
bar_rect() { rect_of "$bar_class"; }

# A click at the edit's place in the bar, wherever the bar stands, reaches
# the edit holding <text>.
expect_edit_holds() { # text
  local got="" bl bt br bb
  for _ in 1 2 3 4 5 6; do
    read -r bl bt br bb <<<"$(bar_rect)"
    got="$(probe window-at $((bl + 200)) $((bt + 40)))"
    [ "$got" = "Edit|$1" ] && return 0
    sleep 0.5
  done
  fail "at the edit's place in the bar ($bl $bt $br $bb): '$got', expected the edit with '$1'"
}

log "start, then type a query with many rows"
e2e_start_scanned
focus_bar
xdotool type --delay 60 dll
list_shown() { [ -n "$(rect_of LumsekSearchResult)" ]; }
wait_until 20 list_shown || fail "the result list did not show"
sleep 2
# The bar is the window 800 x 73 at the top; the result panel hangs under it.
bar_class="$(probe windows | awk -F'|' '{ split($3, r, " ") } r[3] - r[1] == 800 && r[4] - r[2] == 73 && !n++ { print $1 }')"
panel_class="$(probe windows | awk -F'|' '{ split($3, r, " ") } $2 == "" && r[2] == 65 && r[3] - r[1] == 800 && !n++ { print $1 }')"
[ -n "$bar_class" ] && [ -n "$panel_class" ] || fail "no bar or result panel: $(probe windows)"
log "bar $(bar_rect), result panel $(rect_of "$panel_class"), list $(rect_of LumsekSearchResult)"
read -r _ first_pt _ first_pb <<<"$(rect_of "$panel_class")"

# Fails unless the panels hang under the bar at <bar top>: the result panel
# 8 px over the bar's bottom edge with the result list inside it, the web
# panel (when shown) right under it, and a click at the edit's place reaches
# the edit. <when> names the check.
expect_panels_under_bar() { # when bar-top
  local bl bt br bb pl pt pr pb ll lt lr lb wl wt wr wb got
  read -r bl bt br bb <<<"$(bar_rect)"
  [ "$bt" = "$2" ] || fail "$1: the bar's top is $bt, expected $2"
  read -r pl pt pr pb <<<"$(rect_of "$panel_class")"
  read -r ll lt lr lb <<<"$(rect_of LumsekSearchResult)"
  log "$1: bar $bl $bt $br $bb, result panel $pl $pt $pr $pb, list $ll $lt $lr $lb, web $(rect_of "" 网络资源)"
  [ -n "$pt" ] && [ -n "$lt" ] || fail "$1: the result panel or its list is not shown"
  [ "$pt" = $((bb - 8)) ] && [ "$pl" = "$bl" ] && [ "$pr" = "$br" ] ||
    fail "$1: the result panel ($pl $pt $pr $pb) does not hang under the bar ($bl $bt $br $bb)"
  [ $((pb - pt)) -ge 77 ] || fail "$1: the result panel is squeezed to $((pb - pt)) px"
  [ "$ll $lt $lr $lb" = "$((pl + 18)) $((pt + 22)) $((pr - 18)) $((pb - 31))" ] ||
    fail "$1: the result list ($ll $lt $lr $lb) is not inside its panel ($pl $pt $pr $pb)"
  read -r wl wt wr wb <<<"$(rect_of "" 网络资源)"
  if [ -n "$wt" ]; then
    [ "$wt" = "$pb" ] && [ "$wl" = "$bl" ] || fail "$1: the web panel ($wl $wt $wr $wb) is not under the result panel"
  fi
  got="$(probe window-at $((bl + 200)) $((bt + 40)))"
  case "$got" in Edit*) ;; *) fail "$1: a click at the edit's place reaches $got" ;; esac
}

# The drag outline: the visible window of the bar's size that is not the bar.
outline_window() {
  wine_x_windows | awk -F'|' -v b="$bar_class" '{ split($5, r, " ") } $3 != b && r[3] - r[1] == 800 && r[4] - r[2] == 73 && !n++ { print $1 "|" $2 }'
}

# Fails unless the outline is shown and X stacks it over every other window
# of the program that is on the screen.
expect_outline_on_top() { # when
  local outline xid w
  outline="$(outline_window)"
  [ -n "$outline" ] || fail "$1: no drag outline while the bar is dragged"
  xid="${outline#*|}"
  for w in $(wine_x_windows | awk -F'|' '$3 ~ /^(Lumsek|Edit)/ && $3 != "LumsekMainShell" && $2 != "0x0" { print $2 }'); do
    [ "$w" = "$xid" ] && continue
    xwininfo -id "$w" 2>/dev/null | grep -q IsViewable || continue
    x_stacked_above "$xid" "$w" || fail "$1: the drag outline ($xid) lies under the program's window $w:
$(wine_x_windows)
$(probe x-windows-top)
$(xwininfo -root -children | grep -E '^ +0x' | grep -v '1x1+' )"
  done
}

log "the first drag after typing moves the bar"
press_and_drag 0 200
[ -n "$(outline_window)" ] || fail "no drag outline on the first drag after typing"
xdotool mouseup 1
sleep 1
expect_panels_under_bar "after the first drag" 200

log "keys typed after the drag reach the edit"
xdotool type --delay 60 x
expect_edit_holds dllx
xdotool key BackSpace
expect_edit_holds dll
sleep 3
expect_panels_under_bar "after the search that followed the drag" 200

log "drag to the screen's bottom: the outline stays over the panels"
press_and_drag 200 900
expect_outline_on_top "dragged over the panels"
xdotool mouseup 1
sleep 1
# The bar stops with its bottom at the screen's bottom (1024).
expect_panels_under_bar "at the screen's bottom" $((1024 - 73))

log "typing at the bottom: the edit gets the keys, the web panel comes back under the panel"
xdotool type --delay 60 x
expect_edit_holds dllx
xdotool key BackSpace
expect_edit_holds dll
sleep 3
expect_panels_under_bar "after a search at the screen's bottom" $((1024 - 73))

log "drag back to the top"
press_and_drag $((1024 - 73)) -1000
expect_outline_on_top "dragged back up"
xdotool mouseup 1
sleep 1
expect_panels_under_bar "back at the top" 0
xdotool type --delay 60 x
expect_edit_holds dllx

# Drags the bar from the top to the screen's bottom and back, checking the
# panels at both ends; <what> names the checks.
drag_to_bottom_and_back() { # what
  press_and_drag 0 1000
  xdotool mouseup 1
  sleep 1
  expect_panels_under_bar "$1 at the screen's bottom" $((1024 - 73))
  press_and_drag $((1024 - 73)) -1000
  xdotool mouseup 1
  sleep 1
  expect_panels_under_bar "$1 back at the top" 0
}

log "a query without rows: the empty panel hangs under the bar at the screen's bottom too"
# The result panel is <height> px high.
panel_height() { # height
  local pt pb
  read -r _ pt _ pb <<<"$(rect_of "$panel_class")"
  [ -n "$pt" ] && [ "$((pb - pt))" = "$1" ]
}
wait_until 10 panel_height 77 || fail "the panel for a query without rows is $(rect_of "$panel_class"), not 77 px high"
drag_to_bottom_and_back "the empty panel"

log "the settings dialog leaves the panels as they were; they still follow the bar down and back"
xdotool key BackSpace
expect_edit_holds dll
wait_until 10 panel_height $((first_pb - first_pt)) ||
  fail "the panel for dll did not get its first height back: $(rect_of "$panel_class")"
sleep 1
panels() { echo "result panel $(rect_of "$panel_class"), list $(rect_of LumsekSearchResult), web $(rect_of "" 网络资源)"; }
before="$(panels)"
probe post-shell 0x111 40016 0 >/dev/null || fail "could not ask for the settings"
settings_shown() { [ -n "$(probe windows | awk -F'|' '{ split($3, r, " ") } r[3] - r[1] == 314 && r[4] - r[2] == 200 && !n++')" ]; }
wait_until 10 settings_shown || fail "the settings dialog did not open"
sleep 1
xdotool key Escape
wait_until 10 eval '! settings_shown' || fail "Esc did not close the settings dialog"
sleep 1
[ "$(panels)" = "$before" ] || fail "the panels changed with the settings dialog: $before, now $(panels)"
drag_to_bottom_and_back "after the settings dialog,"
[ "$(panels)" = "$before" ] || fail "the panels did not come back as they were: $before, now $(panels)"

log "a query with a few rows, the bar dragged to y 700: the panel's status line shows"
xdotool key ctrl+a
xdotool type --delay 60 quarterly
sleep 4
press_and_drag 0 700
xdotool mouseup 1
sleep 2
expect_panels_under_bar "at y 700" 700
read -r pl pt pr pb <<<"$(rect_of "$panel_class")"
[ "$pb" -le 1024 ] || fail "the panel ($pl $pt $pr $pb) runs past the screen: its status line cannot be seen"
# The status text is dark ink on the footer's light face.
ink="$(screen_txt $((pl + 18)) $((pb - 31)) 300 23 |
  awk 'NR > 1 { v = $2; gsub(/[()]/, "", v); split(v, c, ","); if (c[1] + c[2] + c[3] < 384) n++ } END { print n + 0 }')"
log "status line: $ink dark pixels"
[ "$ink" -gt 30 ] || fail "the moved panel's status line is blank ($ink dark pixels)"

log "a query with many rows while the bar stands at y 700: the grown panel still hangs under the bar"
xdotool key ctrl+a
xdotool type --delay 60 dll
sleep 4
expect_panels_under_bar "after a search with many rows at y 700" 700
e2e_stop
