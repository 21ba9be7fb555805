#!/usr/bin/env bash
# The failure paths of scripts/slurm-batch.sh, with stand-ins for sbatch,
# squeue, scontrol and scancel on PATH (no cluster needed): Slurm missing, bad
# options, folder names that are data (line breaks, a leading "-", "%", "@"),
# refusals by sbatch and squeue, and --wait through empty replies of
# scontrol. The jobs a stand-in sbatch is given are run here as Slurm would
# run them, to see that their arguments arrive whole.
# The companion: ORVANE_CLI, else build/default/cli/orvane-cli.
# Ends with "slurm-batch: N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cli=$(realpath -- "${ORVANE_CLI:-$root/build/default/cli/orvane-cli}")
if [ ! -x "$cli" ]; then
    echo "test-slurm-batch: no companion at $cli: build it first (cmake --preset default && cmake --build --preset default)"
    echo "slurm-batch: 0 passed, 1 failed"
    exit 1
fi
export ORVANE_CLI=$cli
work=$(mktemp -d /tmp/orvane-test-slurm-batch.XXXXXX)
trap 'rm -rf -- "$work"' EXIT

. "$root/scripts/checks.sh"

# The stand-ins. sbatch records each call's arguments (one per line: a file
# per call) and prints job ids from 100 on; with FAKE_SBATCH_FAIL it refuses.
# A merge job's output file gets FAKE_MERGE_PRINTS. scontrol answers "show
# job" with the next line of FAKE_REPLIES (an empty line: no answer), the last
# one again when they run out.
fake=$work/bin
mkdir -p -- "$fake"
cat >"$fake/sbatch" <<'EOF'
#!/bin/bash
[ -n "${FAKE_SBATCH_FAIL:-}" ] && { echo "sbatch: error: Batch job submission failed: Invalid partition name specified" >&2; exit 1; }
n=$(ls "$FAKE_STATE"/sbatch.* 2>/dev/null | wc -l)
id=$((100 + n))
printf '%s\n' "$@" >"$FAKE_STATE/sbatch.$n"
output=""
for a in "$@"; do case $a in --output=*) output=${a#--output=} ;; esac; done
if printf '%s\n' "$@" | grep -qx -- --job-name=orvane-merge && [ -n "$output" ]; then
    output=${output//%j/$id}
    output=${output//%%/%}
    printf '%s\n' "${FAKE_MERGE_PRINTS:-}" >"$output"
fi
echo "$id"
EOF
cat >"$fake/scontrol" <<'EOF'
#!/bin/bash
if [ "$*" = "show config" ]; then echo "MaxArraySize            = ${FAKE_MAX_ARRAY:-1001}"; exit 0; fi
count=$(cat "$FAKE_STATE/scontrol.count" 2>/dev/null || echo 0)
echo $((count + 1)) >"$FAKE_STATE/scontrol.count"
total=$(wc -l <"$FAKE_REPLIES")
line=$((count + 1 > total ? total : count + 1))
reply=$(sed -n "${line}p" "$FAKE_REPLIES")
[ -n "$reply" ] || { echo "slurm_load_jobs error: Socket timed out on send/recv operation" >&2; exit 1; }
echo "JobId=$3 JobName=orvane-merge $reply"
EOF
cat >"$fake/squeue" <<'EOF'
#!/bin/bash
[ -n "${FAKE_SQUEUE_FAIL:-}" ] && { echo "squeue: error: Unable to contact slurm controller" >&2; exit 1; }
printf '%s' "${FAKE_SQUEUE:-}"
EOF
printf '#!/bin/bash\necho "$@" >>"$FAKE_STATE/scancel"\n' >"$fake/scancel"
chmod +x "$fake"/*

# Runs the script with the stand-ins in a fresh state folder (in the folder
# $cwd when set): status, stdout, stderr in $case.*.
case_no=0
submit() {
    case_no=$((case_no + 1))
    case=$work/case-$case_no
    mkdir -p -- "$case.state"
    (cd -- "${cwd:-$root}" && FAKE_STATE=$case.state PATH="$fake:$PATH" bash "$root/scripts/slurm-batch.sh" "$@") \
        >"$case.out" 2>"$case.err"
    echo $? >"$case.status"
}
status_is() { [ "$(cat "$case.status")" = "$1" ] || { echo "  exit $(cat "$case.status"):" && cat "$case.err"; return 1; }; }
says() { grep -qF -- "$1" "$case.err" || { echo "  stderr lacks '$1':" && cat "$case.err"; return 1; }; }
never_says() { ! grep -qiE -- "$1" "$case.err" || { echo "  stderr says '$1':" && cat "$case.err"; return 1; }; }
nothing_submitted() { ! ls "$case.state"/sbatch.* >/dev/null 2>&1; }
absent() { [ ! -e "$1" ] || { echo "  $1 was made"; return 1; }; }
run=(--seed 1 --nodes 20 --maps 10 --tasks 2)

# Without Slurm: said first, and nothing is made.
mkdir -p -- "$work/empty-path"
(cd "$work" && PATH=$work/empty-path "$BASH" "$root/scripts/slurm-batch.sh" "${run[@]}" --out made \
    >"$work/noslurm.out" 2>"$work/noslurm.err")
echo $? >"$work/noslurm.status"
case=$work/noslurm
check "without Slurm: exit 1" status_is 1
check "  ... naming sbatch and what to install" says "sbatch not found: this script needs the client commands of a Slurm cluster on PATH (on Debian: apt-get install slurm-client"
check "  ... before making any folder" absent "$work/made"

# Options the companion refuses are a usage error, with no advice about the folder.
submit --seed 1 --nodes 20 --maps 0 --tasks 2 --out "$work/refused"
check "--maps 0: exit 2" status_is 2
check "  ... saying the companion refused the options" says "the companion refused these options (see above): correct them and run again"
check "  ... without advice about the folder" never_says "move those files away"
check "  ... and nothing made or submitted" bash -c '[ ! -e "$1" ] && [ -z "$(ls "$2")" ]' _ "$work/refused" "$case.state"

# A folder holding another run's shards.
mkdir -p -- "$work/taken"
"$cli" batch --seed 2 --nodes 20 --maps 10 --shard 0/2 --out "$work/taken" >/dev/null
submit "${run[@]}" --out "$work/taken"
check "a folder with another run's shards: exit 1" status_is 1
check "  ... saying what to do" says "cannot take this run's shards (see above): use another --out, or move those files away"
check "  ... and nothing submitted" nothing_submitted

# Numbers beyond any limit are refused by their digits, before bash's arithmetic.
submit --seed 1 --nodes 20 --maps 10 --tasks 99999999999999999999 --out "$work/huge"
check "--tasks 99999999999999999999: exit 2" status_is 2
check "  ... with the range" says "--tasks takes a whole number from 1 to 1000000, not '99999999999999999999'"
check "  ... and no error of bash's" never_says "integer|arithmetic|syntax error"
submit --seed 1 --nodes 20 --maps 10 --tasks 1000001 --out "$work/huge"
check "--tasks 1000001 is refused, 1000000 the limit" says "--tasks takes a whole number from 1 to 1000000, not '1000001'"
submit "${run[@]}" --cpus 99999999999999999999 --out "$work/huge"
check "--cpus 99999999999999999999 is refused" says "--cpus takes a whole number from 1 to 64"
check "  ... and no error of bash's" never_says "integer|arithmetic|syntax error"
check "  ... and nothing made" absent "$work/huge"

# Folder names: a line break refused before anything is made; a backslash too.
submit "${run[@]}" --out "$work/run"$'\n'
check "--out with a line break: exit 2" status_is 2
check "  ... saying so" says "--out holds a line break: name a folder without one"
check "  ... and no folder made, with it or without it" bash -c '[ ! -e "$1" ] && [ ! -e "$1"$'"'"'\n'"'"' ]' _ "$work/run"
submit "${run[@]}" --out "$work/run" --dir "$work/logs"$'\n'
check "--dir with a line break: exit 2" says "--dir holds a line break"
submit "${run[@]}" --out "$work/back\\slash"
check "--out with a backslash: exit 2" status_is 2
check "  ... saying why" says "--out holds a backslash"

# Bad poll intervals, with --wait: refused before anything is submitted.
for poll in 0 abc 3601 -1 1.5; do
    ORVANE_SLURM_POLL=$poll submit "${run[@]}" --out "$work/poll" --wait
    check "ORVANE_SLURM_POLL=$poll: exit 2" status_is 2
    check "  ... saying what to set" says "ORVANE_SLURM_POLL takes whole seconds from 1 to 3600, not '$poll': unset it for the default of 5"
    check "  ... and nothing submitted" nothing_submitted
done

# sbatch and squeue refusing.
FAKE_SBATCH_FAIL=1 submit "${run[@]}" --out "$work/sbatch-fails"
check "sbatch refusing the array: exit 1" status_is 1
check "  ... saying what to do" says "sbatch refused the shards' job array (see above): correct the Slurm options"
FAKE_SQUEUE_FAIL=1 submit "${run[@]}" --out "$work/squeue-fails"
check "squeue failing: exit 1" status_is 1
check "  ... saying what to check" says "squeue cannot reach the cluster"
check "  ... and nothing submitted" nothing_submitted
FAKE_MAX_ARRAY=1 submit "${run[@]}" --out "$work/too-many"
check "more tasks than MaxArraySize: exit 1" says "is more than this cluster's MaxArraySize (1): use fewer, larger shards"

# Folder names are data: a leading "-", "@TASK@", "@CPUS@", "%", quotes and
# blanks reach the jobs as they are, and Slurm's output patterns see "%%".
mkdir -p -- "$work/cwd"
cwd=$work/cwd submit "${run[@]}" --out -x
check "--out -x: submitted" status_is 0
check "  ... with the folder made as ./-x" bash -c '[ -d "$1/-x/slurm" ]' _ "$work/cwd"
odd="$work/r@CPUS@x%y@TASK@ \"q\" 's'"
submit "${run[@]}" --cpus 2 --out "$odd" --clock-step 400
check "an odd --out: submitted" status_is 0
array_call=$case.state/sbatch.0 merge_call=$case.state/sbatch.1
check "  ... the array's output path with % doubled" grep -qxF -- "--output=${odd//[%]/%%}/slurm/shard-%a-%A.out" "$array_call"
check "  ... the merge's output path with % doubled" grep -qxF -- "--output=${odd//[%]/%%}/slurm/merge-%j.out" "$merge_call"
check "  ... the jobs run in the folder" grep -qxF -- "--chdir=$odd" "$array_call"
# Each task as Slurm runs it: the script with the arguments after its path.
run_task() {
    local index=$1 args=()
    mapfile -t args <"$array_call"
    local i
    for i in "${!args[@]}"; do [ "${args[$i]}" = "$root/scripts/slurm-job.sh" ] && break; done
    SLURM_ARRAY_TASK_ID=$index SLURM_CPUS_PER_TASK=2 bash "${args[@]:$i}" >/dev/null
}
check "  ... task 0 runs its shard" run_task 0
check "  ... task 1 runs its shard" run_task 1
check "  ... both shard files in the folder as named" \
    bash -c '[ -f "$1/shard-00000-of-00002.txt" ] && [ -f "$1/shard-00001-of-00002.txt" ]' _ "$odd"
check "  ... on the task's CPUs" grep -qx "jobs 2" "$odd/shard-00001-of-00002.txt"
mapfile -t merge_args <"$merge_call"
for i in "${!merge_args[@]}"; do [ "${merge_args[$i]}" = "$root/scripts/slurm-job.sh" ] && break; done
check "  ... and the merge job merges them" bash -c '"$@" >/dev/null' _ bash "${merge_args[@]:$i}"
sequential=$work/sequential
"$cli" batch --jobs 1 --seed 1 --nodes 20 --maps 10 --clock-step 400 --dir "$sequential" >/dev/null
check "  ... into the log of batch --jobs 1" \
    bash -c 'cmp -s <(grep -v "^総処理時間" "$1"/Log_*/*.txt) <(grep -v "^総処理時間" "$2"/Log_*/*.txt)' _ "$odd" "$sequential"

# --wait through empty replies of scontrol: a few in a row are waited out.
log=$work/a-log.txt
echo "log" >"$log"
printf '\n\nJobState=PENDING Reason=Dependency\n\n\n\n\nJobState=RUNNING Reason=None\nJobState=COMPLETED Reason=None\n' \
    >"$work/replies"
FAKE_REPLIES=$work/replies FAKE_MERGE_PRINTS=$log ORVANE_SLURM_POLL=1 submit "${run[@]}" --out "$work/waited" --wait
check "--wait through empty replies: exit 0" status_is 0
check "  ... printing the log" grep -qxF -- "log $log" "$case.out"
check "  ... after asking 9 times" [ "$(cat "$case.state/scontrol.count")" = 9 ]
# Silence: it gives up after five empty replies in a row, saying what to do.
printf '\n' >"$work/silence"
FAKE_REPLIES=$work/silence ORVANE_SLURM_POLL=1 submit "${run[@]}" --out "$work/silent" --wait
check "scontrol silent: exit 1" status_is 1
check "  ... after five tries" [ "$(cat "$case.state/scontrol.count")" = 5 ]
check "  ... saying what to do" says "scontrol said nothing of the merge job 101 5 times in a row: ask 'scontrol show job 101'"
# A merge that can never run is cancelled and said to be so.
printf 'JobState=PENDING Reason=DependencyNeverSatisfied\n' >"$work/never.replies"
FAKE_REPLIES=$work/never.replies ORVANE_SLURM_POLL=1 submit "${run[@]}" --out "$work/never" --wait
check "a dependency never satisfied: exit 1" status_is 1
check "  ... the merge cancelled" grep -qx 101 "$case.state/scancel"
check "  ... and a shard's failure named" says "the merge did not run (CANCELLED): a shard failed or was cancelled"

echo "slurm-batch: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
