#!/usr/bin/env bash
# Builds and runs every test of Orvane on a Debian/Ubuntu machine, installing
# what it needs first: the native unit tests, sharded batches merged on a
# private single-node Slurm cluster, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, a program built against the installed library, the Python
# module with pytest, the web page (its WebAssembly build in Node and the page
# in headless Chromium), the fuzz targets for a bounded time, the Windows
# build's tests under Wine, and the end-to-end window test.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local wanted=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev strace)
    local missing=()
    for p in "${wanted[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo_if_needed apt-get update -qq
        sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

step() { printf '\n=== %s ===\n' "$*"; }

install_packages
jobs=$(nproc)

step "native build and unit tests"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

step "sharded runs on a private Slurm cluster"
bash scripts/test-slurm.sh

step "sanitizer build and unit tests"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --preset sanitize -j "$jobs"

step "threaded tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --preset tsan -j "$jobs"

step "a program built against the installed library"
bash scripts/test-consumer.sh

step "the Python module"
bash python/run-tests.sh

step "the web page: WebAssembly in Node, the page in Chromium"
bash scripts/test-web.sh

step "fuzz targets under the sanitizers"
bash scripts/fuzz.sh

step "Windows build: unit tests under Wine"
bash scripts/test-windows.sh

step "end-to-end test of the window under Wine and Xvfb"
bash scripts/e2e.sh
