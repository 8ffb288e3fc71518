# Start-up and shut-down of the real program: one instance, the tray icon,
# the hot key, the tray menu's quit, and the deferred-update check.
# shellcheck shell=bash

probe_has_tooltip() { [ -n "$(probe tooltips)" ]; }

quit_and_wait() {
  probe post-shell 33208 >/dev/null || fail "no owner window to quit"
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

log "tray messages from another process carry no address we read"
probe post-owned 3158 0x7ffe1234 0 >/dev/null || fail "the bar is not owned by the owner window"
probe post-shell 3158 0x7ffe1234 0x201 >/dev/null
probe post-shell 3158 1 0x201 >/dev/null
sleep 1
[ "$(probe count-shells)" = 1 ] || fail "the program did not survive foreign tray messages"
kill -0 "$E2E_LUMSEK_PID" 2>/dev/null || fail "the program ended on foreign tray messages"

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
