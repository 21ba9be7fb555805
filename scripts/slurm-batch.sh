#!/usr/bin/env bash
# Submits a batch run to a Slurm cluster as a job array of shards and a merge
# job that waits for the whole array, then puts the shard files together into
# the run log that one sequential run of the same seeds writes.
#
#   scripts/slurm-batch.sh --seed S --nodes N --maps M --tasks K --out DIR
#       [--partition P] [--time T] [--cpus C] [--dir LOGDIR] [--wait]
#
# Array task I runs `orvane-cli batch --shard I/K --out DIR` on C CPUs (--jobs
# C); the merge (afterok on the array, cancelled when that can no longer be
# met) writes the log under LOGDIR (default: DIR). Run again with the same
# options and DIR, it submits only the shards whose files are missing or
# incomplete, then the merge. --wait waits for the merge and prints the log's
# path. The companion: ORVANE_CLI, else build/default/cli/orvane-cli. Slurm's
# own output goes to DIR/slurm/. See docs/cluster.md.
#
# For tests: --clock-step MS is passed on to every shard, and each
# --array-option OPT to the array's sbatch (e.g. --hold).
set -uo pipefail

usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
die() {
    echo "slurm-batch: $*" >&2
    exit 1
}

seed="" nodes="" maps="" tasks="" out="" logdir="" partition="" time_limit="" cpus=1 wait="" clock_step=""
array_options=()
while [ $# -gt 0 ]; do
    case $1 in
    --wait) wait=1 && shift && continue ;;
    --help | -h) usage ;;
    esac
    [ $# -ge 2 ] || { echo "slurm-batch: $1 needs a value" >&2 && usage; }
    case $1 in
    --seed) seed=$2 ;;
    --nodes) nodes=$2 ;;
    --maps) maps=$2 ;;
    --tasks) tasks=$2 ;;
    --out) out=$2 ;;
    --dir) logdir=$2 ;;
    --partition) partition=$2 ;;
    --time) time_limit=$2 ;;
    --cpus) cpus=$2 ;;
    --clock-step) clock_step=$2 ;;
    --array-option) array_options+=("$2") ;;
    *) echo "slurm-batch: unknown option $1" >&2 && usage ;;
    esac
    shift 2
done
for option in seed nodes maps tasks out; do
    [ -n "${!option}" ] || { echo "slurm-batch: --$option is required" >&2 && usage; }
done
[[ $tasks =~ ^[1-9][0-9]*$ ]] || die "--tasks takes a whole number from 1 on, not '$tasks'"
[[ $cpus =~ ^[1-9][0-9]*$ ]] && [ "$cpus" -le 64 ] || die "--cpus takes a whole number from 1 to 64, not '$cpus'"

root=$(cd "$(dirname "$0")/.." && pwd)
cli=${ORVANE_CLI:-$root/build/default/cli/orvane-cli}
[ -x "$cli" ] || die "no companion at $cli: build it (cmake --preset default && cmake --build --preset default) or set ORVANE_CLI"
cli=$(realpath "$cli")
mkdir -p "$out/slurm" || die "cannot make $out/slurm"
out=$(cd "$out" && pwd)
if [ -n "$logdir" ]; then
    mkdir -p "$logdir" || die "cannot make $logdir"
    logdir=$(cd "$logdir" && pwd)
else
    logdir=$out
fi

# Array indices must stay below the cluster's MaxArraySize.
max_array=$(scontrol show config 2>/dev/null | awk -F= '/^MaxArraySize/ { gsub(/ /, "", $2); print $2 }')
if [[ $max_array =~ ^[0-9]+$ ]] && [ "$tasks" -gt "$max_array" ]; then
    die "--tasks $tasks is more than this cluster's MaxArraySize ($max_array): use fewer, larger shards"
fi

# Jobs of an earlier submission to DIR would write the same shard files.
tag="orvane:$out"
if squeue -h -o '%k' 2>/dev/null | grep -Fxq -- "$tag"; then
    die "jobs of an earlier submission to $out are still queued or running (squeue); wait for them or scancel them first"
