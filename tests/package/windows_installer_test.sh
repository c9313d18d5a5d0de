#!/usr/bin/env bash
# The Windows packages as a user gets them, under Wine in a throw-away prefix: the installer,
# built by CPack, run silently (files, Start-menu shortcuts, the uninstall entry, the user's PATH,
# the .hex and .ihx association, the installed programs, a HEX file opened through the
# association), run again into another folder (the first install removed), then the uninstaller
# (nothing left behind, in the folders or the registry); and the portable zip, unpacked and run.
# Usage: windows_installer_test.sh BUILD_DIR VERSION OBJDUMP
set -euo pipefail

source "$(dirname "$0")/../gui_session.sh"
# The window needs an X display.
gui_session 840 "the installer test" cpack wine wineboot wineserver unzip Xvfb xdotool iconv -- "$@"

build=$1 version=$2 objdump=$3
work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    # Ends whatever still runs in this prefix (an uninstaller's copy of itself, say).
    [ -d "$work/prefix" ] && WINEPREFIX=$work/prefix timeout 30 wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# Here a failed check is counted and the checks go on; stop ends the test.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
stop() { echo "FAIL: $*"; exit 1; }

# Wine writes menu entries and caches under HOME; keep all of it in the throw-away folder, and
# let no first-run download (Mono, Gecko) or menu builder start.
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME QT_QPA_PLATFORM
mkdir -p "$HOME"

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

# What the user had before: a PATH of their own, and .ihx files another program opens.
reg_run() { timeout 60 wine reg "$@" /reg:64 >/dev/null 2>&1; }
reg_run add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\Tools\Other' /f || stop "wine reg could not set the user's PATH within 60 s"
reg_run add 'HKLM\Software\Classes\.ihx' /ve /d Other.Program /f || stop "wine reg could not give .ihx to another program within 60 s"
reg_text() { # key [value]: a value's data as reg prints it (the key's default without a value),
    # empty where there is none
    local which=(/ve)
    [ -z "${2:-}" ] || which=(/v "$2")
    timeout 60 wine reg query "$1" "${which[@]}" /reg:64 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *[^ ]* *REG_[A-Z_]*SZ *//p' | head -n 1
}
# Every key, value and datum of the registry's program-wide and user parts that names Brindle.
brindle_in_registry() {
    local hive
    for hive in HKEY_LOCAL_MACHINE\\Software HKEY_CURRENT_USER\\Software HKEY_CURRENT_USER\\Environment; do
        rm -f "$work/export.reg"
        timeout 60 wine regedit /E "$(winpath "$work/export.reg")" "$hive" >/dev/null 2>&1 || true
        [ -f "$work/export.reg" ] || { echo "regedit exported nothing of $hive"; continue; }
        iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r' | grep -i 'brindle' || true
    done
}
brindle_in_registry >"$work/registry-before.txt"
[ ! -s "$work/registry-before.txt" ] || stop "the fresh prefix names Brindle already: $(cat "$work/registry-before.txt")"

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

# A Command Prompt in the user's folder with the install folder on its PATH.
prompt="$menu/Brindle command prompt.lnk"
if [ -f "$prompt" ]; then
    lnk_text "$prompt" >"$work/lnk.txt"
    grep -qixF 'C:\windows\system32\cmd.exe' "$work/lnk.txt" || fail "'Brindle command prompt' does not start cmd.exe: $(cat "$work/lnk.txt")"
    grep -qF '/K "title Brindle command prompt & cd /d "%USERPROFILE%" & set "PATH=C:\Program Files\Brindle;%PATH%"' "$work/lnk.txt" ||
        fail "'Brindle command prompt' does not open in the user's folder with the install folder on PATH: $(cat "$work/lnk.txt")"
else
    fail "no Start-menu shortcut 'Brindle command prompt' in $(ls "$menu" 2>&1)"
fi

# The user's PATH gains the folder at its end; the machine's is left alone.
[ "$(reg_text 'HKCU\Environment' Path)" = 'C:\Tools\Other;C:\Program Files\Brindle' ] ||
    fail "the user's PATH is '$(reg_text 'HKCU\Environment' Path)' after the install"
