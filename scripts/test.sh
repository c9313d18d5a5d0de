#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through ctest. The tests start
# a PostgreSQL server of their own (tests/station/pg_cluster.sh), hence Debian's postgresql.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/deps.sh"
install_missing "${BUILD_PACKAGES[@]}" xvfb xauth xdotool x11-utils imagemagick \
    dpkg-dev file lintian desktop-file-utils appstream man-db postgresql
configure_and_build "$ROOT/build"
cd "$ROOT/build"
ctest --output-on-failure -j2
