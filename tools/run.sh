#!/usr/bin/env bash
# Sets up the machine, builds Lumsek, installs it into a Wine prefix of its
# own (C:\Program Files\Lumsek, as an installation lays it out) and starts
# lumsek.exe -- on $DISPLAY when set, else on a private Xvfb display with a
# desktop's window manager (openbox) and compositor (xcompmgr).
#
#   bash tools/run.sh [--drive L=/folder]... [--whole-tree] [--bin DIR] [-- program options]
#
# Lumsek indexes the drives of its prefix: C: (the prefix's own drive_c) and
# the drives mapped here. By default D: is your home folder; each --drive
# maps a letter to a folder of yours instead (e.g. --drive E=/srv/photos).
# The whole Linux tree (Wine's usual Z:) is indexed only with --whole-tree.
# --bin runs the programs of a build folder (its bin/) as they are, without
# the set-up and the build.
#
# The program runs in the zh_CN.UTF-8 locale whatever yours is (it is made
# for the Chinese code page), with WenQuanYi Micro Hei drawing its face.
#
# When the program already runs in the prefix, the command installs what
# changed in the build beside the running files (renamed into place, so the
# running program is not touched), says that it runs and how to bring up its
# bar, and ends: a second instance would end at once without a word.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

drives=()
whole_tree=0
bin=""
while [ $# -gt 0 ]; do
  case "$1" in
    --drive) drives+=("$2"); shift 2 ;;
    --drive=*) drives+=("${1#--drive=}"); shift ;;
    --whole-tree) whole_tree=1; shift ;;
    --bin) bin="$2"; shift 2 ;;
    --bin=*) bin="${1#--bin=}"; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
# Options that take effect only when the program starts.
start_options=$((${#drives[@]} + whole_tree + $#))
[ ${#drives[@]} -gt 0 ] || drives=("D=$HOME")

arch="$(run_arch)"
if [ -z "$bin" ]; then
  bash "$ROOT/tools/setup.sh"
  configure_and_build "$arch"
  bin="$BUILD_ROOT/$arch/bin"
fi
if [ ! -f "$bin/lumsek.exe" ]; then
  echo "lumsek.exe was not built" >&2
  exit 1
fi
wine="$(wine_loader "$arch")"
use_program_locale

# No Mono and no Gecko: Wine would offer to download them.
export WINEPREFIX="${WINEPREFIX:-$BUILD_ROOT/wine-run}" WINEDEBUG="${WINEDEBUG:--all}" \
  WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Already running in this prefix: nothing of the prefix changes under it
# (drives, display, settings); only changed program files are put in place.
if running="$(running_program_pid "$WINEPREFIX")"; then
  install_program "$bin" "$WINEPREFIX"
  shown="$(tr '\0' '\n' <"/proc/$running/environ" 2>/dev/null | sed -n 's/^DISPLAY=//p')" || shown=""
  echo "Lumsek already runs in the Wine prefix $WINEPREFIX (process $running${shown:+, on the display $shown}); no second copy is started."
  echo "Bring up its search bar with a click on its tray icon, or press Ctrl+Q while one of its windows has the keyboard."
  if [ "$INSTALL_REPLACED" -gt 0 ]; then
    echo "The changed program files are installed; the running program goes on with its old ones."
  fi
  if [ "$start_options" -gt 0 ]; then
    echo "The options given here take effect only when it starts."
  fi
  if [ "$INSTALL_REPLACED" -gt 0 ] || [ "$start_options" -gt 0 ]; then
    echo "To start it anew, quit it from its tray icon's menu (退出) and run this command again."
  fi
  exit 0
fi
make_prefix "$WINEPREFIX" "$wine"
use_managed_windows "$WINEPREFIX"
for spec in "${drives[@]}"; do
  letter="${spec%%=*}" folder="${spec#*=}"
  case "$letter" in [A-Ya-y]) ;; *) echo "bad drive letter in --drive $spec" >&2; exit 2 ;; esac
  [ "$letter" != C ] && [ "$letter" != c ] || { echo "C: is the prefix's own drive" >&2; exit 2; }
  [ -d "$folder" ] || { echo "no such folder: $folder" >&2; exit 2; }
  map_drive "$WINEPREFIX" "$letter" "$folder"
  echo "drive ${letter^^}: is $folder"
done
if [ "$whole_tree" -eq 1 ]; then
  ln -sfn / "$WINEPREFIX/dosdevices/z:"
else
  rm -f "$WINEPREFIX/dosdevices/z:"
fi

# No display: a private one with the desktop a user has.
if [ -z "${DISPLAY:-}" ]; then
  work="$(mktemp -d "${TMPDIR:-/tmp}/lumsek-run.XXXXXX")"
  XVFB_PID=""
  cleanup() {
    stop_desktop
    wineserver -k 2>/dev/null || true
    [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$work"
  }
  trap cleanup EXIT
  start_xvfb "$work"
  start_desktop "$work"
  echo "no DISPLAY: running on the private Xvfb display $DISPLAY (openbox, xcompmgr)"
fi
use_program_font "$WINEPREFIX" "$wine"
install_program "$bin" "$WINEPREFIX"

program="C:\\Program Files\\Lumsek\\lumsek.exe"
cd "$(program_folder "$WINEPREFIX")"
if [ -z "${work:-}" ]; then
  exec "$wine" "$program" "$@"
fi
status=0
"$wine" "$program" "$@" || status=$?
exit "$status"
