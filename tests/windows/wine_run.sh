#!/usr/bin/env bash
# Runs a test program of the Windows build under Wine: wine_run.sh [--qtest] EXE ARGS...
# QtTest sends its log to the debugger channel when the program has no console, and under
# Wine that channel leads nowhere; with --qtest the log goes to a file that is printed after.
set -u
qtest=false
if [ "${1:-}" = --qtest ]; then qtest=true; shift; fi
exe=$1
shift
if ! $qtest; then exec wine "$exe" "$@"; fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
wine "$exe" -o "$log,txt" "$@"
rc=$?
cat "$log"
exit $rc
