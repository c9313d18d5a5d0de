#!/usr/bin/env bash
# Cross-builds Brindle for 64-bit Windows on Debian 12 and leaves in build-windows/ a folder
# ready to run (brindle-VERSION-win64/), its zip and its installer.
#   bash scripts/windows.sh         build, folder, zip, installer
#   bash scripts/windows.sh test    the same build with its tests, run under Wine
# The Qt for Windows comes from ../shared/windows/qt-6.4.2-mingw-w64.tar.xz, or from
# BRINDLE_QT_WINDOWS: an unpacked Qt prefix, or a folder holding that tarball
# (scripts/build-qt-windows.sh makes one from source).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/deps.sh"
mode=${1:-package}
case "$mode" in package|test) ;; *) echo "usage: $0 [test]" >&2; exit 2 ;; esac

WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 nsis ninja-build)
# The tests' PostgreSQL server is the Linux one; Wine's odbc32 reaches it through the host's
# unixODBC and its PostgreSQL driver.
[ "$mode" = test ] && WINDOWS_PACKAGES+=(xvfb xauth xdotool x11-utils imagemagick postgresql unixodbc odbc-postgresql)
install_missing "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"

OUT="$ROOT/build-windows"
mkdir -p "$OUT"
qt_tarball=qt-6.4.2-mingw-w64.tar.xz
source_dir=${BRINDLE_QT_WINDOWS:-$ROOT/../shared/windows}
if [ -f "$source_dir/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    QT="$(cd "$source_dir" && pwd)"
elif [ -f "$source_dir/$qt_tarball" ]; then
    QT="$OUT/qt-6.4.2-mingw-w64"
    stamp="$OUT/.qt-unpacked"
    if [ ! -f "$stamp" ] || [ "$source_dir/$qt_tarball" -nt "$stamp" ]; then
        echo "Unpacking $source_dir/$qt_tarball"
        rm -rf "$QT"
        tar -xJf "$source_dir/$qt_tarball" -C "$OUT"
        touch "$stamp"
    fi
else
    echo "No Qt for Windows: neither $source_dir/$qt_tarball nor a Qt prefix in $source_dir." >&2
    echo "Set BRINDLE_QT_WINDOWS, or build one with scripts/build-qt-windows.sh." >&2
    exit 1
fi

options=(-DBRINDLE_TESTS=OFF)
if [ "$mode" = test ]; then
    # The end-to-end runs drive the Windows programs against the Linux simulated board.
    configure_and_build "$ROOT/build" brindle-board
    options=(-DBRINDLE_TESTS=ON "-DBRINDLE_HOST_BOARD=$ROOT/build/board/brindle-board")
fi
cmake -S "$ROOT" -B "$OUT/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$QT" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBRINDLE_BENCH=OFF "${options[@]}" >/dev/null
cmake --build "$OUT/build" -j"$(nproc)"

if [ "$mode" = test ]; then
    cd "$OUT/build"
    exec ctest --output-on-failure -j2
fi

version=$(sed -n 's/^project(Brindle VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
folder="$OUT/brindle-$version-win64"
rm -rf "$folder"
cmake --install "$OUT/build" --prefix "$folder" >/dev/null
(cd "$OUT/build" && cpack -G "ZIP;NSIS" >/dev/null && cp -f brindle-"$version"-win64.zip brindle-"$version"-win64.exe "$OUT/")
echo "Ready to run: $folder/brindle.exe"
echo "Zip:          $OUT/brindle-$version-win64.zip"
echo "Installer:    $OUT/brindle-$version-win64.exe"
