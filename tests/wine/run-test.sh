#!/usr/bin/env bash
# run-test.sh <state-dir> <wine-loader> <codepage> <prepare-script|""> <program> [args...]
# Runs one test program under Wine in its own copy of the run's prefix.
set -uo pipefail
state="$1" wine="$2" codepage="$3" prepare="$4" program="$5"
shift 5

[ -d "$state/template" ] || { echo "no Wine prefix: the wine_prefix_setup test did not run"; exit 1; }
work="$(mktemp -d "${TMPDIR:-/tmp}/lumsek-test.XXXXXX")"
xvfb_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  # Test drives may point into this folder; unmount anything a prepare step
  # or a test mounted there (a test that crashed leaves its mount), last
  # mounted first, so that removing the folder never reaches into a mount.
  awk -v w="$work/" 'index($5, w) == 1 { print $5 }' /proc/self/mountinfo | tac |
    while read -r mnt; do umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cp -a "$state/template" "$work/prefix"
# winedbg is kept off so a crashing test program ends at once instead of
# waiting in the debugger until the test times out.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# A display of its own: tests that move the pointer, type or use the
# clipboard must not meet another test program doing the same at once.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ -s "$work/display" ]; then
  export DISPLAY=":$(head -n1 "$work/display")"
else
  echo "no display of its own (Xvfb did not start); using the run's"
  export DISPLAY="$(cat "$state/display")"
fi
export LUMSEK_TEST_WORK="$work"
# Files a test sends to the recycle bin land in the run's own trash folder.
export XDG_DATA_HOME="$work/xdg-data"
case "$codepage" in
  936) export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 ;;
  1252) export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 ;;
  *) echo "unknown code page $codepage"; exit 2 ;;
esac

if [ -n "$prepare" ]; then
  bash "$prepare" "$work" || { echo "prepare step $prepare failed"; exit 1; }
fi

cd "$(dirname "$program")"
"$wine" "$program" "$@" 2>&1 | tee "$work/output.txt"
rc=${PIPESTATUS[0]}
WINEPREFIX="$work/prefix" wineserver -w 2>/dev/null || true
# Wine reports exit code 0 for a program killed by an unhandled exception
# (a stack overflow, say); only GoogleTest's closing summary proves the run ended.
if [ "$rc" -eq 0 ] && ! grep -q '^\[  PASSED  \]' "$work/output.txt"; then
  echo "test program ended without its summary (crashed?)"
  rc=1
fi
exit $rc
