#!/usr/bin/env bash
# Prepares this machine (Debian 12, as root) to build, test and demo the program:
# system packages, libpng and GoogleTest for the mingw target, the private Wine prefix.
# Idempotent: every step checks whether its result is already there.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CACHE="${VEXA_CACHE:-/var/cache/vexa-build}"
PREFIX_DIR="${VEXA_WINEPREFIX:-${VEXA_BUILD_DIR:-$ROOT/build}/wineprefix}"

PACKAGES=(
  cmake ninja-build make pkg-config git ca-certificates
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  wine wine64
  xvfb xauth x11-utils imagemagick xdotool fonts-wqy-zenhei
  googletest
  clang libclang-rt-14-dev
  python3 python3-pil
  libpng-dev libsodium-dev autoconf automake libtool
  libsqlite3-dev sqlite3 lldb-14 llvm-14 osslsigncode openssl
  libboost-dev libtorrent-rasterbar-dev python3-libtorrent opentracker
  nginx-light aria2 curl iproute2 time
  ccache stress-ng
)

log() { printf '[setup] %s\n' "$*" >&2; }

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Debian source tarball of a package, fetched once into DIR with a private sources list
# (the machine's own apt configuration is left alone).
fetch_source_tarball() {
  local pkg="$1" d="$2" pattern="$3"
  mkdir -p "$d"
  ls "$d"/$pattern >/dev/null 2>&1 && return 0
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$d/src.sources"
  mkdir -p "$d/lists/partial"
  local opts=(-o Dir::Etc::sourcelist="$d/src.sources" -o Dir::Etc::sourceparts=/dev/null
              -o Dir::State::Lists="$d/lists")
  apt-get "${opts[@]}" update -qq
  (cd "$d" && apt-get "${opts[@]}" source --download-only --tar-only "$pkg" >/dev/null)
}

# libpng 1.6 for the mingw target, from Debian's source package, cached.
build_libpng() {
  local out="$CACHE/libpng-mingw"
  [[ -f "$out/lib/libpng16.a" || -f "$out/lib/libpng.a" ]] && return 0
  log "building libpng for mingw"
  local d="$CACHE/libpng-src"
  fetch_source_tarball libpng1.6 "$d" 'libpng1.6_*.orig.tar.*'
  rm -rf "$d/src" && mkdir -p "$d/src"
  tar -xf "$d"/libpng1.6_*.orig.tar.* -C "$d/src" --strip-components=1
  cmake -S "$d/src" -B "$d/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_STATIC=ON \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >/dev/null
  cmake --build "$d/build" >/dev/null
  cmake --install "$d/build" >/dev/null
}

# libsodium for the mingw target (package signatures and file hashes), from Debian's
# source package, cached like libpng.
build_libsodium() {
  local out="$CACHE/libsodium-mingw"
  [[ -f "$out/lib/libsodium.a" ]] && return 0
  log "building libsodium for mingw"
  local d="$CACHE/libsodium-src"
  fetch_source_tarball libsodium "$d" 'libsodium_*.orig.tar.*'
  rm -rf "$d/src" && mkdir -p "$d/src"
  tar -xf "$d"/libsodium_*.orig.tar.* -C "$d/src" --strip-components=1
  # The tarball is the upstream tree without a generated configure script.
  (cd "$d/src" && autoreconf -fi >/dev/null 2>&1 &&
    ./configure --host=x86_64-w64-mingw32 --prefix="$out" CC=x86_64-w64-mingw32-gcc-posix \
      --disable-shared --enable-static --disable-ssp --with-pic=no >/dev/null &&
    make -j2 >/dev/null && make install >/dev/null)
}

