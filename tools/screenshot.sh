#!/usr/bin/env bash
# Takes a picture of the search bar with results for the README: the real
# lumsek.exe in a throwaway prefix on a private Xvfb display with a desktop's
# window manager (openbox) and compositor (xcompmgr), in the program's locale
# and font as tools/run.sh starts it, a drive of sample files, a query typed
# with xdotool, the screen read from the display's frame buffer and cut to the bar and its result
# panel with ImageMagick.
#
#   bash tools/screenshot.sh [query] [output.png]     (default: report, docs/screenshot.png)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
query="${1:-report}"
out="${2:-$ROOT/docs/screenshot.png}"

bash "$ROOT/tools/setup.sh"
arch="$(run_arch)"
configure_and_build "$arch" lumsek e2e_probe
bin="$BUILD_ROOT/$arch/bin"
wine="$(wine_loader "$arch")"

work="$(mktemp -d "${TMPDIR:-/tmp}/lumsek-shot.XXXXXX")"
XVFB_PID=""
cleanup() {
  stop_desktop
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

use_program_locale
start_xvfb "$work"
# The compositor blends the layered windows' per-pixel alpha (the bar's
# rounded edges, the panel, the shadows); without one X shows their
# transparent pixels black.
start_desktop "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

make_prefix "$WINEPREFIX" "$wine"
use_managed_windows "$WINEPREFIX"
rm -f "$WINEPREFIX/dosdevices/z:"
install_program "$bin" "$WINEPREFIX"
cp "$bin/e2e_probe.exe" "$WINEPREFIX/drive_c/"

# A small drive of sample files, of sizes from bytes to megabytes.
files="$work/files"
mkdir -p "$files/项目资料/2024" "$files/Documents" "$files/Pictures"
for f in "项目资料/季度报告.docx:24576" "项目资料/2024/年度报告.pdf:1310720" "Documents/quarterly report.xlsx:49152" \
         "Documents/report-draft.txt:3300" "Documents/expense report 2024.csv:1048566" "Pictures/report cover.png:2464153"; do
  truncate -s "${f##*:}" "$files/${f%:*}"
done
map_drive "$WINEPREFIX" D "$files"
use_program_font "$WINEPREFIX" "$wine"

(cd "$(program_folder "$WINEPREFIX")" && exec "$wine" 'C:\Program Files\Lumsek\lumsek.exe') >"$work/lumsek.log" 2>&1 &
"$wine" 'C:\e2e_probe.exe' wait-shell 60 >/dev/null || { echo "lumsek.exe did not start"; cat "$work/lumsek.log"; exit 1; }
# The first scan writes the drive's index files beside the program; the
# reload follows.
for _ in $(seq 240); do [ -s "$(program_folder "$WINEPREFIX")/name_D" ] && break; sleep 0.5; done
sleep 3
# The bar hides into its strip while the mouse is elsewhere: hover the strip
# to bring it back, then click into it.
left=$(((1280 - 800) / 2))
xdotool mousemove --sync $((left + 400)) 1
sleep 1
xdotool mousemove --sync $((left + 200)) 40 click 1
sleep 0.5
xdotool type --delay 80 "$query"
sleep 4

mkdir -p "$(dirname "$out")"
capture_screen "$work/screen.xwd"
convert "xwd:$work/screen.xwd" -crop "820x560+$((left - 10))+0" +repage "png:$out"
echo "wrote $out"
