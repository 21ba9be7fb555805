#!/usr/bin/env bash
# Builds and runs every test of Orvane on a Debian/Ubuntu machine, installing
# what it needs first: the native unit tests, sharded batches merged on a
# private single-node Slurm cluster, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, the Python module with pytest, the web page (its
# WebAssembly build in Node and the page in headless Chromium), the fuzz
# targets for a bounded time, the Windows build's tests under Wine, then the
# release files (scripts/package.sh) tried as installed: the Windows zip with
# the end-to-end window test, the Debian package with a program built against
# it, the wheel, the web folder, and a second packaging run that must give the
# same bytes. Prints how long each step took and the whole.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local wanted=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev strace)
    local missing=()
    for p in "${wanted[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo_if_needed apt-get -o DPkg::Lock::Timeout=900 update -qq
        sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
            --no-install-recommends "${missing[@]}"
    fi
}

# Each step's time, printed at the end (the whole command has a time budget).
started=$(date +%s)
step_name="" step_started=$started timings=""
step() {
    local now
    now=$(date +%s)
    [ -n "$step_name" ] && timings+="$step_name $((now - step_started)) s; "
    step_name=$1 step_started=$now
    printf '\n=== %s ===\n' "$*"
}

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

step "the Python module"
bash python/run-tests.sh

step "the web page: WebAssembly in Node, the page in Chromium"
bash scripts/test-web.sh

step "fuzz targets under the sanitizers"
bash scripts/fuzz.sh

step "Windows build: unit tests under Wine"
bash scripts/test-windows.sh

# The release files come from the build folders above (build/mingw, whose
# programs the Windows tests ran, and build/python-wheel of the Python
# tests' pip install); only the Debian package's Release build is new.
step "release files (scripts/package.sh)"
bash scripts/package.sh

step "release files as installed: zip and window test, package, wheel, a second packaging run"
status=0
bash scripts/test-release.sh || status=$?

step "done"
printf 'test.sh: took %d s; steps: %s\n' $((step_started - started)) "$timings"
exit $status
