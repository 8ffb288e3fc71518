#!/usr/bin/env bash
# prefix.sh setup|cleanup <state-dir> <wine-loader>
# Makes the run's template Wine prefix and starts the Xvfb display the window
# tests draw on; cleanup stops both.
set -uo pipefail
action="$1" state="$2" wine="$3"
template="$state/template"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

stop_all() {
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/display"
  fi
  if [ -d "$template" ]; then
    WINEPREFIX="$template" wineserver -k 2>/dev/null || true
  fi
  rm -rf "$state"
}

case "$action" in
setup)
  stop_all
  mkdir -p "$state"
  # Xvfb picks a free display itself and reports its number.
  exec 3>"$state/display.tmp"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  exec 3>&-
  for _ in $(seq 100); do [ -s "$state/display.tmp" ] && break; sleep 0.1; done
  [ -s "$state/display.tmp" ] || { echo "Xvfb did not start"; cat "$state/xvfb.log"; exit 1; }
  echo ":$(head -n1 "$state/display.tmp")" >"$state/display"
  rm -f "$state/display.tmp"

  export WINEPREFIX="$template" DISPLAY="$(cat "$state/display")" LANG=zh_CN.UTF-8
  "$wine" wineboot -i >"$state/wineboot.log" 2>&1 || { cat "$state/wineboot.log"; exit 1; }
  wineserver -w
  # Xvfb runs no window manager: with managed windows Wine waits about two
  # seconds for each top-level window to be unmapped. Unmanaged windows behave
  # the same for the programs and hide at once.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$state/wineboot.log" 2>&1 || true
  wineserver -w
  # Drop Z: (the whole Linux root) so drive enumeration sees only the drives
  # a test maps itself.
  rm -f "$template/dosdevices/z:"
  echo "prefix ready: $template on display $DISPLAY"
  ;;
cleanup)
  stop_all
  echo "prefix removed"
  ;;
*)
  echo "usage: prefix.sh setup|cleanup <state-dir> <wine-loader>" >&2
  exit 2
  ;;
esac
