#!/usr/bin/env bash
# The .deb as a user gets it: built by CPack, unpacked, its files, fields, menu entry, metainfo
# and manual pages checked, and its programs run (one operation on the simulated board).
# Usage: package_test.sh BUILD_DIR VERSION with-cli|without-cli
set -euo pipefail
source "$(dirname "$0")/../gui_session.sh" # wait_for

build=$1 version=$2 cli=$3
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli man; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/test.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
board_pid=
trap '[ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- Build and unpack -------------------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$work"/out/brindle_"$version"_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || { ls "$work/out"; echo "FAIL: no single brindle_${version}_*.deb"; exit 1; }
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root"

# --- Lintian (no errors, no warnings; an empty long description is one), the dependencies ----
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian"; }
depends=$(dpkg-deb -f "$deb" Depends)
# shlibdeps must have found Qt's libraries; the grid's font and Qt's plugins are named by hand.
for dep in fonts-nanum qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-psql libqt6widgets6 libqt6serialport6 libc6; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done

# --- Files (the programs, manual pages, menu entry, metainfo and MIME type are read below) ---
exes=(brindle brindle-board)
[ "$cli" = with-cli ] && exes+=(brindle-cli)
expected=(usr/share/icons/hicolor/scalable/apps/brindle.svg usr/share/doc/brindle/changelog.gz
          usr/share/doc/brindle/examples/blink.hex)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/brindle.png")
done
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "missing $file"
done
grep -q "^License: MIT" "$root/usr/share/doc/brindle/copyright" || fail "copyright names no MIT licence"

# --- Menu entry, metainfo, manual pages ---------------------------------------------------
desktop=$root/usr/share/applications/org.brindle.brindle.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.brindle.brindle.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli validate"; }
# The menu's two commands, the file it opens passed on (%f), HEX files offered to it.
for line in 'Exec=brindle %f' 'Exec=brindle --simulate' 'MimeType=text/x-hex;'; do
    grep -qxF "$line" "$desktop" || fail "the menu entry lacks $line"
done
grep -q '<mime-type type="text/x-hex">' "$root/usr/share/mime/packages/org.brindle.brindle.xml" &&
    grep -q '<glob pattern="\*.hex"/>' "$root/usr/share/mime/packages/org.brindle.brindle.xml" ||
    fail "the package does not tell the MIME database that *.hex is text/x-hex"
for exe in "${exes[@]}"; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/$exe.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page of $exe: $warnings"
done

# --- The unpacked programs ------------------------------------------------------------------
for exe in "${exes[@]}"; do
    out=$("$root/usr/bin/$exe" --version 2>&1) || fail "$exe --version failed"
    [ "$out" = "$exe $version" ] || fail "$exe --version printed '$out'"
done
# One operation on the unpacked simulated board: brindle-cli's BLANK of a fresh chip.
"$root/usr/bin/brindle-board" --chip AT89C2051 >"$work/board.out" 2>&1 &
board_pid=$!
wait_for 10 test -s "$work/board.out" || true
device=$(head -n 1 "$work/board.out")
if [ ! -c "$device" ]; then
    fail "brindle-board printed no device: $(cat "$work/board.out")"
elif [ "$cli" = with-cli ]; then
    out=$(timeout 30 "$root/usr/bin/brindle-cli" -p "$device" blank 2>&1) || fail "brindle-cli blank: $out"
    grep -q "blank: ok" <<<"$out" || fail "brindle-cli blank printed: $out"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package $(basename "$deb") checked"
