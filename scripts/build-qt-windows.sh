#!/usr/bin/env bash
# Builds the Qt for Windows that scripts/windows.sh uses, from source, on Debian 12 (about an
# hour on 2 cores): Qt 6.4.2 for x86_64-w64-mingw32 with Debian's MinGW-w64 (posix threads),
# against Debian's own Qt 6.4.2 host tools (moc, rcc, uic), so both builds share one Qt.
#   qtbase:       Debian's source package qt6-base 6.4.2+dfsg (apt-get source), with Qt SQL and
#                 its SQLite and ODBC drivers
#   SQLite:       Debian's source package sqlite3 3.40.1 (apt-get source), as bin/sqlite3.dll:
#                 Debian's qtbase source carries no SQLite, so Qt's SQLite driver links to it
#   qtserialport: the Qt project's qtserialport at tag v6.4.2, as a tarball (first argument;
#                 by default ../shared/windows/qtserialport-6.4.2.tar.xz)
# usage: build-qt-windows.sh [QTSERIALPORT_TARBALL [OUT_DIR]]
# Leaves OUT_DIR/qt-6.4.2-mingw-w64.tar.xz (OUT_DIR: build-windows/qt-source); use it with
# BRINDLE_QT_WINDOWS=OUT_DIR bash scripts/windows.sh
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/deps.sh"
serial_tarball=$(realpath "${1:-$ROOT/../shared/windows/qtserialport-6.4.2.tar.xz}")
out=$(realpath -m "${2:-$ROOT/build-windows/qt-source}")
install_missing dpkg-dev g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools cmake ninja-build xz-utils \
    gcc make tcl

# apt-get source needs the source lists; Debian 12's are added beside the binary ones.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee /etc/apt/sources.list.d/brindle-src.sources >/dev/null
    $sudo apt-get update -qq
fi
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq qt6-base sqlite3 >/dev/null)
base=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
sqlite=$(find "$work" -maxdepth 1 -type d -name 'sqlite3-*' | head -1)
mkdir -p "$work/serial"
tar -xJf "$serial_tarball" -C "$work/serial" --strip-components=1
prefix="$work/qt-6.4.2-mingw-w64"

# SQLite: the amalgamation its own build generates (host tools), compiled as a DLL with MinGW.
mkdir -p "$work/sqlite" "$prefix/bin" "$prefix/lib" "$prefix/include"
(cd "$work/sqlite" && "$sqlite/configure" --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_DQS=0 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_COLUMN_METADATA \
    -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_ENABLE_DBSTAT_VTAB -shared \
    "$work/sqlite/sqlite3.c" -o "$prefix/bin/sqlite3.dll" -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a"
cp "$work/sqlite/sqlite3.h" "$sqlite/src/sqlite3ext.h" "$prefix/include/"

cat > "$work/mingw.cmake" <<'T'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
T
# Debian's dfsg source drops Qt's copy of the WinTab headers that the windows platform plugin
# needs for tablet input; Wine's LGPL wintab.h and pktdef.h (package libwine-dev) stand in,
# with the two macros Wine's own headers would have given them.
if [ ! -f "$base/src/3rdparty/wintab/wintab.h" ]; then
    (cd "$work" && apt-get download libwine-dev >/dev/null && dpkg-deb -x libwine-dev_*.deb winedev)
    mkdir -p "$base/src/3rdparty/wintab"
    cp "$work/winedev/usr/include/wine/wine/windows/pktdef.h" "$base/src/3rdparty/wintab/"
    cp "$work/winedev/usr/include/wine/wine/windows/wintab.h" "$base/src/3rdparty/wintab/wine_wintab.h"
    cat > "$base/src/3rdparty/wintab/wintab.h" <<'W'
#ifndef BRINDLE_WINE_WINTAB_H
#define BRINDLE_WINE_WINTAB_H
#include <windows.h>
#ifndef DECL_WINELIB_TYPE_AW
# ifdef UNICODE
#  define DECL_WINELIB_TYPE_AW(type) typedef type##W type;
# else
#  define DECL_WINELIB_TYPE_AW(type) typedef type##A type;
# endif
#endif
#ifndef API
# define API WINAPI
#endif
#include "wine_wintab.h"
#endif
W
fi
host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
cmake -S "$base" -B "$work/qtbase" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" "${host[@]}" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dbus=OFF \
    -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON -DFEATURE_sql_odbc=ON \
    -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF \
    -DSQLite3_INCLUDE_DIR="$prefix/include" -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.dll.a" \
    -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF
cmake --build "$work/qtbase" --parallel "$(nproc)"
cmake --install "$work/qtbase"
# The toolchain file that ships inside the prefix adds its own folder to the find root, so the
# prefix can be unpacked anywhere.
sed 's#^set(CMAKE_FIND_ROOT_PATH .*#list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${CMAKE_CURRENT_LIST_DIR}")#' \
    "$work/mingw.cmake" > "$prefix/mingw-w64.cmake"
cmake -S "$work/serial" -B "$work/qtserialport" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" "${host[@]}" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
cmake --build "$work/qtserialport" --parallel "$(nproc)"
cmake --install "$work/qtserialport"
rm -rf "$prefix/doc"
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} \;
tar -cJf "$out/qt-6.4.2-mingw-w64.tar.xz" -C "$work" qt-6.4.2-mingw-w64
echo "Made $out/qt-6.4.2-mingw-w64.tar.xz"
