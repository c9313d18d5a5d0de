#!/usr/bin/env bash
# Installs what is missing, builds, and starts Brindle with the simulated board.
# Any further arguments go to the program (for example --com1 /dev/ttyUSB0 in place of
# the simulator). With "cli" first, builds and runs brindle-cli with the arguments after it
# (for example: scripts/run.sh cli --simulate auto examples/blink.hex).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/deps.sh"
install_missing "${BUILD_PACKAGES[@]}"
if [ "${1:-}" = cli ]; then
    shift
    configure_and_build "$ROOT/build" brindle-cli
    exec "$ROOT/build/cli/brindle-cli" "$@"
fi
# The programs the README names, not the tests.
configure_and_build "$ROOT/build" brindle brindle-board brindle-cli
if [ $# -eq 0 ]; then set -- --simulate; fi
exec "$ROOT/build/app/brindle" "$@"
