#!/usr/bin/env bash
# Builds everything and runs every test. Installs the Debian packages it needs first.
# The build directory is ./build unless ORVEX_BUILD_DIR says otherwise; extra arguments go to
# ctest (for example -R tst_entry).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVEX_BUILD_DIR:-$top/build}
jobs=$(nproc 2>/dev/null || echo 2)

"$top/tools/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"
cd "$build"
exec ctest --output-on-failure -j "$jobs" "$@"
