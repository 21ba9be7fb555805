#!/usr/bin/env bash
# Records the step-by-step trace digests of many (seed, N) colourings with the
# companion, as the reference that every faster code path must reproduce.
# With --reference, the slow literal paths give the record.
# Usage: scripts/record-golden.sh path/to/orvane-cli > tests/data/golden_traces.txt
set -euo pipefail
cli=${1:?path to orvane-cli}
record() {
    local seed=$1 n=$2
    local line
    line=$("$cli" colour --seed "$seed" --nodes "$n" --digest --reference | head -n 1)
    # digest D steps K verify V colours C
    set -- $line
    printf '%s %s %s %s %s %s\n' "$seed" "$n" "$2" "$4" "$6" "$8"
}
echo "# seed nodes trace-digest steps verify colours-digest"
for n in 3 4 5 6 7 8 10 12 16 20 30 50 75 100 150 200 300 500; do
    for i in $(seq 1 20); do record "$(printf '%x' $(( (i * 2654435761 + n) % 4294967296 )))" "$n"; done
done
for n in 700 1000 2000; do
    for i in $(seq 1 8); do record "$(printf '%x' $(( i * 40503 + n )))" "$n"; done
done
for seed in 1 2 ffffffff; do record "$seed" 5000; done
for seed in 1 2 3; do record "$seed" 10000; done
