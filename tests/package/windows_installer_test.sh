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
cleanup() {
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
run_win() { # seconds program args...: a console program's output, without Windows line ends
    local seconds=$1
    shift
    timeout "$seconds" wine "$@" 2>&1 | tr -d '\r'
}

# --- The packages ----------------------------------------------------------------------------
for generator in NSIS ZIP; do
    cpack -G "$generator" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; stop "cpack -G $generator"; }
done
installer=$work/out/brindle-$version-win64.exe
zip=$work/out/brindle-$version-win64.zip
[ -f "$installer" ] && [ -f "$zip" ] || stop "no brindle-$version-win64.exe and .zip: $(ls "$work/out")"
# A 32-bit installer would not even start on a 64-bit-only Wine.
"$objdump" -f "$installer" | grep -q "file format pei-x86-64" || stop "the installer is not a 64-bit program"

unzip -q "$zip" -d "$work/zip"
[ "$(ls "$work/zip")" = "brindle-$version-win64" ] || fail "the zip's top level is not one folder brindle-$version-win64: $(ls "$work/zip")"
portable=$work/zip/brindle-$version-win64
# The plugins, which no import names (windows_dll_test.sh checks the DLLs imports do name), and
# the licences. The simulated board on its own needs pseudo-terminals, which Windows lacks.
for file in brindle.exe brindle-cli.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll \
            sqldrivers/qsqlodbc.dll LICENSE.txt licenses/Qt/LGPL-3.0-only.txt licenses/Qt/GPL-3.0-only.txt \
            licenses/Qt/SQLite.txt; do
    [ -f "$portable/$file" ] || fail "not in the zip: $file"
done
[ ! -e "$portable/brindle-board.exe" ] || fail "brindle-board.exe ships"

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
expect_reg() { # what key value expected: fails unless reg_text gives expected
    local got
    got=$(reg_text "$2" "$3") || true
    [ "$got" = "$4" ] || fail "$1 is '$got', expected '$4'"
}

