# Helpers of the end-to-end cases (sourced by run-e2e.sh).
# shellcheck shell=bash
source "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/common.sh"

E2E_FILES_LETTER=F
E2E_LUMSEK_PID=""
E2E_XVFB_PID=""

log() { printf '[e2e] %s\n' "$*"; }
fail() {
  printf '[e2e] FAILED: %s\n' "$*"
  e2e_dump
  exit 1
}

# A copy of the run's prefix with the program installed and drive F: mapped to
# a folder of known files (Chinese names included).
e2e_setup() {
  [ -d "$E2E_STATE/template" ] || { echo "no Wine prefix: the wine_prefix_setup test did not run"; return 1; }
  command -v xdotool >/dev/null || { echo "xdotool is not installed (tools/setup.sh installs it)"; return 1; }
  E2E_WORK="$(mktemp -d "${TMPDIR:-/tmp}/lumsek-e2e.XXXXXX")"
  cp -a "$E2E_STATE/template" "$E2E_WORK/prefix"
  export WINEPREFIX="$E2E_WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  # A display of its own: the mouse, the keyboard focus and the clipboard
  # are not shared with window tests that run at the same time.
  start_xvfb "$E2E_WORK" || return 1
  E2E_XVFB_PID=$XVFB_PID
  # A user's desktop: a window manager and a compositor, with Wine's windows
  # managed as they are by default.
  use_managed_windows "$WINEPREFIX"
  start_desktop "$E2E_WORK" || return 1
  # The program's locale, as tools/run.sh sets it.
  use_program_locale || return 1
  E2E_PROGRAM="$(program_folder "$WINEPREFIX")"
  install_program "$E2E_BIN" "$WINEPREFIX"
  cp "$E2E_BIN/e2e_probe.exe" "$WINEPREFIX/drive_c/e2e_probe.exe"
  E2E_FILES="$E2E_WORK/files"
  mkdir -p "$E2E_FILES/项目资料" "$E2E_FILES/photos"
  printf 'alpha' >"$E2E_FILES/quarterly_report.txt"
  printf 'beta' >"$E2E_FILES/项目资料/季度报告.docx"
  printf 'gamma' >"$E2E_FILES/项目资料/quarterly_notes.txt"
  printf 'delta' >"$E2E_FILES/photos/holiday.jpg"
  map_drive "$WINEPREFIX" "$E2E_FILES_LETTER" "$E2E_FILES"
}

e2e_cleanup() {
  e2e_stop
  WINEPREFIX="$E2E_WORK/prefix" wineserver -k 2>/dev/null || true
  stop_desktop
  if [ -n "${E2E_XVFB_PID:-}" ]; then kill "$E2E_XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$E2E_WORK"
}

# Starts lumsek.exe from its program folder (as the service or a shortcut
# does) with the given arguments; its output goes to $E2E_WORK/lumsek.log.
e2e_start() {
  (cd "$E2E_PROGRAM" && exec "$E2E_WINE" "C:\\Program Files\\Lumsek\\lumsek.exe" "$@") \
    >>"$E2E_WORK/lumsek.log" 2>&1 &
  E2E_LUMSEK_PID=$!
}

# Waits up to <seconds> for the last started program to end; its exit code in
# E2E_EXIT. Then, unless told that another instance still runs ("other"),
# until the Wine server has let go of the instance's mutex.
e2e_wait_exit() { # seconds [other]
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    if ! kill -0 "$E2E_LUMSEK_PID" 2>/dev/null; then
      wait "$E2E_LUMSEK_PID"
      E2E_EXIT=$?
      E2E_LUMSEK_PID=""
      # The Wine server lets go of the ended process's mutex and windows a
      # moment later; the next start must not meet them.
      [ "${2:-}" = other ] || wait_until 10 probe instance-gone || true
      return 0
    fi
    sleep 0.1
  done
  return 1
}

e2e_stop() {
  if [ -n "$E2E_LUMSEK_PID" ] && kill -0 "$E2E_LUMSEK_PID" 2>/dev/null; then
    probe post-shell 33208 >/dev/null 2>&1 || true
    e2e_wait_exit 10 || kill "$E2E_LUMSEK_PID" 2>/dev/null || true
  fi
  E2E_LUMSEK_PID=""
}

