#!/usr/bin/env bash
# The web page's tests: the WebAssembly build against the native companion in
# Node, then the page served on 127.0.0.1 in headless Chromium. Installs what
# it needs on a Debian/Ubuntu machine: Debian's emscripten and chromium (and
# nodejs with npm where there is no node), and playwright-core from the npm
# registry as web/tests/package-lock.json pins it. No browser is downloaded:
# the tests drive /usr/bin/chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local wanted=(cmake g++ make emscripten chromium python3)
    command -v node >/dev/null 2>&1 || wanted+=(nodejs)
    command -v npm >/dev/null 2>&1 || wanted+=(npm)
    local missing=()
    for p in "${wanted[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo_if_needed apt-get update -qq
        sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

install_packages
# Debian's emscripten finds its JavaScript tools among Debian's node modules.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
jobs=$(nproc)

# The companion the tests compare with, and the page.
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target orvane-cli
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "$jobs"

(cd web/tests && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
[ -n "${ORVANE_WEB_BUILD_ONLY:-}" ] && exit 0
node --test web/tests/
