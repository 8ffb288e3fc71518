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
# resource folder res\. Counts the files it wrote in INSTALL_REPLACED.
install_program() { # bin-dir prefix
  local bin="$1" dest file
  dest="$(program_folder "$2")"
  INSTALL_REPLACED=0
  mkdir -p "$dest/res"
  install_file "$bin/lumsek.exe" "$dest/lumsek.exe" || return 1
  install_file "$bin/searchfile.dll" "$dest/searchfile.dll" || return 1
  if [ -f "$bin/Lumsek.dll" ]; then install_file "$bin/Lumsek.dll" "$dest/Lumsek.dll" || return 1; fi
  if [ -d "$ROOT/resources/res" ]; then
    while IFS= read -r -d '' file; do
      mkdir -p "$dest/res/$(dirname "$file")"
      install_file "$ROOT/resources/res/$file" "$dest/res/$file" || return 1
    done < <(cd "$ROOT/resources/res" && find . -type f -print0)
  fi
}

# Puts <source> at <target>, which a running program may have mapped: Wine
# maps a program's image and DLLs from their files, and a file written in
# place under a running program ends it, even with the same bytes (a copy
# onto the running lumsek.exe killed it at its next search). So a target
# that already holds the source's bytes is left alone, and a changed one is
# written beside it under a temporary name and renamed into place: the
# running program keeps its old file, the next start finds the new one.
install_file() { # source target
  local tmp
  cmp -s "$1" "$2" && return 0
  tmp="$(dirname "$2")/.$(basename "$2").installing"
  rm -f "$tmp"
  if cp "$1" "$tmp" && mv -f "$tmp" "$2"; then
    INSTALL_REPLACED=$((INSTALL_REPLACED + 1))
    return 0
  fi
  rm -f "$tmp"
  return 1
}

