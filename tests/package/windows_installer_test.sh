#!/usr/bin/env bash
# The Windows packages as a user gets them, under Wine in a throw-away prefix: the installer,
# built by CPack, run silently (files, Start-menu shortcuts, the uninstall entry, the installed
# programs), then the uninstaller (nothing left behind); and the portable zip, unpacked and run.
# Usage: windows_installer_test.sh BUILD_DIR VERSION OBJDUMP
set -euo pipefail

build=$1 version=$2 objdump=$3
if [ -z "${BRINDLE_WINE_DISPLAY:-}" ]; then
    for tool in cpack wine wineboot wineserver unzip xvfb-run xdotool; do
        command -v "$tool" >/dev/null || { echo "missing tool: $tool"; exit 1; }
    done
    # The window needs an X display. A bound on the whole run below ctest's, so that even a
    # wait missed here ends in a FAIL line.
    rc=0
    timeout 540 xvfb-run -a -s "-screen 0 1024x768x24" env BRINDLE_WINE_DISPLAY=1 bash "$0" "$@" || rc=$?
    [ "$rc" -ne 124 ] || echo "FAIL: the installer test did not end within 540 s"
    exit "$rc"
fi

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    # Ends whatever still runs in this prefix (an uninstaller's copy of itself, say).
    [ -d "$work/prefix" ] && WINEPREFIX=$work/prefix timeout 30 wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
stop() { echo "FAIL: $*"; exit 1; }

# Wine writes menu entries and caches under HOME; keep all of it in the throw-away folder, and
# let no first-run download (Mono, Gecko) or menu builder start.
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME QT_QPA_PLATFORM
mkdir -p "$HOME"

# Every wait below has its own bound and names what it waited for when the bound is reached.
wait_for() { # seconds command...: polls the command until it succeeds; fails at the bound
    local end=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        [ $SECONDS -lt "$end" ] || return 1
        sleep 0.5
    done
}
absent() { [ ! -e "$1" ]; }
ended() { ! kill -0 "$1"; }
run_win() { # seconds program args...: a console program's output, without Windows line ends
    local seconds=$1
    shift
    timeout "$seconds" wine "$@" 2>&1 | tr -d '\r'
}

# --- The packages ----------------------------------------------------------------------------
for generator in NSIS ZIP; do
    if ! cpack -G "$generator" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
        cat "$work/cpack.log"
        stop "cpack -G $generator"
    fi
done
installer=$work/out/brindle-$version-win64.exe
zip=$work/out/brindle-$version-win64.zip
[ -f "$installer" ] || stop "no brindle-$version-win64.exe: $(ls "$work/out")"
[ -f "$zip" ] || stop "no brindle-$version-win64.zip: $(ls "$work/out")"
# A 32-bit installer would not even start on a 64-bit-only Wine.
"$objdump" -f "$installer" | grep -q "file format pei-x86-64" || stop "the installer is not a 64-bit program"
echo "installer: $(stat -c %s "$installer") bytes, zip: $(stat -c %s "$zip") bytes"

unzip -q "$zip" -d "$work/zip"
[ "$(ls "$work/zip")" = "brindle-$version-win64" ] || fail "the zip's top level is not one folder brindle-$version-win64: $(ls "$work/zip")"
portable=$work/zip/brindle-$version-win64

timeout 180 wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; stop "wineboot -i did not set up the prefix within 180 s"; }

# --- Silent install --------------------------------------------------------------------------
dir="$WINEPREFIX/drive_c/Program Files/Brindle"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Brindle"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindle'
timeout 180 wine "$installer" /S >"$work/install.log" 2>&1 || { cat "$work/install.log"; stop "the installer failed or did not end within 180 s"; }
# The silent installer may hand its work on and return early; the uninstaller is written after
# every file, the shortcuts after it.
wait_for 60 test -f "$dir/Uninstall.exe" -a -f "$menu/Brindle with a Simulated Board.lnk" ||
    stop "no Uninstall.exe and shortcuts within 60 s of the installer's end; Program Files holds: $(ls "$WINEPREFIX/drive_c/Program Files")"
[ ! -e "$WINEPREFIX/drive_c/Program Files (x86)/Brindle" ] || fail "installed into Program Files (x86)"

for file in brindle.exe brindle-cli.exe Uninstall.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6SerialPort.dll \
            Qt6Sql.dll sqlite3.dll sqldrivers/qsqlite.dll sqldrivers/qsqlodbc.dll \
            libstdc++-6.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll LICENSE.txt licenses/Qt/LGPL-3.0-only.txt; do
    [ -f "$dir/$file" ] || fail "not installed: $file"
