#!/usr/bin/env bash
# Installs what is missing, builds, and starts Brindle with the simulated board.
# Any further arguments go to the program (for example --com1 /dev/ttyUSB0 in place of
# the simulator).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/deps.sh"
install_missing "${BUILD_PACKAGES[@]}"
# The programs the README names (brindle-cli where this checkout has it), not the tests.
targets=(brindle brindle-board)
[ -f "$ROOT/cli/CMakeLists.txt" ] && targets+=(brindle-cli)
configure_and_build "$ROOT/build" "${targets[@]}"
if [ $# -eq 0 ]; then set -- --simulate; fi
exec "$ROOT/build/app/brindle" "$@"
