#!/usr/bin/env bash
# Instruction counts of whole companion runs `orvane-cli colour --seed S
# --nodes N --full` under valgrind's callgrind, for N = 1000, 3000 and 10000,
# and the fitted growth exponent of each column: the whole run, the build and
# the colouring. orvane-scaling prints the time exponents of the same sizes;
# side by side the two tell whether time grows with the work done or with
# cache misses. Hardware counters are used instead when `perf stat -e
# instructions` works on this machine (colouring and build are then not split).
#
#   scripts/instruction-counts.sh [path/to/orvane-cli] [seed]
#
# Without a path, build/default/cli/orvane-cli is used (configured and built
# with the default preset when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-}
seed=${2:-1}
if [[ -z $cli ]]; then
    cli=build/default/cli/orvane-cli
    if [[ ! -x $cli ]]; then
        cmake --preset default >/dev/null
        cmake --build --preset default -j "$(nproc)" --target orvane-cli >/dev/null
    fi
fi
[[ -x $cli ]] || { echo "instruction-counts: no companion at $cli" >&2; exit 1; }
sizes=(1000 3000 10000)

use_perf=0
if command -v perf >/dev/null && perf stat -x, -e instructions true 2>&1 | grep -q '^[0-9]'; then
    use_perf=1
elif ! command -v valgrind >/dev/null; then
    echo "instruction-counts: needs valgrind (apt-get install valgrind) or working hardware counters" >&2
    exit 1
fi

work=$(mktemp -d /tmp/orvane-icount.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Ir of a callgrind output file, all of it or within one function's calls.
total_of() { callgrind_annotate "$1" 2>/dev/null | awk '/PROGRAM TOTALS/ && !done {gsub(",", "", $1); print $1; done = 1}'; }

declare -A whole build colour
for n in "${sizes[@]}"; do
    run=("$cli" colour --seed "$seed" --nodes "$n" --full)
    if ((use_perf)); then
        whole[$n]=$(perf stat -x, -e instructions "${run[@]}" 2>&1 >/dev/null | awk -F, '/instructions/ {print $1}')
        continue
    fi
    valgrind --tool=callgrind --callgrind-out-file="$work/all.$n" "${run[@]}" >/dev/null 2>&1
    valgrind --tool=callgrind --toggle-collect='orvane::Map::build*' --callgrind-out-file="$work/build.$n" \
        "${run[@]}" >/dev/null 2>&1
    valgrind --tool=callgrind --toggle-collect='orvane::Colouring::step*' --callgrind-out-file="$work/colour.$n" \
        "${run[@]}" >/dev/null 2>&1
    whole[$n]=$(total_of "$work/all.$n")
    build[$n]=$(total_of "$work/build.$n")
    colour[$n]=$(total_of "$work/colour.$n")
done

# Least-squares slope of log(count) over log(N), as orvane-scaling fits its times.
exponent() {
    local -n counts=$1
    for n in "${sizes[@]}"; do echo "$n ${counts[$n]}"; done | awk '
        { x = log($1); y = log($2); sx += x; sy += y; sxx += x * x; sxy += x * y; k++ }
        END { printf "%.2f", (k * sxy - sx * sy) / (k * sxx - sx * sx) }'
}

echo "instructions of orvane-cli colour --seed $seed --nodes N --full ($( ((use_perf)) && echo 'hardware counters' || echo 'callgrind'))"
if ((use_perf)); then
    printf '  %6s %16s\n' N "whole run"
    for n in "${sizes[@]}"; do printf '  %6d %16d\n' "$n" "${whole[$n]}"; done
    echo "  exponent: whole run $(exponent whole)"
else
    printf '  %6s %16s %16s %16s\n' N "whole run" build colouring
    for n in "${sizes[@]}"; do printf '  %6d %16d %16d %16d\n' "$n" "${whole[$n]}" "${build[$n]}" "${colour[$n]}"; done
    echo "  exponent: whole run $(exponent whole), build $(exponent build), colour $(exponent colour)"
fi