fi

run_options=(--seed "$seed" --nodes "$nodes" --maps "$maps")
pending=$("$cli" pending "${run_options[@]}" --shards "$tasks" --out "$out") ||
    die "$out cannot take this run's shards (see above): use another --out, or move those files away"

# A job script running one command, every word quoted for bash.
job_script() {
    printf '#!/bin/bash\nexec'
    printf ' %q' "$@"
    printf '\n'
}

# sbatch with the options every job of the run shares; prints the job id.
submit() {
    local common=(--parsable --comment="$tag")
    [ -n "$partition" ] && common+=(--partition="$partition")
    [ -n "$time_limit" ] && common+=(--time="$time_limit")
    local id
    id=$(sbatch "${common[@]}" "$@") || return 1
    echo "${id%%;*}"
}

merge_after=()
if [ -n "$pending" ]; then
    shard_command=("$cli" batch "${run_options[@]}" --shard "@TASK@/$tasks" --out "$out" --jobs "@CPUS@")
    [ -n "$clock_step" ] && shard_command+=(--clock-step "$clock_step")
    # The task's index and CPUs are known only when it runs.
    script=$(job_script "${shard_command[@]}" | sed 's|@TASK@|"$SLURM_ARRAY_TASK_ID"|; s|@CPUS@|"${SLURM_CPUS_PER_TASK:-1}"|')
    array=$(submit --job-name=orvane-shards --array="$pending" --cpus-per-task="$cpus" \
        --output="$out/slurm/shard-%a-%A.out" "${array_options[@]}" <<<"$script") ||
        die "sbatch refused the shards' job array"
    echo "shards: job $array (array $pending of $tasks tasks)"
    merge_after=(--dependency="afterok:$array" --kill-on-invalid-dep=yes)
else
    echo "shards: all $tasks complete in $out"
fi
merge=$(submit --job-name=orvane-merge --cpus-per-task=1 "${merge_after[@]}" \
    --output="$out/slurm/merge-%j.out" --error="$out/slurm/merge-%j.err" \
    <<<"$(job_script "$cli" merge "$out" --dir "$logdir")") || die "sbatch refused the merge job"
echo "merge: job $merge"
[ -n "$wait" ] || exit 0

# Waits for the merge without accounting: a job's record stays MinJobAge
# seconds (300 by default) after it ends; polled more often than that.
poll=${ORVANE_SLURM_POLL:-5}
state=""
while :; do
    line=$(scontrol -o show job "$merge" 2>/dev/null)
    state=$(sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p' <<<"$line")
    reason=$(sed -n 's/.* Reason=\([^ ]*\).*/\1/p' <<<"$line")
    if [ "$state" = PENDING ] && [ "$reason" = DependencyNeverSatisfied ]; then
        scancel "$merge" 2>/dev/null
        state=CANCELLED
    fi
    case $state in
    PENDING | RUNNING | CONFIGURING | COMPLETING | SUSPENDED | REQUEUED | RESIZING | SIGNALING | STAGE_OUT) sleep "$poll" ;;
    *) break ;;
    esac
done
log=$(tail -n 1 "$out/slurm/merge-$merge.out" 2>/dev/null)
if [ "${state:-COMPLETED}" = COMPLETED ] && [ -n "$log" ] && [ -f "$log" ]; then
    echo "log $log"
    exit 0
fi
cat "$out/slurm/merge-$merge.err" >&2 2>/dev/null
if [ -z "$(cat "$out/slurm/merge-$merge.err" 2>/dev/null)" ]; then
    echo "slurm-batch: the merge did not run (${state:-gone}): a shard failed or was cancelled (see $out/slurm/);" \
        "run the same command again to resubmit the missing shards" >&2
else
    echo "slurm-batch: the merge refused the shards (${state:-gone}); run the same command again to resubmit the missing shards" >&2
fi
exit 1
