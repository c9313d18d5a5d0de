#!/usr/bin/env bash
# Each program's --help and its manual page name the same options, so neither can drift.
# Usage: man_options_test.sh MAN_DIR PROGRAM...
set -euo pipefail
man_dir="$1"
shift
status=0
for program in "$@"; do
    name="$(basename "$program")"
    page="$man_dir/$name.1.in"
    # Option lines of --help: indented, starting with a dash; the options are the dashed
    # words before the description (two spaces or more).
    help_options="$(QT_QPA_PLATFORM=offscreen "$program" --help 2>&1 \
        | grep -E '^ {1,4}-' | sed -E 's/^ +//; s/  .*//' \
        | grep -oE '(^|[ ,])-{1,2}[A-Za-z][A-Za-z0-9-]*' | tr -d ' ,' | sort -u)"
    # The page's options: the first line of each .TP entry in its OPTIONS section.
    page_options="$(sed -n '/^\.SH OPTIONS/,/^\.SH [^O]/p' "$page" | grep -A1 '^\.TP' | grep -E '^\.B' \
        | sed 's/\\-/-/g' | grep -oE '(^|[ "])-{1,2}[A-Za-z][A-Za-z0-9-]*' | tr -d ' "' | sort -u)"
    if [ -z "$help_options" ] || [ -z "$page_options" ]; then
        echo "$name: found no options in --help or in $page" >&2
        status=1
    elif ! difference="$(diff <(echo "$help_options") <(echo "$page_options"))"; then
        echo "$name: --help (<) and $page (>) name different options:" >&2
        echo "$difference" | grep -E '^[<>]' >&2
        status=1
    fi
done
[ "$status" = 0 ] && echo "--help and the manual pages name the same options: $*"
exit "$status"
