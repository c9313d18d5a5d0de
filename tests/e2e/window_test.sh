#!/usr/bin/env bash
# The real program in a real X window against its simulated board: the buttons are clicked
# at their places, the file dialog and the boxes answered with the keyboard, and the outcome
# checked from outside (window title, saved file). A screenshot is kept as an artefact.
# Usage: window_test.sh BRINDLE BRINDLE_BOARD HEXFILE ARTEFACT_DIR
set -euo pipefail

app=$1 boardexe=$2 hex=$3 artefacts=$4
if [ -z "${BRINDLE_E2E_DISPLAY:-}" ]; then
    for tool in xvfb-run xdotool import; do
        command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/test.sh installs it)"; exit 1; }
    done
    # A bound on the whole run below ctest's, so that even a wait missed here ends in a FAIL line.
    rc=0
    timeout 240 xvfb-run -a -s "-screen 0 1024x768x24" env BRINDLE_E2E_DISPLAY=1 bash "$0" "$@" || rc=$?
    [ "$rc" -ne 124 ] || echo "FAIL: the window test did not end within 240 s"
    exit "$rc"
fi
unset QT_QPA_PLATFORM

mkdir -p "$artefacts"
work=$(mktemp -d)
trap 'kill ${pid:-} ${board:-} 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$hex" "$work/blink.hex"

fail() {
    echo "FAIL: $*"
    timeout 20 import -window root "$artefacts/window_failure.png" 2>/dev/null || true
    exit 1
}

# Every wait below has its own bound, and says what it waited for when the bound is reached.
wait_window() { # regex seconds: prints the first visible window's id; fails (status 1) at the bound
    local end=$((SECONDS + $2)) id
    while [ $SECONDS -lt "$end" ]; do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
focus() { # window what
    timeout 5 xdotool windowfocus --sync "$1" || fail "$2 did not take the focus within 5 s"
}
stop_app() { # SIGTERM: the program closes its window and quits with 128 + 15
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then fail "the program did not end within 5 s of SIGTERM"; fi
    local status=0
    wait "$pid" 2>/dev/null || status=$?
    [ "$status" -eq 143 ] || fail "the program ended with status $status after SIGTERM, expected 143"
}

"$app" --simulate=AT89C2051 --no-pace >"$work/app.log" 2>&1 &
pid=$!
win=$(wait_window "^Brindle  ATMEL 8051 Programmer" 20) || fail "no main window within 20 s"

title() { xdotool getwindowname "$win"; }
wait_title() { # regex, seconds
    local end=$((SECONDS + $2))
    while [ $SECONDS -lt "$end" ]; do
        [[ "$(title)" =~ $1 ]] && return 0
        sleep 0.1
    done
    fail "title is '$(title)', expected /$1/"
}
# A click that arrives while the window is still finishing the operation before is dropped, as
# the window drops all input while busy: click again every 2 s until the title matches.
click_until() { # x y regex seconds
    local end=$((SECONDS + $4)) next=0
    while [ $SECONDS -lt "$end" ]; do
        [[ "$(title)" =~ $3 ]] && return 0
        if [ $SECONDS -ge $next ]; then click "$1" "$2"; next=$((SECONDS + 2)); fi
        sleep 0.1
    done
    fail "title is '$(title)', expected /$3/"
}
# Button centres in client pixels (twips / 15).
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }
click_load() { click 52 400; }
click_save() { click 133 400; }
click_read() { click 133 440; }
click_blank() { click 276 440; }
click_verify() { click 404 440; }
click_auto() { click 588 440; }

answer_dialog() { # path typed into the file dialog
    local dlg
    dlg=$(wait_window "^Select HEX File$" 10) || fail "no file dialog within 10 s"
    focus "$dlg" "the file dialog"
    sleep 0.3
    xdotool key --window "$dlg" ctrl+a
    xdotool type --delay 5 "$1"
    xdotool key Return
}
answer_box() { # title of the box; answered with the Return key
    local box
    box=$(wait_window "^$1$" 10) || fail "no box titled $1 within 10 s"
    focus "$box" "the box titled $1"
    sleep 0.2
    xdotool key Return
}

# LOAD the example: the title names the file and its sizes.
click_load
answer_dialog "$work/blink.hex"
wait_title "blink\.hex -  159 Bytes \(A0H\)$" 10