# Prints the id of a process that runs the lumsek.exe of <prefix>: one named
# lumsek.exe that has the program folder's lumsek.exe mapped (Wine maps the
# image from its file; once a new file was renamed over it, the mapping's path
# ends in " (deleted)"), or one that was started with this WINEPREFIX. Fails
# when none runs.
running_program_pid() { # prefix
  local prefix exe pid started
  prefix="$(realpath -m "$1")"
  exe="$(program_folder "$prefix")/lumsek.exe"
  # Wine names its processes after their programs (at most 15 characters).
  for pid in $(pgrep -x -i -u "$(id -u)" 'lumsek\.exe'); do
    # The path is the rest of a maps line from its first slash. grep reads
    # to the end (no -q): under pipefail an early exit would fail the pipe.
    if sed 's|^[^/]*||' "/proc/$pid/maps" 2>/dev/null | grep -Fx -e "$exe" -e "$exe (deleted)" >/dev/null; then
      echo "$pid"
      return 0
    fi
    started="$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | sed -n 's/^WINEPREFIX=//p')" || started=""
    if [ -n "$started" ] && [ "$(realpath -m "$started")" = "$prefix" ]; then
      echo "$pid"
      return 0
    fi
  done
  return 1
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

# Lumsek is made for the Chinese code page (936): the names in its index are
# ANSI texts of that code page, and its skins draw with the face "微软雅黑"
# (Microsoft YaHei). Wine takes the code page from the Linux locale, so the
# program runs in zh_CN.UTF-8 whatever the caller's locale is (under C.UTF-8
# Chinese names would become '?' and the UI's text boxes).
PROGRAM_LOCALE=zh_CN.UTF-8
# The installed CJK font (fonts-wqy-microhei) that draws that face.
PROGRAM_FONT="WenQuanYi Micro Hei"

use_program_locale() {
  # grep reads to the end (no -q): under pipefail an early exit would fail
  # the pipe.
  if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -x 'zh_cn.utf8' >/dev/null; then
    echo "the locale $PROGRAM_LOCALE is not installed (tools/setup.sh generates it)" >&2
    return 1
  fi
  export LANG="$PROGRAM_LOCALE" LC_ALL="$PROGRAM_LOCALE"
  unset LANGUAGE
}

# Makes Wine draw the skins' face with the installed CJK font, through the
# prefix's font replacements (a face that is not installed takes the
# replacement's glyphs and metrics). Call it once the drives are mapped and
# $DISPLAY is set: a Wine session it starts lives on into the program's
# start, and a session sees only the drives mapped when it began and keeps
# the display its desktop began with.
use_program_font() { # prefix wine-loader
  local face
  if ! fc-list : family 2>/dev/null | grep -F "$PROGRAM_FONT" >/dev/null; then
    echo "the font $PROGRAM_FONT is not installed (tools/setup.sh installs fonts-wqy-microhei)" >&2
    return 1
  fi
  # Wine keeps the names in user.reg as \x escapes: 微软雅黑 is \x5fae\x8f6f\x96c5\x9ed1.
  grep -qF "\"\\x5fae\\x8f6f\\x96c5\\x9ed1\"=\"$PROGRAM_FONT\"" "$1/user.reg" 2>/dev/null && return 0
  for face in "微软雅黑" "Microsoft YaHei"; do
    # The face name reaches Wine through the command line: a UTF-8 locale.
    LC_ALL="$PROGRAM_LOCALE" WINEPREFIX="$1" WINEDEBUG=-all "$2" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
      /v "$face" /d "$PROGRAM_FONT" /f >/dev/null 2>&1 || { echo "could not set the font replacement of $face" >&2; return 1; }
  done
}

# Starts a private Xvfb display (1280x1024, 24 bits) that picks its own free
# number; sets XVFB_PID and exports DISPLAY. Files go to <work-dir>.
start_xvfb() { # work-dir
  local i
  exec 3>"$1/display"
  # -fbdir: the frame buffer as a file, read by capture_screen; -nocursor
  # keeps the pointer's picture out of it.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -fbdir "$1" -nocursor -nolisten tcp >"$1/xvfb.log" 2>&1 &
  XVFB_PID=$!
  XVFB_SCREEN="$1/Xvfb_screen0"
  exec 3>&-
  for ((i = 0; i < 100; i++)); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || { echo "Xvfb did not start"; cat "$1/xvfb.log"; return 1; }
  export DISPLAY=":$(head -n1 "$1/display")"
}

# Copies what the screen shows to <file>, an xwd picture: Xvfb's frame
# buffer, where the compositor has blended the half-transparent windows.
# `xwd -root` is no substitute: X leaves the root's image undefined where a
# window of another depth lies, and Xvfb returns such a window's own pixels,
# so the bar's soft edges and the shadows would read as dark, unblended.
capture_screen() { # file
  [ -s "${XVFB_SCREEN:-}" ] || { echo "no frame buffer of the display to read" >&2; return 1; }
  cp "$XVFB_SCREEN" "$1"
}

# Starts the desktop a user has on <work-dir>'s display: a window manager and
# its compositor; sets DESKTOP_PIDS. LUMSEK_WM picks the desktop: openbox
# (the default) with the xcompmgr compositor, xfwm4 (XFCE's, compositing
# itself, inside a D-Bus session of its own) or metacity (GNOME's classic
# session, compositing itself). Waits until the window manager has taken the
# screen, so the first window is managed, and until the compositor runs, so
# the first window is drawn through it.
start_desktop() { # work-dir
  local i wm="${LUMSEK_WM:-openbox}"
  DESKTOP_PIDS=""
  case "$wm" in
    openbox) openbox --sm-disable >"$1/wm.log" 2>&1 & ;;
    # A session of its own, so that stop_desktop ends the D-Bus daemon and the
    # services it started along with the window manager.
    xfwm4) setsid dbus-run-session -- xfwm4 --compositor=on --sm-client-disable >"$1/wm.log" 2>&1 & ;;
    metacity) metacity --composite --sm-disable >"$1/wm.log" 2>&1 & ;;
    *) echo "unknown window manager $wm (openbox, xfwm4 or metacity)" >&2; return 1 ;;
  esac
  DESKTOP_PIDS="$!"
  for ((i = 0; i < 150; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' \
    || { echo "the window manager $wm did not start:"; cat "$1/wm.log"; return 1; }
  if [ "$wm" = openbox ]; then
    xcompmgr >"$1/xcompmgr.log" 2>&1 &
    DESKTOP_PIDS="$DESKTOP_PIDS $!"
    for ((i = 0; i < 50; i++)); do
      xwininfo -root -children 2>/dev/null | grep -q '"xcompmgr"' && break
      sleep 0.1
    done
  else
    # xfwm4 and metacity composite themselves and start their compositor as
    # they take the screen; give it a moment to redirect the windows.
    sleep 1
  fi
}

stop_desktop() {
  local p
  for p in ${DESKTOP_PIDS:-}; do
    # A session leader takes its whole process group along.
    if [ "$(ps -o sid= -p "$p" 2>/dev/null | tr -d ' ')" = "$p" ]; then
      kill -- "-$p" 2>/dev/null || true
    else
      kill "$p" 2>/dev/null || true
    fi
  done
  DESKTOP_PIDS=""
}

# Lets Wine manage the prefix's windows again (the window manager places
# and stacks them), undoing the bare-display setting of the test prefix.
use_managed_windows() { # prefix
  local reg="$1/user.reg"
  [ -f "$reg" ] && sed -i '/^"Managed"="N"/d' "$reg"
  return 0
}
