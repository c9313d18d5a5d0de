#!/usr/bin/env bash
# The .deb as a user gets it: built by CPack, unpacked, its files, fields, menu entry, metainfo
# and manual pages checked, and its programs run (one operation on the simulated board).
# Usage: package_test.sh BUILD_DIR VERSION with-cli|without-cli
set -euo pipefail

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
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
debs=("$work"/out/brindle_"$version"_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || { ls "$work/out"; echo "FAIL: no single brindle_${version}_*.deb"; exit 1; }
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root"

# --- Lintian: no errors, no warnings (its informational tags are not checked) -----------------
if ! lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log"
    fail "lintian"
fi

# --- Control fields ------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = brindle ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', expected $version"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
depends=$(field Depends)
# shlibdeps must have found Qt's libraries; the grid's font is named by hand.
for dep in fonts-nanum qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-psql libqt6widgets6 libqt6serialport6 libc6; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"

# --- Files ----------------------------------------------------------------------------------
exes=(brindle brindle-board)
[ "$cli" = with-cli ] && exes+=(brindle-cli)
expected=(
    usr/share/applications/org.brindle.brindle.desktop
    usr/share/mime/packages/org.brindle.brindle.xml
    usr/share/metainfo/org.brindle.brindle.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/brindle.svg
    usr/share/doc/brindle/copyright
    usr/share/doc/brindle/changelog.gz
    usr/share/doc/brindle/examples/blink.hex
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/brindle.png")
done
for exe in "${exes[@]}"; do
    expected+=("usr/bin/$exe" "usr/share/man/man1/$exe.1.gz")
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
# Every command the menu offers runs a program the package installs.
while IFS= read -r exec_line; do
    program=${exec_line#Exec=}
    program=${program%% *}
    [ -x "$root/usr/bin/$program" ] || fail "menu command '$exec_line' names no installed program"
done < <(grep '^Exec=' "$desktop")
grep -q '^Exec=brindle --simulate$' "$desktop" || fail "no menu action starts the simulated board"
# A HEX file opened from the file manager reaches the window as its argument.
grep -q '^Exec=brindle %f$' "$desktop" || fail "the entry does not pass the file it opens (%f)"
grep -q '^MimeType=text/x-hex;$' "$desktop" || fail "the entry does not offer to open HEX files (MimeType)"
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
"$root/usr/bin/brindle-board" --help >"$work/help.txt" || fail "brindle-board --help failed"
grep -q -- "--chip NAME" "$work/help.txt" || fail "brindle-board --help lists no --chip"

# One operation on the unpacked simulated board: brindle-cli's BLANK of a fresh chip.
"$root/usr/bin/brindle-board" --chip AT89C2051 >"$work/board.out" 2>&1 &
board_pid=$!
for _ in $(seq 100); do # up to 10 s for the board to print its device
    device=$(head -n 1 "$work/board.out") && [ -n "$device" ] && break
    sleep 0.1
done
if [ -z "$device" ] || [ ! -c "$device" ]; then
    fail "brindle-board printed no device: $(cat "$work/board.out")"
elif [ "$cli" = with-cli ]; then
    out=$(timeout 30 "$root/usr/bin/brindle-cli" -p "$device" blank 2>&1) || fail "brindle-cli blank: $out"
    grep -q "blank: ok" <<<"$out" || fail "brindle-cli blank printed: $out"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package $(basename "$deb") checked"
