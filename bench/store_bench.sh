#!/usr/bin/env bash
# Serial numbers taken and marked per second against a SQLite file and a throw-away local
# PostgreSQL, by 1 and 8 processes at once; then an 8 KB write on 8 paced simulated boards
# with and without a serial number, as the wire ratio of each board's write step.
#   bash bench/store_bench.sh        (after scripts/test.sh has built build/)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build"
cluster="$ROOT/tests/station/pg_cluster.sh"
work=$(mktemp -d)
chmod 755 "$work"
boards=()
cleanup() {
    kill "${boards[@]}" 2>/dev/null || true
    bash "$cluster" stop "$work/pg" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
bash "$cluster" start "$work/pg" >/dev/null
pg=$(cat "$work/pg/url")

numbers() { # STORE PROCESSES COUNT: a row of the table
    local store=$1 processes=$2 count=$3 series="bench$RANDOM" label=$4
    local start end
    start=$(date +%s.%N)
    for i in $(seq "$processes"); do "$BUILD/bench/bench_store" "$store" "$series" "$count" >"$work/out.$i" & done
    wait
    end=$(date +%s.%N)
    local total=$((processes * count))
    local median worst
    median=$(cut -d' ' -f4 "$work"/out.* | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    worst=$(cut -d' ' -f5 "$work"/out.* | sort -n | tail -n 1)
    rm -f "$work"/out.*
    printf '%-11s %9d %8d %9.2f %12.0f %14s %12s\n' "$label" "$processes" "$total" "$(echo "$end - $start" | bc)" \
        "$(echo "$total / ($end - $start)" | bc -l)" "$median" "$worst"
}
printf '%-11s %9s %8s %9s %12s %14s %12s\n' store processes numbers seconds "numbers/s" "median ms/one" "worst ms"
for processes in 1 8; do
    numbers "sqlite:$work/bench.sqlite" "$processes" 200 sqlite
    numbers "$pg" "$processes" 200 postgresql
done

# 8 boards at line rate; the step's own durationMs over the 19200-baud floor of 8 KB.
for i in $(seq 8); do
    "$BUILD/board/brindle-board" --chip AT89S52 --pace >"$work/board.$i" 2>/dev/null &
    boards+=($!)
done
ports=()
for i in $(seq 8); do
    for _ in $(seq 50); do [ -s "$work/board.$i" ] && break; sleep 0.1; done
    ports+=(-p "$(head -n 1 "$work/board.$i")")
done
python3 -c 'import sys; sys.stdout.buffer.write(bytes((a * 7 + 1) & 0xFF for a in range(8176)))' >"$work/image.bin"
floor=$(echo "8192 * 2 * 10 / 19200" | bc -l)
write() { # LABEL OPTIONS...: the mean ratio of the boards' write steps
    local label=$1
    shift
    "$BUILD/cli/brindle-cli" "${ports[@]}" --json --steps erase,write "$@" auto "$work/image.bin" >"$work/json"
    local ms
    ms=$(grep '"step":"write"' "$work/json" | sed -n 's/.*"durationMs":\([0-9]*\).*/\1/p' | awk '{s+=$1} END {print s/NR}')
    printf '%-34s mean write step %6.3f s  ratio %.3f\n' "$label" "$(echo "$ms / 1000" | bc -l)" "$(echo "$ms / 1000 / $floor" | bc -l)"
}
echo
write "8 boards, no serial number"
write "8 boards, serial in SQLite" --store "sqlite:$work/line.sqlite" --serial-at 0x1FF0 --serial-format be:4
write "8 boards, serial in PostgreSQL" --store "$pg" --serial-at 0x1FF0 --serial-format be:4
write "8 boards, no serial number again"
