#!/usr/bin/env bash
# Sharded batch runs on a private single-node Slurm cluster (scripts/slurm-
# cluster.sh), which must listen on 127.0.0.1 only: runs submitted with
# scripts/slurm-batch.sh must merge into the run log that `orvane-cli batch
# --jobs 1` writes for the same seeds, whatever the folder's name; a
# cancelled shard, a truncated shard file, a shard of another run and two
# copies of one shard must each stop the merge, and a second submission must
# fill the gap. The script's failure paths: scripts/test-slurm-batch.sh. The companion: ORVANE_CLI, else build/default/cli/orvane-cli.
# Ends with "slurm: N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=slurm-cluster.sh
source scripts/slurm-cluster.sh

cli=$(realpath "${ORVANE_CLI:-$root/build/default/cli/orvane-cli}")
if [ ! -x "$cli" ]; then
    echo "test-slurm: no companion at $cli: build it first (cmake --preset default && cmake --build --preset default)"
    echo "slurm: 0 passed, 1 failed"
    exit 1
fi
export ORVANE_CLI=$cli ORVANE_SLURM_POLL=1
started=$SECONDS
work=$(mktemp -d /tmp/orvane-test-slurm.XXXXXX)
chmod 755 "$work"  # munged wants every folder above its socket open to all
cleanup() {
    orvane_slurm_stop "$work/cluster" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

. "$root/scripts/checks.sh"
finish() {
    echo "test-slurm: took $((SECONDS - started)) s"
    echo "slurm: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

if ! orvane_slurm_start "$work/cluster"; then
    failed=$((failed + 1))
    finish
fi
# The private cluster answers this machine only.
only_loopback() {
    local listening
    listening=$(orvane_slurm_listening "$work/cluster") || return 1
    echo "  listening: $(echo "$listening" | tr '\n' ' ')"
    grep -q '^slurmctld ' <<<"$listening" && grep -q '^slurmd ' <<<"$listening" &&
        ! awk '$2 !~ /^(127\.[0-9.]+|\[::1\]):[0-9]+$/ { found = 1 } END { exit !found }' <<<"$listening"
}
check "slurmctld and slurmd listen on 127.0.0.1 only" only_loopback

# The log of one sequential run: batch --jobs 1 with the same options.
sequential_log() {
    local dir=$work/sequential-$RANDOM$RANDOM
    "$cli" batch --jobs 1 --dir "$dir" "$@" >/dev/null || return 1
    ls "$dir"/Log_*/*.txt
}
# A log without its three time lines, or without its total time line alone
# (with --clock-step the sums are the same however the maps were spread).
without_times() { head -n -3 "$1"; }
without_total() { grep -v '^総処理時間' "$1"; }
same_log() {
    local how=$1 merged=$2 sequential=$3
    [ -f "$merged" ] && [ -f "$sequential" ] && [ -s "$sequential" ] &&
        cmp -s <("$how" "$merged") <("$how" "$sequential")
}
# Submits with --wait; the log's path, from the line "log PATH".
submit_and_wait() {
    local out=$1
    shift
    bash scripts/slurm-batch.sh --out "$out" --wait "$@" >"$out.submit" 2>&1
    sed -n 's/^log //p' "$out.submit"
}
no_log_in() { ! ls "$1"/Log_* >/dev/null 2>&1; }
contains() { grep -qF -- "$2" "$1"; }

# The seed count up to and including the last failure of the first 60 maps
# from seed 2a of 20 nodes, on a clock stepping 400 ms: a run ending in a failure.
ending_in_failure() {
    local log last
    log=$(sequential_log --seed 2a --nodes 20 --maps 60 --clock-step 400) || return 1
    last=$(grep -a ';Error(' "$log" | tail -n 1 | cut -c1-8)
    echo $((16#$last - 16#2a + 1))
}
last_maps=$(ending_in_failure)

# The runs, submitted side by side: plain, failures forced by the clock, the
# last map failing, seeds wrapping past ffffffff.
submit_and_wait "$work/plain" --seed 1 --nodes 200 --maps 4000 --tasks 8 >"$work/plain.log" &
submit_and_wait "$work/failing" --seed 2a --nodes 20 --maps 300 --tasks 8 --clock-step 400 >"$work/failing.log" &
submit_and_wait "$work/last" --seed 2a --nodes 20 --maps "$last_maps" --tasks 8 --clock-step 400 >"$work/last.log" &
submit_and_wait "$work/wrap" --seed fffffc00 --nodes 100 --maps 2048 --tasks 8 --cpus 2 >"$work/wrap.log" &
# A folder whose name is data: Slurm's patterns, the script's old markers, quotes.
odd="$work/-odd @CPUS@ @TASK@ %x%j 'q' \"d\""
submit_and_wait "$odd" --seed 5 --nodes 30 --maps 300 --tasks 3 --cpus 2 >"$work/odd.log" &
# A shard that cannot write its file (its name links into a missing folder)
# fails its task: the merge never runs and --wait says so.
mkdir -p "$work/unwritable"
ln -s "$work/missing/shard.txt" "$work/unwritable/shard-00001-of-00002.txt"
(
    bash scripts/slurm-batch.sh --out "$work/unwritable" --seed 1 --nodes 50 --maps 20 --tasks 2 --wait \
        >"$work/unwritable.submit" 2>&1
    echo $? >"$work/unwritable.status"
) &
# One array task cancelled before it runs: the array is held until then.
bash scripts/slurm-batch.sh --out "$work/gap" --seed 3 --nodes 200 --maps 800 --tasks 8 \
    --array-option --hold >"$work/gap.submit" 2>&1
gap_array=$(sed -n 's/^shards: job \([0-9]*\) .*/\1/p' "$work/gap.submit")
gap_merge=$(sed -n 's/^merge: job \([0-9]*\).*/\1/p' "$work/gap.submit")
bash scripts/slurm-batch.sh --out "$work/gap" --seed 3 --nodes 200 --maps 800 --tasks 8 >"$work/gap.again" 2>&1
again=$?
check "a submission while the run's jobs are queued is refused" \
    bash -c '[ "$1" -ne 0 ] && grep -q "still queued or running" "$2"' _ "$again" "$work/gap.again"
scancel "${gap_array}_3" && scontrol release "$gap_array"
check "  ... and still on 127.0.0.1 only while jobs run" only_loopback

plain=$(sequential_log --seed 1 --nodes 200 --maps 4000)
failing=$(sequential_log --seed 2a --nodes 20 --maps 300 --clock-step 400)
last=$(sequential_log --seed 2a --nodes 20 --maps "$last_maps" --clock-step 400)
wrap=$(sequential_log --seed fffffc00 --nodes 100 --maps 2048)
gap=$(sequential_log --seed 3 --nodes 200 --maps 800)
odd_sequential=$(sequential_log --seed 5 --nodes 30 --maps 300)
wait

check "8 shards of 4000 maps merge into the log of batch --jobs 1" same_log without_times "$(cat "$work/plain.log")" "$plain"
check "failures forced by --clock-step: the same log, sums included" same_log without_total "$(cat "$work/failing.log")" "$failing"
check "  ... and there are failures" contains "$failing" ';Error('
check "the last map failing ($last_maps maps): the same log" same_log without_total "$(cat "$work/last.log")" "$last"
check "  ... and the last map did fail" bash -c '! grep -q "最終地図" "$1"' _ "$last"
check "seeds wrapping past ffffffff: the same log" same_log without_times "$(cat "$work/wrap.log")" "$wrap"
check "  ... and the run crosses 00000000" contains "$wrap" '000003ff(100)	;最終地図'

check "a folder named with @CPUS@, %x, quotes and a leading -: the same log" \
    same_log without_times "$(cat "$work/odd.log")" "$odd_sequential"
check "  ... its Slurm output files named as the folder is" bash -c '[ -f "$1/slurm/shard-2-$2.out" ]' _ "$odd" \
    "$(sed -n 's/^shards: job \([0-9]*\) .*/\1/p' "$odd.submit")"

# A folder in a shard file's place would fail its task for good: refused before anything is submitted.
mkdir -p "$work/folder-in-place/shard-00001-of-00002.txt"
bash scripts/slurm-batch.sh --out "$work/folder-in-place" --seed 1 --nodes 50 --maps 20 --tasks 2 \
    >"$work/folder-in-place.submit" 2>&1
check "a folder in a shard file's place: refused (exit $?)" \
    contains "$work/folder-in-place.submit" "shard-00001-of-00002.txt: is a folder, not a shard file"
check "  ... before submitting" bash -c '! grep -q "^shards: job" "$1"' _ "$work/folder-in-place.submit"

check "a failed shard task: --wait exits 1 ($(cat "$work/unwritable.status"))" [ "$(cat "$work/unwritable.status")" = 1 ]
check "  ... saying that the merge did not run" contains "$work/unwritable.submit" "the merge did not run"

# The cancelled task: the merge job is cancelled with it, and the merge refuses.
quietly() { "$@" >/dev/null; }
check "array with task 3 cancelled ends" quietly orvane_slurm_wait_job "$gap_array" 120
merge_state=$(orvane_slurm_wait_job "$gap_merge" 60 | awk '{ print $2 }')
check "its merge job never runs ($merge_state)" [ "$merge_state" = CANCELLED ]
"$cli" merge "$work/gap" >"$work/gap.merge" 2>&1
check "merge refuses with exit 1" [ $? -eq 1 ]
check "  ... naming shard 3" contains "$work/gap.merge" "shard 3 of 8 is missing"
check "  ... and writes no log" no_log_in "$work/gap"
log=$(submit_and_wait "$work/gap" --seed 3 --nodes 200 --maps 800 --tasks 8)
check "a second submission runs shard 3 alone" contains "$work/gap.submit" "(array 3 of 8 tasks)"
check "  ... and its merge gives the log of batch --jobs 1" same_log without_times "$log" "$gap"

# Broken sets made from the plain run's shard files: each refused by name.
refused() {
    local dir=$1 expected=$2
    "$cli" merge "$dir" >"$dir.merge" 2>&1
    local status=$?
    [ $status -eq 1 ] && grep -qF -- "$expected" "$dir.merge" && no_log_in "$dir" ||
        { echo "  exit $status:" && cat "$dir.merge"; return 1; }
}
broken_copy() {
    mkdir -p "$work/$1" && cp "$work"/plain/shard-*.txt "$work/$1/"
}
broken_copy truncated
shard5=$work/plain/shard-00005-of-00008.txt
head -c $(($(wc -c <"$shard5") / 2)) "$shard5" >"$work/truncated/shard-00005-of-00008.txt"
check "a truncated shard file is refused" refused "$work/truncated" "shard-00005-of-00008.txt: incomplete"
broken_copy foreign
cp "$work/wrap/shard-00002-of-00008.txt" "$work/foreign/"
check "a shard of another run is refused" refused "$work/foreign" "shard-00002-of-00008.txt: belongs to another run (seed fffffc00"
broken_copy twice
cp "$work/plain/shard-00004-of-00008.txt" "$work/twice/shard-00004-copy.txt"
check "two copies of one shard are refused" refused "$work/twice" "shard-00004-copy.txt: another copy of shard 4"
log=$(submit_and_wait "$work/truncated" --seed 1 --nodes 200 --maps 4000 --tasks 8)
check "a new submission runs the truncated shard again and merges" same_log without_times "$log" "$plain"

finish