# libtorrent-rasterbar for the mingw target, from Debian's source package, static, built
# against a private copy of Debian's Boost headers (never the host's /usr/include, which
# would drag host system headers into a Windows build). No OpenSSL: hashing goes through
# the Windows crypto API.
build_libtorrent() {
  local out="$CACHE/libtorrent-mingw"
  [[ -f "$out/lib/libtorrent-rasterbar.a" ]] && return 0
  log "building libtorrent-rasterbar for mingw (several minutes)"
  local d="$CACHE/libtorrent-src"
  fetch_source_tarball libtorrent-rasterbar "$d" 'libtorrent-rasterbar_*.orig.tar.*'
  local boost="$CACHE/boost-headers"
  if [[ ! -d "$boost/include/boost" ]]; then
    rm -rf "$boost" && mkdir -p "$boost/include"
    cp -r /usr/include/boost "$boost/include/boost"
  fi
  cat > "$d/toolchain.cmake" <<TC
include("$ROOT/cmake/mingw-w64.cmake")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "$boost")
TC
  rm -rf "$d/src" "$d/build" && mkdir -p "$d/src"
  tar -xf "$d"/libtorrent-rasterbar_*.orig.tar.* -C "$d/src" --strip-components=1
  cmake -S "$d/src" -B "$d/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$d/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_STANDARD=17 -DCMAKE_INSTALL_PREFIX="$out" \
    -DBUILD_SHARED_LIBS=OFF -Ddeprecated-functions=OFF \
    -DBoost_INCLUDE_DIR="$boost/include" -DBoost_NO_BOOST_CMAKE=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_OpenSSL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GnuTLS=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_LibGcrypt=ON >/dev/null
  nice -n 10 cmake --build "$d/build" -j 2 >/dev/null
  cmake --install "$d/build" >/dev/null
  rm -rf "$d/build" "$d/src"
}

# Private Wine prefix with Chinese font substitutes and without Mono/Gecko prompts.
make_wineprefix() {
  [[ -f "$PREFIX_DIR/.vexa-ready" ]] && return 0
  log "creating wine prefix $PREFIX_DIR"
  mkdir -p "$PREFIX_DIR"
  export WINEPREFIX="$PREFIX_DIR" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wineboot -i >/dev/null 2>&1 </dev/null || true
  local reg="$PREFIX_DIR/fonts.reg"
  python3 - "$reg" <<'PY'
import sys
text = ("Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"
        "\"宋体\"=\"WenQuanYi Zen Hei\"\r\n"
        "\"微软雅黑\"=\"WenQuanYi Zen Hei\"\r\n"
        "\"SimSun\"=\"WenQuanYi Zen Hei\"\r\n"
        "\"Microsoft YaHei\"=\"WenQuanYi Zen Hei\"\r\n\r\n")
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
  wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null || true
  wineserver -w || true
  touch "$PREFIX_DIR/.vexa-ready"
}

# Windows unmanaged by the (absent) window manager: without this, Wine waits two seconds
# for a window manager that never answers every time a visible window is hidden or
# destroyed, which makes every GUI test slow.
unmanaged_windows() {
  [[ -f "$PREFIX_DIR/.vexa-unmanaged" ]] && return 0
  WINEPREFIX="$PREFIX_DIR" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f >/dev/null 2>&1 </dev/null || return 0
  touch "$PREFIX_DIR/.vexa-unmanaged"
}

# Wine links the prefix's Desktop, Documents, ... to the host user's home folder: the
# program's desktop shortcut (and Wine's menu files for it) would land in that home. Tests
# keep them inside the prefix instead.
private_shell_folders() {
  local link
  for link in "$PREFIX_DIR"/drive_c/users/*/*; do
    [[ -L "$link" ]] || continue
    rm -f "$link" && mkdir -p "$link"
  done
}

# The PNG test images of libpng's source: the PNG suite and the known crashers.
copy_png_tests() {
  [[ -d "$CACHE/pngsuite/crashers" ]] && return 0
  local contrib="$CACHE/libpng-src/src/contrib"
  if [[ ! -d "$contrib/pngsuite" ]]; then
    mkdir -p "$CACHE/libpng-src/src"
    tar -xf "$CACHE"/libpng-src/libpng1.6_*.orig.tar.* -C "$CACHE/libpng-src/src" --strip-components=1
  fi
  rm -rf "$CACHE/pngsuite"
  cp -r "$contrib/pngsuite" "$CACHE/pngsuite"
  cp -r "$contrib/testpngs/crashers" "$CACHE/pngsuite/crashers"
}

install_packages
mkdir -p "$CACHE"
build_libpng
build_libsodium
build_libtorrent
copy_png_tests
make_wineprefix
unmanaged_windows
private_shell_folders
log "ready"
