# Sourced by the tests that drive a real window (under Xvfb, natively or through Wine): the
# display, the bounds, and the waits. Every wait has its own bound and its caller says what
# it waited for; a poll steps 0.1 s.

# gui_session SECONDS WHAT TOOL... -- ARGS: re-runs the calling script with ARGS on a display
# of its own, bounded below ctest's bound so that a missed wait still ends in a FAIL line.
# Inside that display it returns, and the script goes on.
gui_session() {
    local bound=$1 what=$2 rc=0
    shift 2
    while [ "$1" != -- ]; do
        command -v "$1" >/dev/null || { echo "missing tool: $1 (scripts/test.sh installs it)"; exit 1; }
        shift
    done
    shift
    if [ -n "${BRINDLE_GUI_DISPLAY:-}" ]; then
        unset QT_QPA_PLATFORM
        return 0
    fi
    # -displayfd: Xvfb claims a free display itself and writes its number once it is ready;
    # xvfb-run -a only guesses one, and two tests starting together could pick the same.
    local run_dir xvfb
    run_dir=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run_dir/display" 2>"$run_dir/xvfb.log" &
    xvfb=$!
    if ! wait_for 30 grep -q . "$run_dir/display"; then
        echo "FAIL: $what: Xvfb gave no display within 30 s: $(cat "$run_dir/xvfb.log")"
        kill "$xvfb" 2>/dev/null
        exit 1
    fi
    DISPLAY=":$(head -n 1 "$run_dir/display")" timeout "$bound" env BRINDLE_GUI_DISPLAY=1 bash "$0" "$@" || rc=$?
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$run_dir"
    [ "$rc" -ne 124 ] || echo "FAIL: $what did not end within $bound s"
    exit "$rc"
}

# The screenshot fail() keeps; empty: none.
gui_failure_shot=
fail() {
    echo "FAIL: $*"
    [ -z "$gui_failure_shot" ] || timeout 20 import -window root "$gui_failure_shot" 2>/dev/null || true
    exit 1
}

wait_for() { # seconds command...: true once the command succeeds, false at the bound
    local end=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        [ $SECONDS -lt "$end" ] || return 1
        sleep 0.1
    done
}

visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep .; }
wait_window() { wait_for "$2" visible "$1"; } # regex seconds: prints the first visible window's id
title_of() { xdotool getwindowname "$1"; }
title_is() { [[ "$(title_of "$1")" =~ $2 ]]; }
wait_title() { # window regex seconds
    wait_for "$3" title_is "$1" "$2" || fail "title is '$(title_of "$1")', expected /$2/ within $3 s"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; } # window x y (client pixels)

# A click that lands while the window finishes what it did before is dropped, as the window
# drops all input while busy: clicked again every 2 s until the title matches.
click_until() { # window x y regex seconds
    local end=$((SECONDS + $5)) next=0
    while [ $SECONDS -lt "$end" ]; do
        title_is "$1" "$4" && return 0
        if [ $SECONDS -ge $next ]; then click "$1" "$2" "$3"; next=$((SECONDS + 2)); fi
        sleep 0.1
    done
    fail "title is '$(title_of "$1")', expected /$4/ within $5 s of clicking at $2,$3"
}

# Keys that a dialog or box may take before it is ready for them: sent again each second, to
# it alone, until it has closed.
gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q "Map State: IsViewable"; } # window
keys_until_closed() { # window what command...: the command sends the keys
    local win=$1 what=$2 end=$((SECONDS + 10))
    shift 2
    until gone "$win"; do
        [ $SECONDS -lt "$end" ] || fail "$what did not close within 10 s of its keys"
        if timeout 5 xdotool windowfocus --sync "$win" 2>/dev/null; then "$@"; fi
        wait_for 1 gone "$win" || true
    done
}

winpath() { echo "Z:${1//\//\\}"; } # a Unix path as Wine's programs see it (drive Z: is the root)

# A screenshot once the screen has settled: two frames alike, at most 5 s.
screenshot() { # file
    local previous=$1.prev.rgb current=$1.rgb end=$((SECONDS + 5))
    import -window root -depth 8 "rgb:$previous" 2>/dev/null || true
    while [ $SECONDS -lt "$end" ]; do
        sleep 0.1
        import -window root -depth 8 "rgb:$current" 2>/dev/null || break
        cmp -s "$previous" "$current" && break
        mv "$current" "$previous"
    done
    rm -f "$previous" "$current"
    timeout 20 import -window root "$1" || fail "no screenshot within 20 s"
}
