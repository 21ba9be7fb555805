#!/bin/bash
# The job script that scripts/slurm-batch.sh submits. It runs its arguments,
# which are data: Slurm hands them on as they were given, and nothing of them
# is ever read as shell text. The arguments of an array task start with
# `--shard-of K`: the task runs shard SLURM_ARRAY_TASK_ID of K on the CPUs
# Slurm gave it (SLURM_CPUS_PER_TASK).
if [ "${1-}" = --shard-of ]; then
    shards=$2
    shift 2
    exec "$@" --shard "$SLURM_ARRAY_TASK_ID/$shards" --jobs "${SLURM_CPUS_PER_TASK:-1}"
fi
exec "$@"
