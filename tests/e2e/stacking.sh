# Stacking order as the X server sees it (sourced by the cases that need it).
# Wine's own z-order is not enough on a desktop: the window manager restacks
# the windows it manages and Wine never restacks below a window, so a window
# can be first in Wine's order and still be covered on the screen.
# shellcheck shell=bash

# Every X window under the root, one a line as "<root child> <window>", the
# root's children from the top of the stack down: a managed window sits in
# its frame (the root child), an unmanaged one is a root child itself.
x_tree() {
  xwininfo -root -tree | awk '
    /^ *0x[0-9a-f]+ / {
      match($0, /^ */)
      depth = RLENGTH
      if (top_depth == 0 || depth < top_depth) top_depth = depth
      if (depth == top_depth) top = $1
      print top, $1
    }'
}

# The visible Wine windows with their X windows: "<hwnd>|<xid>|class|text|rect",
# topmost first in Wine's order.
wine_x_windows() { probe x-windows; }

# The root's children that are on the screen (mapped), top of the stack first.
x_viewable_tops() {
  local top
  for top in $(x_tree | awk '$1 != last { print $1; last = $1 }'); do
    xwininfo -id "$top" 2>/dev/null | grep -q 'IsViewable' && echo "$top"
  done
}

# Position from the top of the X stack (0 = topmost), among the windows on
# the screen, of the root child that holds Wine window <hwnd>; fails when
# the window has no X window on the screen.
x_rank() { # hwnd
  local xid top rank
  xid="$(wine_x_windows | awk -F'|' -v h="$1" '$1 == h && !n++ { print $2 }')"
  [ -n "$xid" ] && [ "$xid" != 0x0 ] || return 1
  top="$(x_tree | awk -v x="$xid" '$2 == x && !n++ { print $1 }')"
  [ -n "$top" ] || return 1
  rank="$(x_viewable_tops | awk -v t="$top" '$1 == t && !n++ { print NR - 1 }')"
  [ -n "$rank" ] || return 1
  echo "$rank"
}

# The handle of the first visible Wine window whose rectangle is <rect> and,
# when given, whose class is <class>.
wine_window_with_rect() { # "l t r b" [class]
  wine_x_windows | awk -F'|' -v r="$1" -v c="${2-}" '$5 == r && (c == "" || $3 == c) && !n++ { print $1 }'
}

# The dialog of rectangle <rect> stands above every other visible window of
# the bar (the bar, its edit, the panels, the result list) in X's stacking.
expect_dialog_on_top() { # rect what
  local dialog rank h cls r
  dialog="$(wine_window_with_rect "$1")"
  [ -n "$dialog" ] || fail "$2: no dialog at $1"
  rank="$(x_rank "$dialog")" || fail "$2: the dialog has no X window on the screen"
  while IFS='|' read -r h _ cls _ _; do
    [ "$h" = "$dialog" ] && continue
    case "$cls" in LumsekWindow* | LumsekSearchResult | Edit) ;; *) continue ;; esac
    r="$(x_rank "$h")" || continue
    [ "$rank" -lt "$r" ] || fail "$2: the dialog (X rank $rank) lies under the bar's $cls (X rank $r):
$(wine_x_windows)
$(for w in $(x_viewable_tops); do echo "$w $(xwininfo -id "$w" | awk '/Override/ { o = $4 } /geometry/ { g = $2 } END { print o, g }')"; done)"
  done < <(wine_x_windows)
  log "$2: the dialog is X's window $rank from the top, over every window of the bar"
}
