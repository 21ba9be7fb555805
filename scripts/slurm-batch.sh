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
#
# Every value given here is data: it reaches the jobs through their argument
# lists (scripts/slurm-job.sh runs them), never through a script's text, and
# DIR's "%" are doubled in the output paths, where Slurm reads patterns.
set -uo pipefail

usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
usage_error() {
    echo "slurm-batch: $*" >&2
    echo "slurm-batch: run '$0 --help' for the options; nothing was made or submitted" >&2
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
    [ $# -ge 2 ] || usage_error "$1 needs a value"
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
    *) usage_error "unknown option '$1'" ;;
    esac
    shift 2
done
for option in seed nodes maps tasks out; do
    [ -n "${!option}" ] || usage_error "--$option is required"
done
# Numbers are checked by their digits first: bash's arithmetic would stumble on a huge one.
[[ $tasks =~ ^[1-9][0-9]{0,6}$ ]] && [ "$tasks" -le 1000000 ] ||
    usage_error "--tasks takes a whole number from 1 to 1000000, not '$tasks'"
[[ $cpus =~ ^[1-9][0-9]?$ ]] && [ "$cpus" -le 64 ] || usage_error "--cpus takes a whole number from 1 to 64, not '$cpus'"
if [ -n "$clock_step" ]; then
    [[ $clock_step =~ ^[1-9][0-9]{0,5}$ ]] && [ "$clock_step" -le 100000 ] ||
        usage_error "--clock-step takes a whole number from 1 to 100000, not '$clock_step'"
fi
# A line break would split Slurm's one-line records of the jobs (their comment, their output's path).
for option in out logdir; do
    case ${!option} in *$'\n'* | *$'\r'*)
        usage_error "--${option/logdir/dir} holds a line break: name a folder without one" ;;
    esac
done
# The jobs' output files are named by Slurm's patterns (%a, %j), in which "%%"
# stands for "%" but a backslash anywhere turns every pattern off.
case $out in *\\*)
    usage_error "--out holds a backslash, which would keep Slurm from naming the tasks' output files: name a folder" \
        "without one" ;;
esac
poll=${ORVANE_SLURM_POLL:-5}
if [ -n "$wait" ]; then
    [[ $poll =~ ^[1-9][0-9]{0,3}$ ]] && [ "$poll" -le 3600 ] ||
        usage_error "ORVANE_SLURM_POLL takes whole seconds from 1 to 3600, not '$poll': unset it for the default of 5"
fi

# The tools, before anything is made.
for tool in sbatch squeue scontrol scancel; do
    command -v "$tool" >/dev/null 2>&1 ||
        die "$tool not found: this script needs the client commands of a Slurm cluster on PATH (on Debian:" \
            "apt-get install slurm-client, with SLURM_CONF naming the cluster's slurm.conf); nothing was made or submitted"
done
root=$(cd -- "$(dirname -- "$0")/.." && pwd)
job_script=$root/scripts/slurm-job.sh
[ -r "$job_script" ] || die "the job script $job_script is missing: check out the whole scripts/ folder; nothing was submitted"
cli=${ORVANE_CLI:-$root/build/default/cli/orvane-cli}
[ -x "$cli" ] || die "no companion at $cli: build it (cmake --preset default && cmake --build --preset default)" \
    "or set ORVANE_CLI; nothing was made or submitted"
cli=$(realpath -- "$cli")
out=$(realpath -m -- "$out") || die "cannot make a full path of --out: name another folder; nothing was made or submitted"
if [ -n "$logdir" ]; then
    logdir=$(realpath -m -- "$logdir") || die "cannot make a full path of --dir: name another folder; nothing was made or submitted"
else
    logdir=$out
fi

# Array indices must stay below the cluster's MaxArraySize.
max_array=$(scontrol show config 2>/dev/null | awk -F= '/^MaxArraySize/ { gsub(/ /, "", $2); print $2 }')
if [[ $max_array =~ ^[0-9]{1,9}$ ]] && [ "$tasks" -gt "$max_array" ]; then
    die "--tasks $tasks is more than this cluster's MaxArraySize ($max_array): use fewer, larger shards; nothing was submitted"
fi

# Jobs of an earlier submission to DIR would write the same shard files.
tag="orvane:$out"
comments=$(squeue -h -o '%k' 2>&1) ||
    die "squeue cannot reach the cluster ($comments): check that Slurm is up (scontrol ping) and SLURM_CONF; nothing was submitted"
