#!/usr/bin/env bash
# Installs the library into a temporary prefix, builds examples/consumer against
# it with find_package(Orvane), runs it, and checks that its step-trace digests
# are the companion's for the same maps.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$work/build" -DORVANE_TESTS=OFF -DORVANE_BENCH=OFF -DCMAKE_INSTALL_PREFIX="$work/prefix" >/dev/null
cmake --build "$work/build" -j "$(nproc)" >/dev/null
cmake --install "$work/build" >/dev/null
cmake -S examples/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/orvane-consumer" > "$work/out.txt"
cat "$work/out.txt"

status=0
while read -r seed nodes; do
    expected=$("$work/build/cli/orvane-cli" colour --seed "$seed" --nodes "$nodes" --digest | awk '{print $2}')
    if ! grep -q "nodes=$nodes .*digest=$expected" "$work/out.txt"; then
        echo "consumer: seed $seed nodes $nodes does not give the companion's digest $expected"
        status=1
    fi
done <<'MAPS'
1 8
1a2b 300
beef 5000
MAPS
[ $status -eq 0 ] && echo "consumer: 3 passed, 0 failed"
exit $status