# AUTO with the start-up steps (reload, erase, write): the last reply is the write status.
click_auto
wait_title "^W$" 60

# VERIFY against the grid: the read status closes the exchange.
click_until 404 440 "^R$" 60

# BLANK on a programmed chip: the board answers "n" and a box asks for OK.
for _ in $(seq 10); do # until the box shows: a click while VERIFY finishes is dropped
    click_blank
    wait_window "^BLANK CHECK$" 3 >/dev/null && break
done
answer_box "BLANK CHECK"
wait_title "^n$" 10

# READ the chip, then SAVE what it shows.
click_until 133 440 "^R$" 60
click_save
answer_dialog "$work/saved.hex"
wait_title "saved\.hex$" 10
sleep 0.5
timeout 20 import -window root "$artefacts/window.png" || fail "no screenshot within 20 s"

[ -f "$work/saved.hex" ] || fail "no saved file"
size=$(stat -c %s "$work/saved.hex")
[ "$size" -eq $((128 * 45 + 15)) ] || fail "saved file is $size bytes, expected 5775 (2 KB chip)"
# The example's first record (reset vector) and a data record read back from the chip.
grep -q $'^:1000000002000602007B75810712009BE5826003F7\r$' "$work/saved.hex" || fail "reset vector"
grep -q $'^:100090000062D0070FEFF4F5B080E575820022FF13\r$' "$work/saved.hex" || fail "record 0090"
[ "$(tail -c 15 "$work/saved.hex" | od -An -tx1 | tr -d ' \n')" = 3a303030303030303146460d0a0d0a ] \
    || fail "end record"
stop_app

# A board that answers BLANK with a bare line end, reached by its device path: the title is the
# empty reply, and the "System ERROR" box has no title either (the toolkit would put the
# program's name in both).
"$boardexe" --chip AT89C2051 --wrong-reply 'N=\r' >"$work/board.out" &
board=$!
for _ in $(seq 50); do [ -s "$work/board.out" ] && break; sleep 0.1; done
[ -s "$work/board.out" ] || fail "brindle-board printed no device path within 5 s"
"$app" --com1 "$(head -n 1 "$work/board.out")" --log "$work/record.log" >"$work/app2.log" 2>&1 &
pid=$!
win=$(wait_window "^Brindle  ATMEL 8051 Programmer" 20) || fail "no main window within 20 s"
click_blank
others() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$win" || true; }
end=$((SECONDS + 10))
while [ -z "$(others)" ] && [ $SECONDS -lt "$end" ]; do sleep 0.1; done
sleep 0.5 # a second box would be up by now
boxes=0
for w in $(others); do
    boxes=$((boxes + 1))
    [ -z "$(xdotool getwindowname "$w")" ] || fail "box titled '$(xdotool getwindowname "$w")'"
    focus "$w" "the untitled box"
    sleep 0.2
    xdotool key Return
done
[ "$boxes" -eq 1 ] || fail "$boxes boxes within 10 s of BLANK, expected one"
[ -z "$(title)" ] || fail "title is '$(title)', expected the empty reply"

# SIGTERM while that box waits for an operator who has gone: the box is dismissed, BLANK ends
# and leaves its line in the record, and the program quits.
click_blank
end=$((SECONDS + 10))
while [ -z "$(others)" ] && [ $SECONDS -lt "$end" ]; do sleep 0.1; done
[ -n "$(others)" ] || fail "no box within 10 s of the second BLANK"
stop_app
[ "$(grep -c '"step":"blank"' "$work/record.log")" -eq 2 ] || fail "the record holds $(grep -c . "$work/record.log") lines, expected both BLANKs"

# A HEX file on the command line (a file manager's "Open with"), relative to the folder the
# program starts in: loaded at start-up with LOAD's title, and AUTO then writes it unasked.
(cd "$work" && exec "$app" --simulate=AT89C2051 --no-pace blink.hex) >"$work/app3.log" 2>&1 &
pid=$!
win=$(wait_window "^$work/blink\.hex -  159 Bytes \(A0H\)$" 20) ||
    fail "no window titled with the file given on the command line within 20 s: $(cat "$work/app3.log")"
click_auto
wait_title "^W$" 60
[ -z "$(xdotool search --onlyvisible --name '^Select HEX File$' 2>/dev/null)" ] || fail "AUTO asked for the file"
stop_app
echo "window test passed"