! reg_text 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' Path | grep -qi brindle ||
    fail "the machine's PATH names Brindle"

# .hex and .ihx: Brindle among the programs offered; the default only where none was.
classes='HKLM\Software\Classes'
[ "$(reg_text "$classes\Brindle.HexFile\shell\open\command")" = '"C:\Program Files\Brindle\brindle.exe" "%1"' ] ||
    fail "Brindle.HexFile opens with '$(reg_text "$classes\Brindle.HexFile\shell\open\command")'"
for ext in .hex .ihx; do
    timeout 60 wine reg query "$classes\\$ext\\OpenWithProgids" /reg:64 2>/dev/null | grep -q Brindle.HexFile ||
        fail "$ext does not offer Brindle.HexFile (OpenWithProgids)"
done
[ "$(reg_text "$classes\.hex")" = Brindle.HexFile ] || fail ".hex, which no program had, opens with '$(reg_text "$classes\.hex")'"
[ "$(reg_text "$classes\.ihx")" = Other.Program ] || fail ".ihx was taken from the program that had it: '$(reg_text "$classes\.ihx")'"

# The entry Windows lists under installed programs, in the 64-bit registry.
timeout 60 wine reg query "$key" /reg:64 2>&1 | tr -d '\r' >"$work/reg.txt" || true
reg_value() { sed -n "s/^ *$1 *REG_SZ *//p" "$work/reg.txt"; }
for pair in DisplayName=Brindle "DisplayVersion=$version" "Publisher=The Brindle developers" \
            'UninstallString="C:\Program Files\Brindle\Uninstall.exe"' 'DisplayIcon=C:\Program Files\Brindle\brindle.exe'; do
    [ "$(reg_value "${pair%%=*}")" = "${pair#*=}" ] ||
        fail "uninstall entry's ${pair%%=*} is '$(reg_value "${pair%%=*}")', expected '${pair#*=}'; $key holds: $(cat "$work/reg.txt")"
done

# --- The installed programs ------------------------------------------------------------------
out=$(run_win 60 'C:\Program Files\Brindle\brindle-cli.exe' --version) || fail "installed brindle-cli --version failed or took over 60 s"
[ "$out" = "brindle-cli $version" ] || fail "installed brindle-cli --version printed '$out'"
# Help in Windows words: COM names and backslashed paths, no device files.
for program in brindle-cli.exe brindle.exe; do
    out=$(run_win 60 "C:\\Program Files\\Brindle\\$program" --help) || fail "installed $program --help failed or took over 60 s"
    ! grep -q '/dev/\|pseudo-terminal\|~/' <<<"$out" || fail "$program --help speaks Unix: $(grep '/dev/\|pseudo-terminal\|~/' <<<"$out")"
    grep -q 'COM3' <<<"$out" || fail "$program --help names no COM port: $out"
done
grep -qF 'examples\blink.hex' <<<"$(run_win 60 'C:\Program Files\Brindle\brindle-cli.exe' --help)" || fail "brindle-cli --help's example is no Windows path"

# The window comes up only with its platform plugin found beside it.
wine 'C:\Program Files\Brindle\brindle.exe' >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 60 visible "^Brindle " >/dev/null ||
    fail "no window of the installed brindle.exe within 60 s: $(cat "$work/app.log")"
kill "$app_pid" 2>/dev/null || true
wait_for 20 ended "$app_pid" || fail "brindle.exe did not end within 20 s of SIGTERM"
wait "$app_pid" 2>/dev/null || true
app_pid=

# A HEX file opened as Explorer opens it, through the association: loaded at start-up.
timeout 60 wine start 'C:\Program Files\Brindle\examples\blink.hex' >"$work/start.log" 2>&1 ||
    fail "wine start of the installed blink.hex failed: $(cat "$work/start.log")"