# --- Silent install, then again into another folder ------------------------------------------
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Brindle"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindle'
classes='HKLM\Software\Classes'
lnk_text() { tr -d '\0' <"$menu/$1.lnk" | tr -c '[:print:]' '\n'; } # a .lnk keeps its strings as UTF-16
install() { # FOLDER [INSTALLER OPTIONS]: installs there; checks the shortcuts, PATH, association, uninstall entry
    local to=$1 folder
    folder="$WINEPREFIX/drive_c/$(tr '\\' / <<<"${1#C:\\}")"
    shift
    timeout 180 wine "$installer" /S "$@" >"$work/install.log" 2>&1 || { cat "$work/install.log"; stop "installing into $to failed or took over 180 s"; }
    # The silent installer may hand its work on and return early; the uninstaller is written
    # after every file, the shortcuts after it, the command prompt's last.
    wait_for 60 test -f "$folder/Uninstall.exe" -a -f "$menu/Brindle command prompt.lnk" ||
        stop "no Uninstall.exe in $to and shortcuts within 60 s of the installer's end"
    for name in "Brindle" "Brindle with a Simulated Board"; do
        lnk_text "$name" >"$work/lnk.txt" || true
        grep -qxF "$to\\brindle.exe" "$work/lnk.txt" && grep -qxF "$to" "$work/lnk.txt" ||
            fail "shortcut '$name' does not start $to\\brindle.exe in its folder: $(cat "$work/lnk.txt")"
    done
    grep -qx -- '--simulate' <(lnk_text "Brindle with a Simulated Board") || fail "'Brindle with a Simulated Board' does not pass --simulate"
    ! grep -q -- '--simulate' <(lnk_text Brindle) || fail "shortcut 'Brindle' starts the simulated board"
    # A Command Prompt in the user's folder with the install folder on its PATH.
    lnk_text "Brindle command prompt" >"$work/lnk.txt" || true
    grep -qixF 'C:\windows\system32\cmd.exe' "$work/lnk.txt" &&
        grep -qF "/K \"title Brindle command prompt & cd /d \"%USERPROFILE%\" & set \"PATH=$to;%PATH%\"" "$work/lnk.txt" ||
        fail "'Brindle command prompt' does not open cmd.exe in the user's folder with $to on PATH: $(cat "$work/lnk.txt")"
    # The user's PATH gains the folder at its end.
    expect_reg "the user's PATH" 'HKCU\Environment' Path "C:\\Tools\\Other;$to"
    expect_reg "Brindle.HexFile's command" "$classes\Brindle.HexFile\shell\open\command" '' "\"$to\\brindle.exe\" \"%1\""
    # The entry Windows lists under installed programs, in the 64-bit registry.
    for pair in DisplayName=Brindle "DisplayVersion=$version" "Publisher=The Brindle developers" \
                "UninstallString=\"$to\\Uninstall.exe\"" "DisplayIcon=$to\\brindle.exe"; do
        expect_reg "the uninstall entry's ${pair%%=*}" "$key" "${pair%%=*}" "${pair#*=}"
    done
}
dir="$WINEPREFIX/drive_c/Program Files/Brindle"
install 'C:\Program Files\Brindle'
# The installer and the zip hold the same program.
diff <(cd "$dir" && find . -type f ! -name Uninstall.exe | sort) <(cd "$portable" && find . -type f | sort) ||
    fail "the installed folder (<) and the zip (>) differ"
! reg_text 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' Path | grep -qi brindle ||
    fail "the machine's PATH names Brindle"
# .hex and .ihx: Brindle among the programs offered; the default only where none was.
for ext in .hex .ihx; do
    timeout 60 wine reg query "$classes\\$ext\\OpenWithProgids" /reg:64 2>/dev/null | grep -q Brindle.HexFile ||
        fail "$ext does not offer Brindle.HexFile (OpenWithProgids)"
done
expect_reg ".hex, which no program had," "$classes\.hex" '' Brindle.HexFile
expect_reg ".ihx, which another program had," "$classes\.ihx" '' Other.Program

# Help in Windows words: COM names and backslashed paths, no device files.
for program in brindle.exe brindle-cli.exe; do
    out=$(run_win 60 "C:\\Program Files\\Brindle\\$program" --help) || fail "installed $program --help failed or took over 60 s"
    ! grep -q '/dev/\|pseudo-terminal\|~/' <<<"$out" || fail "$program --help speaks Unix: $(grep '/dev/\|pseudo-terminal\|~/' <<<"$out")"
    grep -q 'COM3' <<<"$out" || fail "$program --help names no COM port: $out"
done
grep -qF 'examples\blink.hex' <<<"$out" || fail "brindle-cli --help's example is no Windows path"

# A HEX file opened as Explorer opens it, through the association: loaded at start-up in the
# window, which comes up only with its platform plugin found beside it.
timeout 60 wine start 'C:\Program Files\Brindle\examples\blink.hex' >"$work/start.log" 2>&1 ||
    fail "wine start of the installed blink.hex failed: $(cat "$work/start.log")"
wait_for 60 visible '^C:\\Program Files\\Brindle\\examples\\blink\.hex -  159 Bytes \(A0H\)$' >/dev/null ||
    fail "no window titled with the loaded blink.hex within 60 s of opening it: $(xdotool search --onlyvisible --name . getwindowname %@ 2>&1 | head -n 5)"
timeout 60 wine taskkill /f /im brindle.exe >/dev/null 2>&1 || true
no_blink() { ! visible 'blink\.hex' >/dev/null; }
wait_for 30 no_blink || fail "the window opened by the association did not end within 30 s of taskkill"

# The install in Program Files is removed first, its uninstaller and folder included.
install 'C:\Tools\Brindle' '/D=C:\Tools\Brindle'
wait_for 60 absent "$dir" || fail "the earlier install folder is still there: $(cd "$dir" && find . | sort | tr '\n' ' ')"
moved="$WINEPREFIX/drive_c/Tools/Brindle"

# --- Silent uninstall ------------------------------------------------------------------------
# The uninstaller copies itself to the temporary folder, starts that copy and returns.
timeout 60 wine "$moved/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 ||
    { cat "$work/uninstall.log"; fail "Uninstall.exe failed or did not return within 60 s"; }
wait_for 60 absent "$moved" ||
    fail "the install folder is still there 60 s after Uninstall.exe /S; it holds: $(cd "$moved" && find . | sort | tr '\n' ' ')"
# The copy in the temporary folder takes the Start-menu folder after the install folder.
wait_for 30 absent "$menu" || fail "the Start-menu folder is still there 30 s after the install folder went: $(ls "$menu")"
! timeout 60 wine reg query "$key" /reg:64 >/dev/null 2>&1 || fail "the uninstall entry $key is still there"
# Nothing of the program's own in any key, value or datum of the registry's program-wide and user
# parts; the user's PATH and .ihx as they were.
for hive in HKEY_LOCAL_MACHINE\\Software HKEY_CURRENT_USER\\Software HKEY_CURRENT_USER\\Environment; do
    rm -f "$work/export.reg"
    timeout 60 wine regedit /E "$(winpath "$work/export.reg")" "$hive" >/dev/null 2>&1 || true
    [ -f "$work/export.reg" ] || { fail "regedit exported nothing of $hive within 60 s"; continue; }
    ! iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r' | grep -i 'brindle' ||
        fail "$hive still names Brindle (above) after the uninstall"
done
expect_reg "after the uninstall the user's PATH" 'HKCU\Environment' Path 'C:\Tools\Other'
expect_reg "after the uninstall .ihx's program" "$classes\.ihx" '' Other.Program

# --- The portable zip ------------------------------------------------------------------------
# After the uninstall, so that nothing but the zip's own folder can supply its DLLs.
out=$(run_win 60 "$portable/brindle-cli.exe" --version) || fail "the zip's brindle-cli --version failed or took over 60 s"
[ "$out" = "brindle-cli $version" ] || fail "the zip's brindle-cli --version printed '$out'"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "$(basename "$installer") and $(basename "$zip") checked"
