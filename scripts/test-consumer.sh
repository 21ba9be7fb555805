#!/usr/bin/env bash
# Builds examples/consumer with find_package(Orvane) against an installed
# library, runs it, and checks that its step-trace digests are the companion's
# for the same maps.
#
#   scripts/test-consumer.sh           installs this tree into a temporary prefix
#   scripts/test-consumer.sh PREFIX    uses what is installed in PREFIX (/usr for
#                                      the Debian package) and its bin/orvane-cli
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ $# -gt 0 ]; then
    prefix=$1
    companion=$prefix/bin/orvane-cli
else
    prefix=$work/prefix
    companion=$work/build/cli/orvane-cli
    cmake -S . -B "$work/build" -DORVANE_TESTS=OFF -DORVANE_BENCH=OFF -DORVANE_PYTHON=OFF \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$work/build" -j "$(nproc)" >/dev/null
    cmake --install "$work/build" >/dev/null
fi
# As a user builds it: CMAKE_PREFIX_PATH for a prefix of one's own, nothing for /usr.
hint=()
[ "$prefix" = /usr ] || hint=(-DCMAKE_PREFIX_PATH="$prefix")
cmake -S examples/consumer -B "$work/consumer" "${hint[@]}" >/dev/null
cmake --build "$work/consumer" >/dev/null
found=$(sed -n 's/^Orvane_DIR:PATH=//p' "$work/consumer/CMakeCache.txt")
echo "consumer: find_package(Orvane) found $found"
case $found in
    "$prefix"/*) ;;
    *) echo "consumer: that is not the package installed in $prefix"; exit 1 ;;
esac
"$work/consumer/orvane-consumer" > "$work/out.txt"
cat "$work/out.txt"

status=0
while read -r seed nodes; do
    expected=$("$companion" colour --seed "$seed" --nodes "$nodes" --digest | awk '{print $2}')
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
