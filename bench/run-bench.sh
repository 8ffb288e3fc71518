#!/usr/bin/env bash
# run-bench.sh <state-dir> <wine-loader> <program>...
# Runs each benchmark program under Wine in a fresh prefix; each prints a table.
set -uo pipefail
state="$1" wine="$2"
shift 2
[ $# -gt 0 ] || { echo "no benchmark programs yet"; exit 0; }
rm -rf "$state"; mkdir -p "$state"
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export LUMSEK_BENCH_WORK="$state"
# Benchmarks of windows need a display: start one when none is set.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  exec 3>"$state/display.tmp"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 100); do [ -s "$state/display.tmp" ] && break; sleep 0.1; done
  [ -s "$state/display.tmp" ] && export DISPLAY=":$(head -n1 "$state/display.tmp")"
fi
"$wine" wineboot -i >/dev/null 2>&1
rc=0
for p in "$@"; do
  echo "== $(basename "$p")"
  (cd "$(dirname "$p")" && "$wine" "$p") || rc=1
done
wineserver -k 2>/dev/null || true
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
exit $rc
