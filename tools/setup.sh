#!/usr/bin/env bash
# One-time machine set-up and dependency build for the cross-compiled Windows build.
# Safe to run again: every step checks whether it is already done.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LUMSEK_BUILD:-$ROOT/build}"
DEPS="${LUMSEK_DEPS:-$BUILD/deps}"

APT_PACKAGES=(
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth cmake make file
  libboost-regex1.81-dev libz-mingw-w64-dev googletest
  ntfs-3g fonts-wqy-microhei dpkg-dev locales python3
  xdotool x11-apps x11-utils imagemagick xcompmgr openbox
  xfwm4 metacity dbus ccache
)

log() { printf "[setup] %s\n" "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
  local p out=()
  for p in "${APT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  printf '%s\n' "${out[@]}"
}

ensure_deb_src() {
  local f=/etc/apt/sources.list.d/lumsek-src.sources
  [ -f "$f" ] && return 0
  if grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list; then
    return 0
  fi
  log "adding a deb-src entry for the Debian archive"
  as_root tee "$f" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  NEED_UPDATE=1
}

install_packages() {
  NEED_UPDATE=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    as_root dpkg --add-architecture i386
    NEED_UPDATE=1
  fi
  ensure_deb_src
  local missing
  missing="$(missing_packages)"
  if [ -z "$missing" ] && [ "$NEED_UPDATE" -eq 0 ]; then
    log "packages present"
    return 0
  fi
  log "installing: $(echo $missing)"
  # A mirror caught mid-sync fails one list now and then: try again, and go on
  # to the install when only some lists failed (it fails itself if it must).
  local i
  for i in 1 2 3; do
    as_root apt-get update -qq && break
    log "apt-get update failed (try $i of 3)"
    sleep 10
  done
  [ -z "$missing" ] && return 0
  # shellcheck disable=SC2086
  apt_install $missing && return 0
  # A suite whose list for one architecture could not be fetched (a security
  # or updates mirror mid-sync) leaves the i386 twins of installed amd64
  # libraries without a matching version, and apt gives up on "held broken
  # packages". The release's own suite has every architecture in step.
  local release
  release="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")"
  [ -n "$release" ] || return 1
  log "the install failed; trying again with the packages of the $release suite preferred (a mirror may be mid-sync)"
  # shellcheck disable=SC2086
  apt_install -o APT::Default-Release="$release" $missing
}

apt_install() { # [apt options...] packages...
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@"
}

ensure_locales() {
  # Wine takes the system code page from the Linux locale: zh_CN.UTF-8 gives
  # code page 936, en_US.UTF-8 gives 1252. Both must exist.
  local have want=()
  have="$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')"
  echo "$have" | grep -qx 'zh_cn.utf8' || want+=("zh_CN.UTF-8 UTF-8")
  echo "$have" | grep -qx 'en_us.utf8' || want+=("en_US.UTF-8 UTF-8")
  [ ${#want[@]} -eq 0 ] && return 0
  log "generating locales: ${want[*]}"
  local l
  for l in "${want[@]}"; do
    grep -qxF "$l" /etc/locale.gen 2>/dev/null || echo "$l" | as_root tee -a /etc/locale.gen >/dev/null
  done
  as_root locale-gen >/dev/null
}

fetch_source() { # name -> prints extracted folder
  local name="$1" dir
  mkdir -p "$DEPS/src"
  dir="$(find "$DEPS/src" -maxdepth 1 -type d -name "$name-*" | head -n1)"
  if [ -z "$dir" ]; then
    log "fetching the Debian source of $name"
    (cd "$DEPS/src" && apt-get source -qq "$name" >/dev/null 2>&1 || apt-get source "$name")
    dir="$(find "$DEPS/src" -maxdepth 1 -type d -name "$name-*" | head -n1)"
  fi
  [ -n "$dir" ] || { echo "source of $name not found" >&2; exit 1; }
  echo "$dir"
}

build_tinyxml() {
  local src
  src="$(fetch_source tinyxml)"
  ln -sfn "$src" "$DEPS/tinyxml-src"
}

build_curl() { # arch
  local arch="$1" prefix="$DEPS/curl-$1"
  [ -f "$prefix/lib/libcurl.a" ] && { log "libcurl built"; return 0; }
  local src
  src="$(fetch_source curl)"
  log "building libcurl for $arch (static, Schannel)"
  cmake -S "$src" -B "$DEPS/curl-build-$arch" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_LIBPSL=OFF -DUSE_WIN32_IDN=OFF \
    -DENABLE_MANUAL=OFF -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none >"$DEPS/curl-configure-$arch.log" 2>&1 \
    || { tail -n 40 "$DEPS/curl-configure-$arch.log"; exit 1; }
  cmake --build "$DEPS/curl-build-$arch" -j"$(nproc)" >"$DEPS/curl-build-$arch.log" 2>&1 \
    || { tail -n 40 "$DEPS/curl-build-$arch.log"; exit 1; }
  cmake --install "$DEPS/curl-build-$arch" >/dev/null
}

boost_include() {
  # A folder holding only a link to the Boost headers, so no other Linux header
  # can leak into the Windows build through the include path.
  mkdir -p "$DEPS/boost-include"
  ln -sfn /usr/include/boost "$DEPS/boost-include/boost"
}

install_packages
ensure_locales
mkdir -p "$DEPS"
boost_include
build_tinyxml
# The product is 32-bit. The 64-bit build serves only to run the tests on
# machines whose kernel cannot start 32-bit Linux programs (and so no wine32).
for arch in ${LUMSEK_ARCHS:-i686 x86_64}; do
  build_curl "$arch"
done
log "dependencies ready in $DEPS"