if grep -Fxq -- "$tag" <<<"$comments"; then
    die "jobs of an earlier submission to $out are still queued or running (squeue); wait for them or scancel them first"
fi

run_options=(--seed "$seed" --nodes "$nodes" --maps "$maps")
pending=$("$cli" pending "${run_options[@]}" --shards "$tasks" --out "$out")
case $? in
0) ;;
2) usage_error "the companion refused these options (see above): correct them and run again" ;;
*) die "$out cannot take this run's shards (see above): use another --out, or move those files away; nothing was submitted" ;;
esac

mkdir -p -- "$out/slurm" || die "cannot make $out/slurm (see above): choose another --out; nothing was submitted"
if [ "$logdir" != "$out" ]; then
    mkdir -p -- "$logdir" || die "cannot make $logdir (see above): choose another --dir; nothing was submitted"
fi

# Where a job's output goes: FILE in DIR/slurm, with DIR's "%" doubled for Slurm's patterns.
slurm_output() {
    local folder=${out//[%]/%%}
    printf '%s\n' "$folder/slurm/$1"
}

# sbatch with the options every job of the run shares (they run in DIR);
# prints the job id.
submit() {
    local common=(--parsable --comment="$tag" --chdir="$out")
    [ -n "$partition" ] && common+=(--partition="$partition")
    [ -n "$time_limit" ] && common+=(--time="$time_limit")
    local id
    id=$(sbatch "${common[@]}" "$@" </dev/null) || return 1
    echo "${id%%;*}"
}

merge_after=()
if [ -n "$pending" ]; then
    shard_command=(--shard-of "$tasks" "$cli" batch "${run_options[@]}" --out "$out")
    [ -n "$clock_step" ] && shard_command+=(--clock-step "$clock_step")
    array=$(submit --job-name=orvane-shards --array="$pending" --cpus-per-task="$cpus" \
        --output="$(slurm_output 'shard-%a-%A.out')" "${array_options[@]}" "$job_script" "${shard_command[@]}") ||
        die "sbatch refused the shards' job array (see above): correct the Slurm options (--partition, --time," \
            "--cpus) and run the same command again"
    echo "shards: job $array (array $pending of $tasks tasks)"
    merge_after=(--dependency="afterok:$array" --kill-on-invalid-dep=yes)
else
    echo "shards: all $tasks complete in $out"
fi
merge=$(submit --job-name=orvane-merge --cpus-per-task=1 "${merge_after[@]}" \
    --output="$(slurm_output 'merge-%j.out')" --error="$(slurm_output 'merge-%j.err')" "$job_script" "$cli" merge "$out" --dir "$logdir") ||
    die "sbatch refused the merge job (see above): run the same command again to submit it; the shards' files stay"
echo "merge: job $merge"
[ -n "$wait" ] || exit 0

# Waits for the merge without accounting: a job's record stays MinJobAge
# seconds (300 by default) after it ends; polled more often than that. A few
# empty replies in a row (the controller busy or restarting) are waited out.
most_empty_replies=5
empty_replies=0
state=""
while :; do
    line=$(scontrol -o show job "$merge" 2>/dev/null)
    state=$(sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p' <<<"$line")
    if [ -z "$state" ]; then
        empty_replies=$((empty_replies + 1))
        [ "$empty_replies" -lt "$most_empty_replies" ] || break
        sleep "$poll"
        continue
    fi
    empty_replies=0
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
merge_out=$out/slurm/merge-$merge.out merge_err=$out/slurm/merge-$merge.err
log=$(tail -n 1 -- "$merge_out" 2>/dev/null)
if [ "${state:-COMPLETED}" = COMPLETED ] && [ -n "$log" ] && [ -f "$log" ]; then
    echo "log $log"
    exit 0
fi
if [ -s "$merge_err" ]; then
    cat -- "$merge_err" >&2
    die "the merge refused the shards (${state:-its record is gone}; see above): run the same command again to" \
        "resubmit the missing shards"
fi
if [ -z "$state" ]; then
    die "scontrol said nothing of the merge job $merge $most_empty_replies times in a row: ask 'scontrol show job" \
        "$merge' whether it is still queued (then wait, or run the same command again later), and look in $out/slurm/"
fi
die "the merge did not run ($state): a shard failed or was cancelled (see $out/slurm/); run the same command again" \
    "to resubmit the missing shards"
