# Start-up and shut-down of the real program: one instance, the tray icon,
# the hot key, the tray menu's quit, and the deferred-update check.
# shellcheck shell=bash

probe_has_tooltip() { [ -n "$(probe tooltips)" ]; }

quit_and_wait() {
  # A probe that starts while the machine is busy may miss its first try.
  wait_until 10 probe post-shell 33208 || fail "no owner window to quit"
  e2e_wait_exit 20 || fail "the program did not end after WM_SHELL_QUIT"
  [ "$E2E_EXIT" -eq 0 ] || fail "exit code $E2E_EXIT after quit"
}

log "first start: owner window, tray icon, hot key"
e2e_start
probe wait-shell 60 >/dev/null || fail "no owner window after start"
[ "$(probe count-shells)" = 1 ] || fail "not exactly one owner window"
wait_until 15 probe tray-icon || fail "no tray icon"
# Wine shows the icons in a tray window of its own; the tip shows on hover.
read -r tray_x tray_y < <(probe tray-client) || fail "no tray window"
xdotool mousemove --sync $((tray_x + 4)) $((tray_y + 4))
sleep 0.3
xdotool mousemove --sync $((tray_x + 10)) $((tray_y + 10))
wait_until 10 probe_has_tooltip || fail "no tip over the tray icon"
tip="$(probe tooltips)"
[ "$tip" = "$(printf 'Lumsek\nCtrl+Q可快捷呼出')" ] || fail "tray tip: $tip"
# The hot key is registered after the bar is made, a moment after the tray icon.
wait_until 15 probe hotkey-taken || fail "Ctrl+Q is not registered"

strip_shown() { probe windows | grep -q '^LumsekWindow.*|244 0 1036 6$'; }

log "the bar comes out of its strip where it stood, time after time"
# The window manager maps the bar anew each time, and now and then Wine
# first hears of it at its frame's corner (0, 0); the bar goes back.
for round in 1 2 3 4 5 6; do
  xdotool mousemove --sync 640 600
  wait_until 10 strip_shown || fail "round $round: no strip where the bar stood: $(probe windows)"
  xdotool mousemove --sync $((BAR_LEFT + 400)) 1
  wait_until 10 bar_shown || fail "round $round: the bar did not come out where it stood: $(probe windows)"
  sleep 1
  bar_shown || fail "round $round: the bar moved after coming out: $(probe windows)"
done

log "tray messages from another process carry no address we read"
probe post-owned 3158 0x7ffe1234 0 >/dev/null || fail "the bar is not owned by the owner window"
probe post-shell 3158 0x7ffe1234 0x201 >/dev/null
probe post-shell 3158 1 0x201 >/dev/null
sleep 1
[ "$(probe count-shells)" = 1 ] || fail "the program did not survive foreign tray messages"
kill -0 "$E2E_LUMSEK_PID" 2>/dev/null || fail "the program ended on foreign tray messages"

log "close to the tray from the settings menu; a click on the tray icon brings the bar back to stay"
close_to_tray check
read -r tray_x tray_y < <(probe tray-client) || fail "no tray window"
click_at $((tray_x + 8)) $((tray_y + 8))
wait_until 10 bar_shown || fail "a click on the tray icon did not bring the bar back"
# Longer than the bar's slide to the top and its auto-hide, with the
# pointer far from it (on the tray icon).
sleep 3
bar_shown || fail "the bar went back into its strip: $(probe windows)"
got="$(probe focus)"
[ "${got%%|*}" = Edit ] || fail "the keyboard is at '$got', not in the bar's edit"
# The window manager gives the new bar the keyboard: keys reach the edit
# with no click into it.
xdotool type --delay 60 abc
expect_edit_text abc

log "closed to the tray again, Ctrl+Q calls the bar back with the keyboard in its edit"
close_to_tray
# Under Wine the hot key reaches the program only from a window of Wine:
# the keyboard goes to the tray window (a click beside the icon) first.
tray_rect="$(window_rect __winex11_standalone_tray)"
read -r _ _ tray_r tray_b <<<"$tray_rect"
[ -n "$tray_b" ] || fail "no tray window"
click_at $((tray_r - 6)) $((tray_b - 6))
sleep 0.5
bar_shown && fail "a click beside the tray icon brought the bar"
xdotool key ctrl+q
wait_until 10 bar_shown || fail "Ctrl+Q did not bring the bar back"
sleep 1
xdotool type --delay 60 def
expect_edit_text def

log "second instance ends before any window"
first_pid=$E2E_LUMSEK_PID
e2e_start
e2e_wait_exit 30 other || fail "the second instance did not end"
[ "$E2E_EXIT" -eq 0 ] || fail "second instance exit code $E2E_EXIT"
[ "$(probe count-shells)" = 1 ] || fail "the second instance made an owner window"
E2E_LUMSEK_PID=$first_pid

log "tray menu: right click, then 退出(&X) ends the process"
probe post-shell 3158 1 0x204 >/dev/null || fail "could not click the tray icon"
read -r left top right bottom < <(probe popup-menu 10) || fail "the tray menu did not open"
# Two items of equal height: 设置(&S), then 退出(&X).
click_at $(((left + right) / 2)) $((top + (bottom - top) * 3 / 4))
e2e_wait_exit 20 || fail "the program did not end after 退出"
[ "$E2E_EXIT" -eq 0 ] || fail "exit code $E2E_EXIT after 退出"
probe tray-icon >/dev/null && fail "the tray icon stayed after quitting"

log "pending deferred update: ends when the re-update program is launched"
mkdir -p "$E2E_PROGRAM/update"
printf '[RUN]\r\nPATH=x\r\n' >"$E2E_PROGRAM/update/pemour.dat"
# The test library answers LaunchReupdate with success.
cp "$E2E_BIN/fake_module.dll" "$E2E_PROGRAM/Lumsek.dll"
e2e_start
e2e_wait_exit 30 || fail "the program did not end with a pending update"
[ "$(probe count-shells)" = 0 ] || fail "a window was made despite the pending update"

log "-reupdate starts normally even with the marker"
e2e_start -reupdate
probe wait-shell 60 >/dev/null || fail "no owner window with -reupdate"
quit_and_wait

log "no module library: the marker does not stop the program"
rm -f "$E2E_PROGRAM/Lumsek.dll"
e2e_start
probe wait-shell 60 >/dev/null || fail "no owner window without the module library"
quit_and_wait
rm -rf "$E2E_PROGRAM/update"

log "hot-key conflict: the box, then the run goes on"
"$E2E_WINE" 'C:\e2e_probe.exe' hold-hotkey 40 >/dev/null 2>&1 &
holder=$!
wait_until 10 probe hotkey-taken || fail "the probe could not hold Ctrl+Q"
e2e_start
text="$(probe message-box Lumsek 60)" || fail "no hot-key conflict box"
[ "$text" = "请注意，热键冲突，Crtl+Q不可用" ] || fail "box text: $text"
probe close-box Lumsek >/dev/null
probe wait-shell 30 >/dev/null || fail "no owner window after the box"
quit_and_wait
kill "$holder" 2>/dev/null || true
