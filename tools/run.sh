#!/usr/bin/env bash
# Sets up the machine, builds Lumsek, installs it into a Wine prefix of its
# own (C:\Program Files\Lumsek, as an installation lays it out) and starts
# lumsek.exe -- on $DISPLAY when set, else on a private Xvfb display.
#
#   bash tools/run.sh [--drive L=/folder]... [--whole-tree] [-- program options]
#
# Lumsek indexes the drives of its prefix: C: (the prefix's own drive_c) and
# the drives mapped here. By default D: is your home folder; each --drive
# maps a letter to a folder of yours instead (e.g. --drive E=/srv/photos).
# The whole Linux tree (Wine's usual Z:) is indexed only with --whole-tree.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

drives=()
whole_tree=0
while [ $# -gt 0 ]; do
  case "$1" in
    --drive) drives+=("$2"); shift 2 ;;
    --drive=*) drives+=("${1#--drive=}"); shift ;;
    --whole-tree) whole_tree=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ ${#drives[@]} -gt 0 ] || drives=("D=$HOME")

bash "$ROOT/tools/setup.sh"
arch="$(run_arch)"
configure_and_build "$arch"
bin="$BUILD_ROOT/$arch/bin"
if [ ! -f "$bin/lumsek.exe" ]; then
  echo "lumsek.exe was not built" >&2
  exit 1
fi
wine="$(wine_loader "$arch")"

# No Mono and no Gecko: Wine would offer to download them.
export WINEPREFIX="${WINEPREFIX:-$BUILD_ROOT/wine-run}" WINEDEBUG="${WINEDEBUG:--all}" \
  WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
make_prefix "$WINEPREFIX" "$wine"
install_program "$bin" "$WINEPREFIX"
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

program="C:\\Program Files\\Lumsek\\lumsek.exe"
cd "$(program_folder "$WINEPREFIX")"
if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY: running on a private Xvfb display"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$program" "$@"
fi
exec "$wine" "$program" "$@"
