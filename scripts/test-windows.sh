#!/usr/bin/env bash
# Cross-builds Orvane for Windows with MinGW-w64 and runs the unit tests under
# Wine through ctest, so the Windows build is checked against the digests
# recorded from the Linux build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-prefix.sh

orvane_install "${orvane_wine_packages[@]}"
jobs=$(nproc)

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"

# One prefix for the tests, made once; the server is started (and the prefix
# booted) before ctest, so no test waits on Wine's background services.
orvane_wine_prefix "$PWD/build/mingw/wineprefix"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot </dev/null >/dev/null 2>&1
# The long runs (a million maps) are covered by the native build.
ctest --preset mingw -j "$jobs" -LE slow </dev/null
