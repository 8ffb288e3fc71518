# Shared by tools/test.sh and tools/run.sh.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${LUMSEK_BUILD:-$ROOT/build}"
export LUMSEK_BUILD="$BUILD_ROOT"

# The product is 32-bit x86. Wine runs 32-bit programs only where the kernel
# can start 32-bit Linux programs (wine32); elsewhere the 64-bit build of the
# same sources is what runs.
wine32_works() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

run_arch() {
  if wine32_works; then echo i686; else echo x86_64; fi
}

configure_and_build() { # arch [targets...]
  local arch="$1"; shift
  local dir="$BUILD_ROOT/$arch"
  # ccache, where installed, keeps rebuilds of an unchanged tree short; paths
  # under the tree are hashed relative to it, so other checkouts share hits.
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$ROOT"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$dir" -G "Unix Makefiles" "${launcher[@]}" \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DLUMSEK_DEPS_DIR="${LUMSEK_DEPS:-$BUILD_ROOT/deps}" >/dev/null
  else
    cmake "$dir" >/dev/null
  fi
  if [ $# -gt 0 ]; then
    local t
    for t in "$@"; do cmake --build "$dir" -j"$(nproc)" --target "$t"; done
  else
    cmake --build "$dir" -j"$(nproc)"
  fi
}

# The program folder of an installed Lumsek inside a Wine prefix.
program_folder() { # prefix
  echo "$1/drive_c/Program Files/Lumsek"
}

# Copies the built program into <prefix>'s C:\Program Files\Lumsek the way an
# installation lays it out: lumsek.exe with its DLLs beside it and the
# resource folder res\.
install_program() { # bin-dir prefix
  local bin="$1" dest
  dest="$(program_folder "$2")"
  mkdir -p "$dest/res"
  cp "$bin/lumsek.exe" "$bin/searchfile.dll" "$dest/"
  if [ -f "$bin/Lumsek.dll" ]; then cp "$bin/Lumsek.dll" "$dest/"; fi
  if [ -d "$ROOT/resources/res" ]; then cp -r "$ROOT/resources/res/." "$dest/res/"; fi
}

# Points drive <letter> of <prefix> at a Linux folder (made when missing).
map_drive() { # prefix letter folder
  local link="$1/dosdevices/$(echo "$2" | tr 'A-Z' 'a-z'):"
  mkdir -p "$3"
  rm -f "$link"
  ln -s "$(cd "$3" && pwd)" "$link"
}

wine_loader() { # arch
  if [ "$1" = i686 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

# Makes <prefix> once, without Wine's set-up prompts (no Mono, no Gecko).
make_prefix() { # prefix wine-loader
  [ -f "$1/system.reg" ] && return 0
  echo "making the Wine prefix $1"
  WINEPREFIX="$1" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all "$2" wineboot -i >/dev/null 2>&1
  WINEPREFIX="$1" wineserver -w
}

# Starts a private Xvfb display (1280x1024, 24 bits) that picks its own free
# number; sets XVFB_PID and exports DISPLAY. Files go to <work-dir>.
start_xvfb() { # work-dir
  local i
  exec 3>"$1/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$1/xvfb.log" 2>&1 &
  XVFB_PID=$!
  exec 3>&-
  for ((i = 0; i < 100; i++)); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || { echo "Xvfb did not start"; cat "$1/xvfb.log"; return 1; }
  export DISPLAY=":$(head -n1 "$1/display")"
}

# Starts the desktop a user has on <work-dir>'s display: the openbox window
# manager and the xcompmgr compositor; sets DESKTOP_PIDS. Waits until the
# window manager has taken the screen, so the first window is managed, and
# until the compositor has made its window, so the first window is drawn
# through it.
start_desktop() { # work-dir
  local i
  DESKTOP_PIDS=""
  openbox --sm-disable >"$1/openbox.log" 2>&1 &
  DESKTOP_PIDS="$!"
  for ((i = 0; i < 100; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  xcompmgr >"$1/xcompmgr.log" 2>&1 &
  DESKTOP_PIDS="$DESKTOP_PIDS $!"
  for ((i = 0; i < 50; i++)); do
    xwininfo -root -children 2>/dev/null | grep -q '"xcompmgr"' && break
    sleep 0.1
  done
}

stop_desktop() {
  local p
  for p in ${DESKTOP_PIDS:-}; do kill "$p" 2>/dev/null || true; done
  DESKTOP_PIDS=""
}

# Lets Wine manage the prefix's windows again (the window manager places
# and stacks them), undoing the bare-display setting of the test prefix.
use_managed_windows() { # prefix
  local reg="$1/user.reg"
  [ -f "$reg" ] && sed -i '/^"Managed"="N"/d' "$reg"
  return 0
}
