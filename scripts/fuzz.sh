#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each for a bounded time. Exits non-zero when a target finds anything.
# FUZZ_SECONDS sets the time per target (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in settings_fuzz text_fuzz shard_fuzz sites_fuzz; do
    mkdir -p "$work/$target"
    echo "fuzzing $target for ${seconds}s"
    if ! (cd "$work" && "$OLDPWD/build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=0 \
            "$work/$target" > "$work/$target.log" 2>&1); then
        echo "$target found a fault:"
        tail -n 40 "$work/$target.log"
        status=1
    else
        grep -E '^Done|#[0-9]+ *DONE' "$work/$target.log" | tail -n 1 || true
    fi
done
exit $status
