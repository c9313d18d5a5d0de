#!/usr/bin/env bash
# The real program in a real X window against its simulated board: the buttons are clicked
# at their places, the file dialog and the boxes answered with the keyboard, and the outcome
# checked from outside (window title, saved file). A screenshot is kept as an artefact.
# Usage: window_test.sh BRINDLE BRINDLE_BOARD HEXFILE ARTEFACT_DIR
set -euo pipefail
source "$(dirname "$0")/../gui_session.sh"
gui_session 240 "the window test" Xvfb xdotool xwininfo import -- "$@"

app=$1 boardexe=$2 hex=$3 artefacts=$4
mkdir -p "$artefacts"
gui_failure_shot=$artefacts/window_failure.png
work=$(mktemp -d)
trap 'kill ${pid:-} ${board:-} 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$hex" "$work/blink.hex"

main_title="^Brindle  ATMEL 8051 Programmer"
start_app() { # log, arguments...: started in $work; its pid in $pid, its window in $win
    local log=$1
    shift
    (cd "$work" && exec "$app" "$@") >"$work/$log" 2>&1 &
    pid=$!
    win=$(wait_window "$main_title" 20) || fail "no main window within 20 s: $(cat "$work/$log")"
}
ended() { ! kill -0 "$pid"; }
stop_app() { # SIGTERM: the program closes its window and quits with 128 + 15
    kill "$pid" 2>/dev/null || true
    wait_for 5 ended || fail "the program did not end within 5 s of SIGTERM"
    local status=0
    wait "$pid" 2>/dev/null || status=$?
    [ "$status" -eq 143 ] || fail "the program ended with status $status after SIGTERM, expected 143"
}
# Button centres in client pixels (twips / 15).
load=(52 400) save=(133 400) blank=(276 440) auto=(588 440)

type_path() { # dialog path
    xdotool key --window "$1" ctrl+a
    xdotool type --delay 5 "$2"
    xdotool key Return
}
answer_dialog() { # path typed into the file dialog
    local dlg
    dlg=$(wait_window "^Select HEX File$" 10) || fail "no file dialog within 10 s"
    keys_until_closed "$dlg" "the file dialog" type_path "$dlg" "$1"
}
answer_box() { keys_until_closed "$1" "the box $2" xdotool key Return; } # window what
# A click that lands while the window finishes its last action is dropped: clicked again, at
# most 10 times, until the window it opens shows; prints that window's id.
click_for_window() { # button regex
    local -n at=$1
    local _
    for _ in $(seq 10); do
        click "$win" "${at[@]}"
        wait_window "$2" 3 && return 0
    done
    return 1
}

start_app app.log --simulate=AT89C2051 --no-pace

# LOAD the example: the title names the file and its sizes.
click "$win" "${load[@]}"
answer_dialog "$work/blink.hex"
wait_title "$win" "blink\.hex -  159 Bytes \(A0H\)$" 10

# AUTO with the start-up steps (reload, erase, write): the last reply is the write status.
click "$win" "${auto[@]}"
wait_title "$win" "^W$" 60

# BLANK on a programmed chip: the board answers "n" and a box asks for OK.
box=$(click_for_window blank "^BLANK CHECK$") || fail "no BLANK CHECK box within 10 clicks of BLANK"
answer_box "$box" "BLANK CHECK"
wait_title "$win" "^n$" 10

# SAVE what the grid shows (READ and VERIFY themselves: tst_workflow).
dlg=$(click_for_window save "^Select HEX File$") || fail "no file dialog within 10 clicks of SAVE"
keys_until_closed "$dlg" "the file dialog" type_path "$dlg" "$work/saved.hex"
wait_title "$win" "saved\.hex$" 10
screenshot "$artefacts/window.png"

# The identified 2 KB chip's rows (the records' form: test_image), the example's end among them.
size=$(stat -c %s "$work/saved.hex" 2>/dev/null) || fail "no saved file"
[ "$size" -eq $((128 * 45 + 15)) ] || fail "saved file is $size bytes, expected 5775 (2 KB chip)"
grep -q $'^:100090000062D0070FEFF4F5B080E575820022FF13\r$' "$work/saved.hex" || fail "record 0090"
stop_app

# A board that answers BLANK with a bare line end, reached by its device path: the title is the
# empty reply, and the "System ERROR" box has no title either (the toolkit would put the
# program's name in both).
"$boardexe" --chip AT89C2051 --wrong-reply 'N=\r' >"$work/board.out" &
board=$!
wait_for 5 test -s "$work/board.out" || fail "brindle-board printed no device path within 5 s"
start_app app2.log --com1 "$(head -n 1 "$work/board.out")" --log "$work/record.log"
others() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$win" || true; }
a_box() { [ -n "$(others)" ]; }
blanks_recorded() { grep -c '"step":"blank"' "$work/record.log" 2>/dev/null || true; }
blank_ended() { [ "$(blanks_recorded)" = 1 ] && ! a_box; } # its line is in the record, no box is left
click "$win" "${blank[@]}"
wait_for 10 a_box || fail "no box within 10 s of BLANK"
box=$(others | head -n 1)
[ -z "$(title_of "$box")" ] || fail "box titled '$(title_of "$box")'"
answer_box "$box" "without a title"
# A second box would stand unanswered.
wait_for 10 blank_ended || fail "BLANK did not end with one box within 10 s: record $(blanks_recorded), boxes $(others)"
[ -z "$(title_of "$win")" ] || fail "title is '$(title_of "$win")', expected the empty reply"

# SIGTERM while that box waits for an operator who has gone: the box is dismissed, BLANK ends
# and leaves its line in the record, and the program quits.
click "$win" "${blank[@]}"
wait_for 10 a_box || fail "no box within 10 s of the second BLANK"
stop_app
[ "$(blanks_recorded)" -eq 2 ] || fail "the record holds $(grep -c . "$work/record.log") lines, expected both BLANKs"

# A HEX file on the command line (a file manager's "Open with"), relative to the folder the
# program starts in: loaded at start-up with LOAD's title, and AUTO then writes it unasked.
main_title="^$work/blink\.hex -  159 Bytes \(A0H\)$"
start_app app3.log --simulate=AT89C2051 --no-pace blink.hex
click "$win" "${auto[@]}"
wait_title "$win" "^W$" 60
! visible '^Select HEX File$' >/dev/null || fail "AUTO asked for the file"
stop_app
echo "window test passed"
