#!/usr/bin/env bash
# Builds the web page (the core in WebAssembly with Debian's emscripten) and
# serves it on http://127.0.0.1:8080 with Python's standard server; Ctrl-C
# stops it. The built folder, build/wasm/web/site, is self-contained: copied
# to any static web host it works the same (docs/web.md).
#   bash scripts/web.sh [PORT]
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

wanted=(cmake make emscripten python3)
missing=()
for p in "${wanted[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "$(nproc)"
echo "Orvane: http://127.0.0.1:$port/"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/wasm/web/site
