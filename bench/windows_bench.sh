#!/usr/bin/env bash
# The Windows build under Wine beside the Linux build, by hand, after `bash scripts/windows.sh`
# and `bash scripts/test.sh`: an 8 KB write and verify on a paced brindle-board (the Windows
# build through a Wine COM port, the Linux build on the pseudo-terminal itself), the start-up
# of brindle.exe --version, and the sizes of the installer and the zip.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
version=$(sed -n 's/^project(Brindle VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
win="$ROOT/build-windows/brindle-$version-win64"
board="$ROOT/build/board/brindle-board"
linux_cli="$ROOT/build/cli/brindle-cli"
for f in "$win/brindle-cli.exe" "$win/brindle.exe" "$board" "$linux_cli"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "missing $f: run scripts/windows.sh and scripts/test.sh first" >&2; exit 1; }
done

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
cleanup() {
    kill ${board_pid:-} 2>/dev/null || true
    timeout 20 wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1
timeout 90 wineboot -i >/dev/null 2>&1

head -c 8192 /dev/urandom >"$work/random.bin"
x86_64-w64-mingw32-objcopy -I binary -O ihex "$work/random.bin" "$work/random.hex"
"$board" --chip AT89S52 --pace >"$work/board.out" 2>/dev/null &
board_pid=$!
for _ in $(seq 50); do [ -s "$work/board.out" ] && break; sleep 0.1; done
pty=$(head -n 1 "$work/board.out")
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$pty" /f >/dev/null 2>&1
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"
hex_win="Z:${work//\//\\}\\random.hex"

# The 19200-baud floor of one 8 KB step: 2 characters a byte out (write) or back (verify),
# 10 bits each.
floor=$(echo "8192 * 2 * 10 / 19200" | bc -l)
step() { # label, command...: wall seconds and the step's own durationMs from --json
    local label=$1 start end ms
    shift
    start=$(date +%s.%N)
    ms=$("$@" | sed -n 's/.*"durationMs":\([0-9]*\).*"step":"\(write\|verify\)".*/\1/p' | tail -n 1)
    end=$(date +%s.%N)
    printf '%-28s %6.2f s wall  %6.2f s in the step  ratio %.3f\n' "$label" "$(echo "$end - $start" | bc)" \
        "$(echo "$ms / 1000" | bc -l)" "$(echo "$ms / 1000 / $floor" | bc -l)"
}
printf 'floor of one 8 KB step: %.2f s\n' "$floor"
"$linux_cli" -p "$pty" erase >/dev/null
step "linux write" "$linux_cli" -p "$pty" --json write "$work/random.hex"
step "linux verify" "$linux_cli" -p "$pty" --json verify "$work/random.hex"
"$linux_cli" -p "$pty" erase >/dev/null
step "windows (wine) write" wine "$win/brindle-cli.exe" -p COM1 --json write "$hex_win"
step "windows (wine) verify" wine "$win/brindle-cli.exe" -p COM1 --json verify "$hex_win"

for run in cold warm warm warm warm warm; do
    [ "$run" = cold ] && { timeout 20 wineserver -k 2>/dev/null || true; sleep 1; }
    start=$(date +%s.%N)
    wine "$win/brindle.exe" --version >/dev/null
    end=$(date +%s.%N)
    printf 'brindle.exe --version (%s): %.3f s\n' "$run" "$(echo "$end - $start" | bc)"
done
ls -l "$ROOT/build-windows/brindle-$version-win64.exe" "$ROOT/build-windows/brindle-$version-win64.zip" \
    | awk '{ printf "%s: %d bytes (%.1f MiB)\n", $NF, $5, $5 / 1048576 }'
