#!/usr/bin/env bash
# Builds the installer and the demonstration distribution, then starts the installer on it.
# Installs the Debian packages it needs first. Arguments are passed on to the installer.
# The build directory is ./build unless ORVEX_BUILD_DIR says otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVEX_BUILD_DIR:-$top/build}

"$top/tools/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target distribution
cd "$build/distribution"
exec ./orvex-installer "$@"
