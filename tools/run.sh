#!/usr/bin/env bash
# Sets up the machine, builds Lumsek and starts lumsek.exe under Wine
# (on $DISPLAY when set, else on a private Xvfb display).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$ROOT/tools/setup.sh"
arch="$(run_arch)"
configure_and_build "$arch"
exe="$BUILD_ROOT/$arch/bin/lumsek.exe"
if [ ! -f "$exe" ]; then
  echo "lumsek.exe is not built yet: there is nothing to start yet."
  exit 0
fi
[ "$arch" = i686 ] && wine=/usr/lib/wine/wine || wine=/usr/lib/wine/wine64
export WINEPREFIX="${WINEPREFIX:-$BUILD_ROOT/wine-run}" WINEDEBUG="${WINEDEBUG:--all}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$exe" "$@"
fi
exec "$wine" "$exe" "$@"
