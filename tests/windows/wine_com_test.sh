#!/usr/bin/env bash
# The Windows programs under Wine on a real COM port: the Linux simulated board serves a
# pseudo-terminal that a throw-away Wine prefix maps to COM1. brindle-cli writes and checks a
# chip through it and the window identifies the chip on RESET; a screenshot is kept.
# Without a console, the window's command-line errors come in a message box; a HEX file given
# on its command line is loaded at start-up.
# "Serial port…" is in the window's system menu and opens its dialog.
# Usage: wine_com_test.sh BRINDLE_CLI_EXE BRINDLE_EXE BRINDLE_BOARD HEXFILE ARTEFACT_DIR WINEPATH WIN_PROBE_EXE
set -euo pipefail

source "$(dirname "$0")/../gui_session.sh"
# Everything runs on the one display: Wine's desktop process starts with the prefix and keeps
# the display it found.
gui_session 170 "the Wine COM test" wine wineboot wineserver Xvfb xdotool xwininfo import objcopy -- "$@"

cli=$1 app=$2 boardexe=$3 hex=$4 artefacts=$5 probe=$7
export WINEPATH=$6 WINEDEBUG=-all
mkdir -p "$artefacts"
gui_failure_shot=$artefacts/wine_com_failure.png
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
cleanup() {
    kill ${app_pid:-} ${board:-} ${silent_board:-} ${hanging_board:-} 2>/dev/null || true
    if [ -d "$WINEPREFIX" ]; then
        timeout 20 wineserver -k 2>/dev/null || true
        timeout 20 wineserver -w 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

map_com() { # COMn pty-file
    wait_for 5 test -s "$2" || fail "brindle-board ($1) printed no device path within 5 s"
    local pty
    pty=$(head -n 1 "$2")
    # Wine maps the machine's own serial ports to COM names each time its services start;
    # the registry entry keeps ours, the link takes effect at once.
    timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$pty" /f >/dev/null 2>&1 \
        || fail "wine reg did not map $1 within 60 s"
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/${1,,}"
}
cli_run() { # expected exit status, what, arguments...: stdout in $work/cli.out, with stderr in $work/cli.log
    local want=$1 what=$2 rc=0
    shift 2
    timeout 60 wine "$cli" "$@" >"$work/cli.out" 2>"$work/cli.err" || rc=$?
    cat "$work/cli.out" "$work/cli.err" >"$work/cli.log"
    [ "$rc" -ne 124 ] || fail "$what: brindle-cli did not end within 60 s"
    [ "$rc" -eq "$want" ] || { cat "$work/cli.log"; fail "$what: exit status $rc, expected $want"; }
}

# The server is started first so that its output (Wine dumps its objects there when a mapped
# pseudo-terminal hangs up) stays out of the test's.
mkdir -p "$WINEPREFIX"
timeout 20 wineserver -p >"$work/wineserver.log" 2>&1 || fail "wineserver did not start within 20 s"
timeout 90 wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot did not make the prefix within 90 s"; }

# COM1 a board, COM2 one that falls silent, COM3 one that hangs up mid-write.
"$boardexe" --chip AT89C2051 >"$work/COM1" 2>/dev/null &
board=$!
"$boardexe" --chip AT89C2051 --silent-after I >"$work/COM2" 2>/dev/null &
silent_board=$!
"$boardexe" --chip AT89C2051 --hang-up-after 2 >"$work/COM3" 2>/dev/null &
hanging_board=$!
for com in COM1 COM2 COM3; do map_com $com "$work/$com"; done

# AUTO erases, writes and verifies.
cli_run 0 "auto on COM1" -p COM1 auto "$(winpath "$hex")"

# The chip read back on standard output byte for byte: the file's image, erased (FF) bytes up
# to the AT89C2051's 2 KB. The image holds an 0A, which text mode would turn into 0D 0A.
objcopy -I ihex -O binary --gap-fill 0xff --pad-to 0x800 "$hex" "$work/image.bin"
[ "$(tr -dc '\n' <"$work/image.bin" | wc -c)" -gt 0 ] || fail "$hex has no 0A byte to try standard output's mode on"
cli_run 0 "read - --format bin" -p COM1 --format bin read -
cmp "$work/image.bin" "$work/cli.out" || fail "read - --format bin gave $(stat -c %s "$work/cli.out") bytes unlike the chip's"
# read - gives the HEX text exactly as read writes it to a file, CR LF line ends.
cli_run 0 "read to a HEX file" -p COM1 read "$(winpath "$work/chip.hex")"
cli_run 0 "read -" -p COM1 read -
mv "$work/cli.out" "$work/stdout.hex"
cmp "$work/chip.hex" "$work/stdout.hex" || fail "read - gave other HEX text than read FILE: $(head -c 100 "$work/stdout.hex" | od -c | head -n 3)"
[ "$(grep -c $'\r\r' "$work/stdout.hex")" -eq 0 ] && [ "$(grep -c $'\r$' "$work/stdout.hex")" -eq "$(wc -l <"$work/stdout.hex")" ] ||
    fail "read -'s HEX lines do not all end in CR LF"

# Another file: sixteen 0x55 bytes at 0000.
printf 'UUUUUUUUUUUUUUUU' >"$work/other.bin"
objcopy -I binary -O ihex "$work/other.bin" "$work/other.hex"
cli_run 1 "verify against another file" -p COM1 verify "$(winpath "$work/other.hex")"

# The ports as Windows names them, the way -p takes them.
cli_run 0 "ports" ports
grep -q "^COM1\b" "$work/cli.log" || { cat "$work/cli.log"; fail "ports does not list COM1 as COM1"; }

# The refusals speak Windows: no groups, lock files or device nodes.
cli_run 4 "a missing port" -p COM7 identify
grep -q "no such port" "$work/cli.log" || { cat "$work/cli.log"; fail "no 'no such port' for COM7"; }
grep -q "COM1" "$work/cli.log" || { cat "$work/cli.log"; fail "the ports there are not listed"; }
! grep -Eqi "group|dialout|lock file|udev|/dev/" "$work/cli.log" || { cat "$work/cli.log"; fail "Unix advice on Windows"; }

start=$SECONDS
cli_run 5 "a silent board" -p COM2 identify
[ $((SECONDS - start)) -le 10 ] || fail "the silent board took $((SECONDS - start)) s to be given up, expected a few"

# A board that closes the line mid-write is gone, not slow: Wine's reads on such a port just
# time out, and only the port's own check tells the two apart.
cli_run 5 "a board that hangs up" -p COM3 write "$(winpath "$hex")"
grep -q "hung up" "$work/cli.log" || { cat "$work/cli.log"; fail "no 'hung up' for the board that closed the line"; }

# Started as Explorer starts it (no console, no standard handles), the window tells a mistyped
# option, or a record it cannot open, in a box titled Brindle with the text a console would
# have shown, then exits with the console's status.
box_case() { # status, what, arguments...
    local want=$1 what=$2 rc=0
    shift 2
    timeout 60 wine "$app" "$@" >/dev/null 2>"$work/console.txt" || rc=$?
    [ "$rc" -eq "$want" ] || fail "$what from a console: exit status $rc, expected $want"
    rc=0
    timeout 90 wine "$probe" box Brindle 60 "$(winpath "$app")" "$@" >"$work/box.txt" 2>"$work/detached.err" || rc=$?
    [ "$rc" -eq "$want" ] || fail "$what without a console: status $rc, expected $want: $(cat "$work/detached.err")"
    # The same text, but for the line ends and the blank lines the box trims.
    if [ "$(tr -d '\r' <"$work/console.txt")" != "$(tr -d '\r' <"$work/box.txt")" ]; then
        diff <(tr -d '\r' <"$work/console.txt") <(tr -d '\r' <"$work/box.txt") || true
        fail "$what: the box (>) does not say what the console (<) did"
    fi
    [ -s "$work/box.txt" ] || fail "$what: the box is empty"
}
box_case 2 "an unknown option" --bogus
box_case 3 "a record that cannot be opened" --log 'Z:\nonexistent\folder\brindle.log'

# The window with a HEX file on its command line (an Explorer double-click): loaded at
# start-up, the title as after LOAD. Then RESET identifies the chip, and the title is the
# board's code for it.
wine "$app" --com1 COM1 "$(winpath "$hex")" >"$work/app.log" 2>&1 &
app_pid=$!
loaded_title="$(winpath "$hex") -  159 Bytes (A0H)"
win=$(wait_window "^Brindle  ATMEL 8051 Programmer|^Z:" 60) || { cat "$work/app.log"; fail "no main window within 60 s"; }
wait_title "$win" "^${loaded_title//[()\\.]/.}\$" 20
# The title bar's menu, where terminal programs keep their port settings.
rc=0
timeout 60 wine "$probe" menu "$loaded_title" "Serial port" 30 2>"$work/probe.err" || rc=$?
[ "$rc" -eq 0 ] || fail "Serial port… as the system menu's last entry: status $rc ($(cat "$work/probe.err"))"
# RESET (its centre in client pixels, twips / 15), clicked again while the window still takes
# back the input its dialog held.
click_until "$win" 52 440 "^21$" 20
screenshot "$artefacts/wine_com_window.png"
echo "Wine COM test passed"
