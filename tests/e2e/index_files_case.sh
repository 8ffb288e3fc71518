# Index files the program may read but not write never leave drive F:
# unsearchable: a saved index that is read-only loads, and a drive whose
# index cannot be saved is searched from its scan.
#
# Wine run as root writes through the read-only attribute and through a
# folder without write permission. What it does refuse, as Windows refuses
# a user's write into C:\Program Files, is a file that another program holds
# open for reading without letting others write, and a name taken by a
# folder of someone's files. The case uses those, with the attribute set too.
# shellcheck shell=bash

hold_pid=""
stop_holding() {
  if [ -n "$hold_pid" ]; then kill "$hold_pid" 2>/dev/null || true; wait "$hold_pid" 2>/dev/null || true; fi
  hold_pid=""
}
trap 'stop_holding; e2e_cleanup' EXIT

# A click on the first row puts the keyboard into the result list.
click_first_row() {
  local rl rt rr rb
  read -r rl rt rr rb < <(window_rect LumsekSearchResult) || return 1
  click_at $((rl + 500)) $((rt + 30))
}

search_quarterly() {
  focus_bar
  xdotool type --delay 60 quarterly
}

fingerprint() { (cd "$E2E_PROGRAM" && md5sum index_F name_F 2>&1); }

log "first run: the scan saves the index of F: beside the program"
e2e_start_scanned
e2e_stop
saved="$(fingerprint)"

log "the saved pair made read-only and held open by a reader that lets no one write it"
chmod a-w "$E2E_PROGRAM/index_F" "$E2E_PROGRAM/name_F"
"$E2E_WINE" 'C:\e2e_probe.exe' hold-files 280 'C:\Program Files\Lumsek\index_F' \
  'C:\Program Files\Lumsek\name_F' >"$E2E_WORK/hold.log" 2>&1 &
hold_pid=$!
wait_until 30 grep -q held "$E2E_WORK/hold.log" || fail "the index files could not be held: $(cat "$E2E_WORK/hold.log")"
# A file the saved index does not know: only the scan of this run finds it.
printf 'epsilon' >"$E2E_FILES/quarterly_summary.txt"

log "second run: the saved index loads, and the scan that cannot replace it is searched"
e2e_start
probe wait-shell 60 >/dev/null || fail "no owner window after start"
sleep 2
search_quarterly
copy_rows_until 100 "$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\quarterly_summary.txt' \
  'F:\项目资料\quarterly_notes.txt' | sort)" click_first_row
e2e_stop
stop_holding
[ "$(fingerprint)" = "$saved" ] || fail "the read-only index files changed"
[ ! -e "$E2E_PROGRAM/indexnew_F" ] && [ ! -e "$E2E_PROGRAM/namenew_F" ] || fail "temporary index files left behind"

log "third run: no index, and a folder of someone's files where the new index would be written"
chmod u+w "$E2E_PROGRAM/index_F" "$E2E_PROGRAM/name_F"
rm -f "$E2E_PROGRAM/index_F" "$E2E_PROGRAM/name_F"
mkdir -p "$E2E_PROGRAM/indexnew_F"
printf 'keep' >"$E2E_PROGRAM/indexnew_F/keep.txt"
rm -f "$E2E_FILES/quarterly_summary.txt"
e2e_start
probe wait-shell 60 >/dev/null || fail "no owner window after start"
sleep 2
search_quarterly
copy_rows_until 100 "$(printf '%s\n' 'F:\quarterly_report.txt' 'F:\项目资料\quarterly_notes.txt' | sort)" click_first_row
[ ! -e "$E2E_PROGRAM/index_F" ] && [ ! -e "$E2E_PROGRAM/name_F" ] || fail "an index of F: appeared"
[ "$(cat "$E2E_PROGRAM/indexnew_F/keep.txt")" = keep ] || fail "the folder at indexnew_F was touched"
e2e_stop