done
[ ! -e "$dir/brindle-board.exe" ] || fail "brindle-board.exe is installed"
# The installer and the zip hold the same program.
if ! diff <(cd "$dir" && find . -type f ! -name Uninstall.exe | sort) <(cd "$portable" && find . -type f | sort) >"$work/trees.diff"; then
    cat "$work/trees.diff"
    fail "the installed folder (<) and the zip (>) differ"
fi

# Shortcuts: a .lnk keeps its target, folder and arguments as UTF-16 text.
lnk_text() { tr -d '\0' <"$1" | tr -c '[:print:]' '\n'; }
for name in "Brindle" "Brindle with a Simulated Board"; do
    lnk="$menu/$name.lnk"
    if [ ! -f "$lnk" ]; then
        fail "no Start-menu shortcut '$name' in $(ls "$menu" 2>&1)"
        continue
    fi
    lnk_text "$lnk" >"$work/lnk.txt"
    grep -qxF 'C:\Program Files\Brindle\brindle.exe' "$work/lnk.txt" || fail "shortcut '$name' does not start C:\\Program Files\\Brindle\\brindle.exe"
    grep -qxF 'C:\Program Files\Brindle' "$work/lnk.txt" || fail "shortcut '$name' does not start in the program's folder"
    if [ "$name" = Brindle ]; then
        ! grep -q -- '--simulate' "$work/lnk.txt" || fail "shortcut 'Brindle' starts the simulated board"
    else
        grep -qx -- '--simulate' "$work/lnk.txt" || fail "shortcut '$name' does not pass --simulate"
    fi
done

# The entry Windows lists under installed programs, in the 64-bit registry.
timeout 60 wine reg query "$key" /reg:64 2>&1 | tr -d '\r' >"$work/reg.txt" || true
reg_value() { sed -n "s/^ *$1 *REG_SZ *//p" "$work/reg.txt"; }
[ "$(reg_value DisplayName)" = Brindle ] || fail "uninstall entry's DisplayName is '$(reg_value DisplayName)'; $key holds: $(cat "$work/reg.txt")"
[ "$(reg_value DisplayVersion)" = "$version" ] || fail "uninstall entry's DisplayVersion is '$(reg_value DisplayVersion)'"
[ "$(reg_value Publisher)" = "The Brindle developers" ] || fail "uninstall entry's Publisher is '$(reg_value Publisher)'"
[ "$(reg_value UninstallString)" = '"C:\Program Files\Brindle\Uninstall.exe"' ] ||
    fail "uninstall entry's UninstallString is '$(reg_value UninstallString)'"
[ "$(reg_value DisplayIcon)" = 'C:\Program Files\Brindle\brindle.exe' ] || fail "uninstall entry's DisplayIcon is '$(reg_value DisplayIcon)'"

# --- The installed programs ------------------------------------------------------------------
out=$(run_win 60 'C:\Program Files\Brindle\brindle-cli.exe' --version) || fail "installed brindle-cli --version failed or took over 60 s"
[ "$out" = "brindle-cli $version" ] || fail "installed brindle-cli --version printed '$out'"

# The window comes up only with its platform plugin found beside it.
wine 'C:\Program Files\Brindle\brindle.exe' >"$work/app.log" 2>&1 &
app_pid=$!
window_up() { xdotool search --onlyvisible --name "^Brindle " >/dev/null; }
wait_for 60 window_up ||
    fail "no window of the installed brindle.exe within 60 s: $(cat "$work/app.log")"
kill "$app_pid" 2>/dev/null || true
wait_for 20 ended "$app_pid" || fail "brindle.exe did not end within 20 s of SIGTERM"
wait "$app_pid" 2>/dev/null || true
app_pid=

# --- Silent uninstall ------------------------------------------------------------------------
# The uninstaller copies itself to the temporary folder, starts that copy and returns.
timeout 60 wine "$dir/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 ||
    { cat "$work/uninstall.log"; fail "Uninstall.exe failed or did not return within 60 s"; }
if ! wait_for 60 absent "$dir"; then
    fail "the install folder is still there 60 s after Uninstall.exe /S; it holds: $(cd "$dir" && find . | sort | tr '\n' ' ')"
fi
[ ! -e "$menu" ] || fail "the Start-menu folder is still there: $(ls "$menu")"
if timeout 60 wine reg query "$key" /reg:64 >/dev/null 2>&1; then
    fail "the uninstall entry $key is still there"
fi

# --- The portable zip ------------------------------------------------------------------------
# After the uninstall, so that nothing but the zip's own folder can supply its DLLs.
out=$(run_win 60 "$portable/brindle-cli.exe" --version) || fail "the zip's brindle-cli --version failed or took over 60 s"
[ "$out" = "brindle-cli $version" ] || fail "the zip's brindle-cli --version printed '$out'"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "$(basename "$installer") and $(basename "$zip") checked"
