#!/usr/bin/env bash
# Speed of the web page beside the native companion on this machine: builds
# both (installing what the web tests install) and prints the figures of
# web/tests/bench.mjs. A benchmark: it prints, it asserts nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
# The same tools and builds as the tests; only their run is left out.
ORVANE_WEB_BUILD_ONLY=1 bash scripts/test-web.sh
node web/tests/bench.mjs