wait_for 60 visible '^C:\\Program Files\\Brindle\\examples\\blink\.hex -  159 Bytes \(A0H\)$' >/dev/null || fail "no window titled with the loaded blink.hex within 60 s of opening it: $(xdotool search --onlyvisible --name . getwindowname %@ 2>&1 | head -n 5)"
timeout 60 wine taskkill /f /im brindle.exe >/dev/null 2>&1 || true
no_blink() { ! visible 'blink\.hex' >/dev/null; }
wait_for 30 no_blink || fail "the window opened by the association did not end within 30 s of taskkill"

# --- Installing into another folder ----------------------------------------------------------
# The install in Program Files is removed first, its uninstaller and folder included.
moved="$WINEPREFIX/drive_c/Tools/Brindle"
timeout 180 wine "$installer" /S '/D=C:\Tools\Brindle' >"$work/install2.log" 2>&1 ||
    { cat "$work/install2.log"; stop "the second installer failed or did not end within 180 s"; }
wait_for 60 test -f "$moved/Uninstall.exe" -a -f "$menu/Brindle command prompt.lnk" ||
    stop "no Uninstall.exe and shortcuts in C:\Tools\Brindle within 60 s of the second installer's end"
wait_for 60 absent "$dir" || fail "the earlier install folder is still there: $(cd "$dir" && find . | sort | tr '\n' ' ')"
timeout 60 wine reg query "$key" /reg:64 2>&1 | tr -d '\r' >"$work/reg.txt" || true
[ "$(reg_value UninstallString)" = '"C:\Tools\Brindle\Uninstall.exe"' ] ||
    fail "after the move the UninstallString is '$(reg_value UninstallString)'"
[ "$(reg_text 'HKCU\Environment' Path)" = 'C:\Tools\Other;C:\Tools\Brindle' ] ||
    fail "after the move the user's PATH is '$(reg_text 'HKCU\Environment' Path)'"
[ "$(reg_text "$classes\Brindle.HexFile\shell\open\command")" = '"C:\Tools\Brindle\brindle.exe" "%1"' ] ||
    fail "after the move Brindle.HexFile opens with '$(reg_text "$classes\Brindle.HexFile\shell\open\command")'"
dir=$moved

# --- Silent uninstall ------------------------------------------------------------------------
# The uninstaller copies itself to the temporary folder, starts that copy and returns.
timeout 60 wine "$dir/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 ||
    { cat "$work/uninstall.log"; fail "Uninstall.exe failed or did not return within 60 s"; }
if ! wait_for 60 absent "$dir"; then
    fail "the install folder is still there 60 s after Uninstall.exe /S; it holds: $(cd "$dir" && find . | sort | tr '\n' ' ')"
fi
# The copy in the temporary folder takes the Start-menu folder after the install folder.
wait_for 30 absent "$menu" || fail "the Start-menu folder is still there 30 s after the install folder went: $(ls "$menu")"
if timeout 60 wine reg query "$key" /reg:64 >/dev/null 2>&1; then
    fail "the uninstall entry $key is still there"
fi
# Nothing of the program's own in the registry, the user's PATH and .ihx as they were.
brindle_in_registry >"$work/registry-after.txt"
[ ! -s "$work/registry-after.txt" ] || fail "the registry still names Brindle after the uninstall: $(cat "$work/registry-after.txt")"
[ "$(reg_text 'HKCU\Environment' Path)" = 'C:\Tools\Other' ] || fail "the user's PATH is '$(reg_text 'HKCU\Environment' Path)' after the uninstall"
[ "$(reg_text "$classes\.ihx")" = Other.Program ] || fail ".ihx opens with '$(reg_text "$classes\.ihx")' after the uninstall"

# --- The portable zip ------------------------------------------------------------------------
# After the uninstall, so that nothing but the zip's own folder can supply its DLLs.
out=$(run_win 60 "$portable/brindle-cli.exe" --version) || fail "the zip's brindle-cli --version failed or took over 60 s"
[ "$out" = "brindle-cli $version" ] || fail "the zip's brindle-cli --version printed '$out'"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "$(basename "$installer") and $(basename "$zip") checked"
