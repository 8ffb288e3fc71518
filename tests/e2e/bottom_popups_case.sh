# The windows the bar opens, with the bar dragged to the screen's bottom:
# the scope popup, the settings menu and the close-to-tray tip lie wholly on
# the screen (the popup and the tip above the bar, where there is no room
# under it) and can be used there; Esc closes the popup and leaves the
# query alone, and so does a click on the bare desktop or on another
# program's window; the tip's button closes the bar to the tray.
# shellcheck shell=bash
source "$(dirname "${BASH_SOURCE[0]}")/stacking.sh"

wm="${LUMSEK_WM:-openbox}"

# "l t r b" of the first visible window of the program <w> x <h> px big.
sized_rect() { # w h
  probe windows | awk -F'|' -v w="$1" -v h="$2" '$1 ~ /^LumsekWindow/ { split($3, r, " ") }
    $1 ~ /^LumsekWindow/ && r[3] - r[1] == w && r[4] - r[2] == h && !n++ { print $3 }'
}
bar_rect() { sized_rect 800 73; }
popup_rect() { sized_rect 112 86; }
tip_rect() { sized_rect 314 200; }
popup_shown() { [ -n "$(popup_rect)" ]; }
tip_shown() { [ -n "$(tip_rect)" ]; }

# Fails unless "l t r b" lies wholly on the 1280 x 1024 screen.
expect_on_screen() { # rect what
  local l t r b
  read -r l t r b <<<"$1"
  [ -n "$b" ] && [ "$l" -ge 0 ] && [ "$t" -ge 0 ] && [ "$r" -le 1280 ] && [ "$b" -le 1024 ] ||
    fail "$2 ($1) runs off the 1280 x 1024 screen"
  log "$2: $1, on the screen"
}

# A click at the edit's place in the bar reaches the edit holding <text>.
expect_edit_holds() { expect_edit_text "$1" "$bl" "$bt"; }

open_popup() { # what
  click_at $((bl + 733)) $((bt + 40))
  wait_until 5 popup_shown || fail "$1: the scope popup did not open"
  sleep 0.5
}

log "start, a query, then the bar dragged to the screen's bottom"
e2e_start_scanned
focus_bar
xdotool type --delay 60 quarterly
list_shown() { [ -n "$(window_rect LumsekSearchResult)" ]; }
wait_until 20 list_shown || fail "the result list did not show"
sleep 2
press_and_drag 0 1000
xdotool mouseup 1
sleep 1
read -r bl bt br bb <<<"$(bar_rect)"
[ "$bt" = $((1024 - 73)) ] || fail "the bar did not reach the screen's bottom: $(bar_rect)"
expect_edit_holds quarterly

log "the scope popup opens above the bar, wholly on the screen, each row within reach"
open_popup "at the bottom"
popup="$(popup_rect)"
expect_on_screen "$popup" "the scope popup"
read -r pl pt pr pb <<<"$popup"
[ "$pb" -le "$bt" ] || fail "the scope popup ($popup) covers the bar ($bl $bt $br $bb)"
for row in 0 1 2; do
  got="$(probe window-at $((pl + 60)) $((pt + 19 + row * 24)))"
  case "$got" in LumsekWindow*) ;; *) fail "row $((row + 1)) of the popup: a click there reaches '$got'" ;; esac
done

log "Esc closes the popup and leaves the query in the edit"
xdotool key Escape
wait_until 5 eval '! popup_shown' || fail "Esc did not close the scope popup at the bottom"
expect_edit_holds quarterly

log "a click on another program's window closes the popup"
xlogo -geometry 200x200+20+300 >/dev/null 2>&1 &
other=$!
sleep 2
open_popup "before the click on another program"
click_at 120 400
wait_until 5 eval '! popup_shown' || fail "the scope popup stayed open after a click on another program's window"
kill "$other" 2>/dev/null
wait "$other" 2>/dev/null
sleep 1

if [ "$wm" = openbox ]; then
  log "a click on the bare desktop closes the popup"
  click_at $((bl + 200)) $((bt + 40))
  sleep 0.5
  open_popup "before the click on the desktop"
  click_at 640 300
  wait_until 5 eval '! popup_shown' || fail "the scope popup stayed open after a click on the bare desktop"
else
  # The bare root window takes no focus under this window manager, and no
  # click on it reaches the program: only a desktop window would.
  log "no click on the bare desktop under $wm"
fi

log "the settings menu and the close-to-tray tip lie wholly on the screen"
click_at $((bl + 776)) $((bt + 11))
read -r ml mt mr mb < <(probe popup-menu 10) || fail "the settings menu did not open"
expect_on_screen "$ml $mt $mr $mb" "the settings menu"
# 关闭至托盘(&X), the second of two items of equal height.
click_at $(((ml + mr) / 2)) $((mt + (mb - mt) * 3 / 4))
wait_until 10 tip_shown || fail "no tip about closing to the tray: $(probe windows)"
sleep 1.5
tip="$(tip_rect)"
expect_on_screen "$tip" "the close-to-tray tip"
read -r tl tt tr tb <<<"$tip"
[ "$tb" -le "$bt" ] || fail "the tip ($tip) covers the bar ($bl $bt $br $bb)"

log "the tip's button 我知道了 closes it, and the bar goes to the tray"
click_at $((tr - 67)) $((tb - 30))
wait_until 10 eval '! tip_shown' || fail "the tip's button did not close it"
wait_until 10 eval '[ -z "$(bar_rect)" ]' || fail "the bar stayed after the tip's button"
probe tray-icon >/dev/null || fail "no tray icon after closing to the tray"
e2e_stop