# Runs the probe inside the prefix; its answer on stdout.
probe() {
  "$E2E_WINE" 'C:\e2e_probe.exe' "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# Retries a command every half second for up to <seconds>.
wait_until() { # seconds command...
  local limit=$(($1 * 2)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  return 1
}

e2e_dump() {
  log "visible windows:"
  probe windows 2>/dev/null | sed 's/^/    /' || true
  if [ -f "$E2E_WORK/lumsek.log" ]; then
    log "program output:"
    tail -n 20 "$E2E_WORK/lumsek.log" | sed 's/^/    /'
  fi
}

# The bar stands centred at the top of the 1280 px screen, 800 px wide.
BAR_LEFT=$(((1280 - 800) / 2))

# Starts the program and waits until drive F: is scanned: the scan writes the
# drive's index files beside the program, and the reload follows.
e2e_start_scanned() {
  e2e_start
  probe wait-shell 60 >/dev/null || fail "no owner window after start"
  wait_until 120 test -s "$E2E_PROGRAM/name_F" || fail "drive F: was not scanned"
  sleep 3
}

# The bar hides into its strip while the mouse is elsewhere: hovering the
# strip brings it back; then a click into its edit.
focus_bar() {
  xdotool mousemove --sync $((BAR_LEFT + 400)) 1
  sleep 1
  click_at $((BAR_LEFT + 200)) 40
}

# Presses the bar's lower strip (under the edit, above its shadow) with the
# bar's top at <from>, moves the pointer by <dy> in steps and leaves the
# button down.
press_and_drag() { # from dy
  local x=$((BAR_LEFT + 400)) y=$(($1 + 58)) step s
  xdotool mousemove --sync "$x" "$y"
  sleep 0.3
  xdotool mousedown 1
  # The first move only anchors the drag; the ten after it move by <dy>.
  step=$(($2 / 10))
  for s in 0 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --sync "$x" $((y + 1 + s * step))
    sleep 0.1
  done
  sleep 0.5
}

# The bar stands at its place at the top, shown.
bar_shown() { probe windows | grep -q '|240 0 1040 73$'; }

# The tip about the tray (314 x 200), its button 我知道了 at the bottom right.
tip_rect() { probe windows | awk -F'|' '$1 ~ /^LumsekWindow/ { split($3, r, " "); if (r[3] - r[1] == 314 && r[4] - r[2] == 200) { print $3; exit } }'; }
# Gear, 关闭至托盘(&X), then the tip's 我知道了; [check] also checks how the
# tip is drawn.
close_to_tray() { # [check]
  local ml mt mr mb tl tt tr tb black light
  xdotool mousemove --sync $((BAR_LEFT + 400)) 1
  wait_until 10 bar_shown || fail "the bar did not come out of its strip"
  sleep 0.5
  click_at $((BAR_LEFT + 776)) 11
  read -r ml mt mr mb < <(probe popup-menu 10) || fail "the settings menu did not open"
  # Two items of equal height: 正则表达式(&R), then 关闭至托盘(&X).
  click_at $(((ml + mr) / 2)) $((mt + (mb - mt) * 3 / 4))
  for _ in $(seq 20); do [ -n "$(tip_rect)" ] && break; sleep 0.5; done
  read -r tl tt tr tb <<<"$(tip_rect)"
  [ -n "${tb:-}" ] || fail "no tip about closing to the tray: $(probe windows)"
  if [ -n "${1:-}" ]; then
    sleep 0.5
    # On the screen the tip is drawn: its light face with dark text, not a black box.
    read -r black light <<<"$(screen_txt "$tl" "$tt" 314 200 | awk 'NR > 1 { if ($3 == "#000000") b++; else if ($3 ~ /^#[E-F]/) l++ } END { print b + 0, l + 0 }')"
    log "the tip on the screen: $black black pixels, $light light"
    [ "$black" -lt 100 ] && [ "$light" -gt 30000 ] || fail "the tip is not drawn: $black black pixels, $light light ones"
  fi
  click_at $((tr - 67)) $((tb - 30))
  wait_until 10 eval '! bar_shown' || fail "the bar stayed after closing to the tray"
}
# "l t r b" of the first visible top-level window of class <class> (any
# class when empty) and, when given, title <title>.
window_rect() { # class [title]
  probe windows | awk -F'|' -v c="$1" -v t="${2-}" '(c == "" || $1 == c) && (t == "" || $2 == t) { print $3; exit }'
}

# "x,y: #RRGGBB ..." lines of ImageMagick's text form for the screen
# rectangle of <width>x<height> at <left>,<top>, as the screen shows it.
screen_txt() { # left top width height
  capture_screen "$E2E_WORK/screen.xwd" || return 1
  convert "xwd:$E2E_WORK/screen.xwd" -crop "$3x$4+$1+$2" -depth 8 txt:-
}

# The colour the screen shows at one point, as #RRGGBB.
screen_pixel() { # x y
  screen_txt "$1" "$2" 1 1 | awk 'NR == 2 { print $3 }'
}

# A click with the mouse at a screen point.
click_at() { # x y [button]
  xdotool mousemove --sync "$1" "$2" click "${3:-1}"
}

# X window id of the first visible Wine window of class <class> (any class
# when empty) and, when given, title <title>.
x_window() { # class [title]
  probe x-windows-top | awk -F'|' -v c="$1" -v t="${2-}" '(c == "" || $1 == c) && (t == "" || $2 == t) { print $3; exit }'
}

# The window at the top of the X tree (a child of the root) that holds X
# window <xid>: the window manager's frame of a managed window, the window
# itself otherwise.
x_top_level() { # xid
  local w="$1" root parent
  root="$(xwininfo -root | awk '/Window id:/ { print $4; exit }')"
  for _ in 1 2 3 4 5 6 7 8; do
    parent="$(xwininfo -tree -id "$w" 2>/dev/null | awk '/Parent window id:/ { print $4; exit }')"
    [ -n "$parent" ] || return 1
    [ "$parent" = "$root" ] && { echo "$w"; return 0; }
    w="$parent"
  done
  return 1
}

# Whether X, not Wine, stacks <above> over <below> (both X window ids): the
# root lists its children from the top down.
x_stacked_above() { # above below
  local a b order
  a="$(x_top_level "$1")" && b="$(x_top_level "$2")" || return 1
  order="$(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }' | grep -nx -e "$a" -e "$b" | cut -d: -f2 | head -n1)"
  [ "$a" != "$b" ] && [ "$order" = "$a" ]
}

# Fails unless the box of title <title> is viewable and X stacks it over each
# visible window of the bar (the bar, its edit, the panels, the result list).
expect_box_over_bar() { # title
  local box w
  box="$(x_window '#32770' "$1")"
  [ -n "$box" ] || fail "no box \"$1\""
  xwininfo -id "$box" | grep -q 'IsViewable' || fail "the box \"$1\" is not viewable"
  for w in $(probe x-windows-top | awk -F'|' '$1 ~ /^(LumsekWindow|LumsekSearchResult|Edit)/ { print $3 }'); do
    x_stacked_above "$box" "$w" || fail "the box \"$1\" ($box) lies under the bar's window $w:
$(probe x-windows-top)
$(xprop -root _NET_CLIENT_LIST_STACKING)"
  done
}


# Puts the keyboard into the result list with <enter...> (a command that
# fails when the list is not there yet), then Ctrl+A and Ctrl+C there copy
# every row's file. Tried again for up to <seconds> while a search, scan or
# reload may still run, until the clipboard holds <expected> (one path a
# line, sorted); then fails with what it holds.
copy_rows_until() { # seconds expected enter...
  local got="" end=$((SECONDS + $1)) expected="$2"
  shift 2
  while ((SECONDS < end)); do
    sleep 1
    "$@" || continue
    sleep 0.3
    xdotool key ctrl+a
    sleep 0.3
    xdotool key ctrl+c
    sleep 0.5
    got="$(probe clipboard-files | sort)"
    [ "$got" = "$expected" ] && { log "clipboard: $(echo $got)"; return 0; }
  done
  fail "clipboard files:
$got
expected:
$expected"
}

# Clicks into the bar's edit at <x> <y> (its middle by default), clears it and
# types <text>, again until the edit holds it: xdotool types a character
# that has no key by changing the keymap on the fly, and a busy X server now
# and then loses one.
type_query() { # text [x y]
  local x=${2:-$((BAR_LEFT + 200))} y=${3:-40} try got
  for try in 1 2 3 4 5; do
    click_at "$x" "$y"
    sleep 0.3
    xdotool key ctrl+a BackSpace
    xdotool type --delay 100 "$1"
    sleep 1
    got="$(probe window-at "$x" "$y")"
    [ "$got" = "Edit|$1" ] && return 0
    log "try $try: the edit holds '${got#Edit|}', typing '$1' again"
  done
  return 1
}

# The bar's edit is what a click at its place reaches, holding <text>.
expect_edit_text() { # text [bar-left bar-top]: the bar at the top unless told
  local got="" x=$((${2:-$BAR_LEFT} + 200)) y=$((${3:-0} + 40))
  for _ in 1 2 3 4 5 6; do
    got="$(probe window-at "$x" "$y")"
    [ "$got" = "Edit|$1" ] && return 0
    sleep 0.5
  done
  fail "at the edit's place: '$got', expected the edit with '$1'"
}

