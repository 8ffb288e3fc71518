# The README's command run again while the program runs: it says that the
# program runs and how to bring it up, and ends; it writes no file of the
# running program in place (files the same as the build's stay as they are,
# a changed one is renamed into place), and the running program lives on and
# still searches.
# shellcheck shell=bash

# The README's command, on this case's prefix and display (it keeps both),
# with drive F:; --bin names the program files.
readme_command=(bash "$ROOT/tools/run.sh" --drive "$E2E_FILES_LETTER=$E2E_FILES")

# "name inode modification-time checksum" of each installed program file.
installed_files() {
  (cd "$E2E_PROGRAM" && find lumsek.exe searchfile.dll Lumsek.dll res -type f | sort | while read -r f; do
    echo "$f $(stat -c '%i %y' "$f") $(sha256sum <"$f" | cut -d' ' -f1)"
  done)
}

# A search in the bar: typing <query> lists the rows of <expected> (one path
# a line, sorted), which the list's own keys copy.
expect_search() { # query expected
  focus_bar
  if ! type_query "$1"; then
    kill -0 "$E2E_LUMSEK_PID" 2>/dev/null || fail "the program ended while $1 was typed"
    fail "the edit did not take $1"
  fi
  copy_rows_until 60 "$2" xdotool key Down
  kill -0 "$E2E_LUMSEK_PID" 2>/dev/null || fail "the program ended at the search for $1"
}

# Runs the command again; fails unless it ends by itself, exit code 0, with
# the program still running and saying so.
run_again() { # log bin-dir
  local status=0
  timeout 60 "${readme_command[@]}" --bin "$2" >"$1" 2>&1 || status=$?
  [ "$status" -ne 124 ] || fail "the command run again did not end: $(cat "$1")"
  [ "$status" -eq 0 ] || fail "the command run again ended with $status: $(cat "$1")"
  log "the command said: $(cat "$1")"
  sleep 2
  kill -0 "$E2E_LUMSEK_PID" 2>/dev/null || fail "the running program ended when the command ran again"
  [ "$(probe count-shells)" = 1 ] || fail "not exactly one owner window after the command ran again"
  grep -F "Lumsek already runs in the Wine prefix $WINEPREFIX (process $E2E_LUMSEK_PID" "$1" >/dev/null \
    || fail "the command did not say that the program runs: $(cat "$1")"
  grep -F "tray icon" "$1" | grep -F "Ctrl+Q" >/dev/null || fail "the command did not say how to bring the bar up: $(cat "$1")"
}

log "the README's command starts the program"
# With a display the command hands its process over to the program (exec).
"${readme_command[@]}" --bin "$E2E_BIN" >"$E2E_WORK/run-first.log" 2>&1 &
E2E_LUMSEK_PID=$!
probe wait-shell 60 >/dev/null || fail "no owner window after the command: $(cat "$E2E_WORK/run-first.log")"
wait_until 120 test -s "$E2E_PROGRAM/name_F" || fail "drive F: was not scanned"
sleep 3
before="$(installed_files)"
log "installed: $before"

log "the same command again, the same build"
run_again "$E2E_WORK/run-same.log" "$E2E_BIN"
grep -F "changed program files" "$E2E_WORK/run-same.log" >/dev/null && fail "the same build was said to be changed"
after="$(installed_files)"
[ "$after" = "$before" ] || fail "the command wrote program files of the running program:
before: $before
after:  $after"

log "the running program still searches"
expect_search quarterly "$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)"

log "the command again with a changed lumsek.exe"
newbin="$E2E_WORK/newbin"
mkdir -p "$newbin"
cp "$E2E_BIN/lumsek.exe" "$E2E_BIN/searchfile.dll" "$E2E_BIN/Lumsek.dll" "$newbin/"
printf '\0' >>"$newbin/lumsek.exe"
run_again "$E2E_WORK/run-changed.log" "$newbin"
grep -F "changed program files are installed" "$E2E_WORK/run-changed.log" >/dev/null \
  || fail "the command did not say that it installed the changed file: $(cat "$E2E_WORK/run-changed.log")"
after="$(installed_files)"
[ "$(grep -v '^lumsek.exe ' <<<"$after")" = "$(grep -v '^lumsek.exe ' <<<"$before")" ] \
  || fail "the command wrote files that did not change:
before: $before
after:  $after"
old_inode="$(awk '$1 == "lumsek.exe" { print $2 }' <<<"$before")"
new_inode="$(stat -c %i "$E2E_PROGRAM/lumsek.exe")"
[ "$new_inode" != "$old_inode" ] || fail "the changed lumsek.exe was written in place (inode $new_inode)"
cmp -s "$newbin/lumsek.exe" "$E2E_PROGRAM/lumsek.exe" || fail "the installed lumsek.exe is not the changed one"
leftovers="$(find "$E2E_PROGRAM" -name '*.installing')"
[ -z "$leftovers" ] || fail "temporary files left in the program folder: $leftovers"

log "the command once more: the program runs from the file that was replaced"
run_again "$E2E_WORK/run-replaced.log" "$newbin"
[ "$(stat -c %i "$E2E_PROGRAM/lumsek.exe")" = "$new_inode" ] || fail "the command replaced the lumsek.exe it had installed"

log "the running program still searches"
expect_search holiday 'F:\photos\holiday.jpg'

log "quit, then the command starts the changed program"
wait_until 10 probe post-shell 33208 || fail "no owner window to quit"
e2e_wait_exit 20 || fail "the program did not end after WM_SHELL_QUIT"
"${readme_command[@]}" --bin "$newbin" >"$E2E_WORK/run-new.log" 2>&1 &
E2E_LUMSEK_PID=$!
probe wait-shell 60 >/dev/null || fail "no owner window after the command: $(cat "$E2E_WORK/run-new.log")"
grep -F "already runs" "$E2E_WORK/run-new.log" >/dev/null && fail "the command saw an ended program running"
[ "$(stat -c %i "$E2E_PROGRAM/lumsek.exe")" = "$new_inode" ] || fail "the command replaced the lumsek.exe it had installed"
