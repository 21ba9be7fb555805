#!/usr/bin/env bash
# A private single-node Slurm cluster for the project's tests of batch runs:
# munged, slurmctld and slurmd from Debian's packages, run as root without
# systemd, with everything (slurm.conf, munge key and socket, state, logs, pid
# files) inside one folder, the node on 127.0.0.1 with this machine's cores,
# one default partition, no accounting database and no cgroups. Its daemons
# listen on 127.0.0.1 only (munged on a socket in the folder): the start fails
# if any of them would be reachable from another machine.
#
#   bash scripts/slurm-cluster.sh start DIR    starts it, prints the exports to use
#   bash scripts/slurm-cluster.sh stop DIR     stops it again by its process ids
#   bash scripts/slurm-cluster.sh selftest     jobs, an array, dependencies, then stop
#
# or `source scripts/slurm-cluster.sh` and call orvane_slurm_start DIR (which
# exports SLURM_CONF), orvane_slurm_stop DIR (fine from a trap, and on a folder
# whose start failed half-way), orvane_slurm_wait_job JOBID [SECONDS] and
# orvane_slurm_listening DIR (the TCP addresses its processes listen on).
# DIR/env.sh holds the exports for any other shell.
#
# Knobs: ORVANE_SLURM_TIMEOUT (seconds to wait for the node, default 60),
# ORVANE_SLURM_PORT (first port tried for slurmctld, default 6817; slurmd takes
# the next free one).

orvane_slurm_packages=(munge slurm-client slurmctld slurmd iproute2)

# Installs the packages that are not there yet. The packages' own services are
# kept from starting while they install: this cluster runs its own daemons.
orvane_slurm_install() {
    local missing=() p
    for p in "${orvane_slurm_packages[@]}"; do
        [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo="" policy=/usr/sbin/policy-rc.d made_policy=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null && $sudo chmod 755 "$policy" && made_policy=1
    fi
    echo "slurm-cluster: installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    local rc=$?
    [ -n "$made_policy" ] && $sudo rm -f "$policy"
    return $rc
}

# Is anything listening on TCP port $1 (any address, IPv4 or IPv6)?
_orvane_slurm_port_busy() {
    local hex
    hex=$(printf '%04X' "$1")
    cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
        awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }'
}

# The first free port from $1 on, skipping $2.
_orvane_slurm_free_port() {
    local p=$1
    while [ "$p" = "${2:-}" ] || _orvane_slurm_port_busy "$p"; do p=$((p + 1)); done
    echo "$p"
}

# Has pid $1 ended (gone, or a zombie)?
_orvane_slurm_exited() {
    local pid comm state rest
    read -r pid comm state rest 2>/dev/null <"/proc/$1/stat" || return 0
    [ "$state" = Z ]
}

# Is pid $2 still a live $1 (not a zombie, nor a later process given the same pid)?
_orvane_slurm_running() {
    local pid comm state rest
    read -r pid comm state rest 2>/dev/null <"/proc/$2/stat" || return 1
    [ "$comm" = "($1)" ] && [ "$state" != Z ]
}

# Starts "$@" in the background, detached from the caller's jobs (a plain
# `wait` in a test does not wait for it), and records NAME and its pid.
_orvane_slurm_spawn() {
    local dir=$1 name=$2
    shift 2
    (
        "$@" </dev/null >>"$dir/log/$name.out" 2>&1 &
        echo "$name $!" >>"$dir/run/pids"
    )
}

# The pids of the job steps (slurmstepd) of the cluster in DIR $1, known by
# the files they hold open there.
_orvane_slurm_steps() {
    local p fd
    for p in /proc/[0-9]*; do
        [ "$(cat "$p/comm" 2>/dev/null)" = slurmstepd ] || continue
        for fd in "$p"/fd/*; do
            case $(readlink "$fd" 2>/dev/null) in
            "$1"/*) echo "${p#/proc/}" && break ;;
            esac
        done
    done
}

_orvane_slurm_pid() {
    awk -v n="$2" '$1 == n { p = $2 } END { print p }' "$1/run/pids" 2>/dev/null
}

# orvane_slurm_listening DIR: one "NAME ADDRESS:PORT" line for each TCP socket
# that a daemon or a job step of the cluster in DIR listens on.
orvane_slurm_listening() {
    local dir pids
    dir=$(cd "${1:?usage: orvane_slurm_listening DIR}" && pwd) || return 1
    command -v ss >/dev/null 2>&1 || { echo "slurm-cluster: error: ss not found: apt-get install iproute2" >&2; return 1; }
    pids=$( (awk '{ print $2 }' "$dir/run/pids" 2>/dev/null; _orvane_slurm_steps "$dir") | tr '\n' ' ')
    ss -Hltnp 2>/dev/null | awk -v pids="$pids" '
        BEGIN { n = split(pids, p, " "); for (i = 1; i <= n; i++) ours[p[i]] = 1 }
        {
            rest = $0
            while (match(rest, /"[^"]*",pid=[0-9]+/)) {
                item = substr(rest, RSTART, RLENGTH)
                rest = substr(rest, RSTART + RLENGTH)
                name = item; sub(/^"/, "", name); sub(/",pid=.*/, "", name)
                pid = item; sub(/.*pid=/, "", pid)
                if (pid in ours) print name, $4
            }
        }'
}

# Fails, naming them, when any of the cluster's sockets listens beyond this
# machine (on an address other than 127.x.x.x or ::1).
_orvane_slurm_only_loopback() {
    local listening wide
    listening=$(orvane_slurm_listening "$1") || return 1
    if [ -z "$listening" ]; then
        echo "slurm-cluster: error: ss shows no socket of the cluster's daemons listening" >&2
        return 1
    fi
    wide=$(awk '$2 !~ /^(127\.[0-9.]+|\[::1\]):[0-9]+$/' <<<"$listening")
    [ -z "$wide" ] && return 0
    echo "slurm-cluster: error: reachable from other machines: $(echo "$wide" | tr '\n' ' ')" >&2
    return 1
}

# The daemons run in the foreground, so NAME.out has all that NAME.log has,
# and the errors from before the log file was opened.
_orvane_slurm_logs() {
    local dir=$1 f
    for f in "$dir"/log/*.out; do
        [ -s "$f" ] || continue
        echo "---- tail of $f" >&2
        tail -n 15 "$f" >&2
    done
    echo "---- all logs in $dir/log" >&2
}

_orvane_slurm_fail() {
    local dir=$1
    shift
    echo "slurm-cluster: error: $*" >&2
    _orvane_slurm_logs "$dir"
    orvane_slurm_stop "$dir" >/dev/null 2>&1
    return 1
}

_orvane_slurm_write_conf() {
    local dir=$1 ctld_port=$2 slurmd_port=$3 cpus mem
    cpus=$(nproc)
    # A modest memory size, never above what the machine has, or slurmd drains the node.
    mem=$(awk '/^MemTotal:/ { m = int($2 / 1024); print (m < 1024 ? m : 1024) }' /proc/meminfo)
    : >"$dir/plugstack.conf"
    cat >"$dir/slurm.conf" <<EOF
# Private single-node cluster written by scripts/slurm-cluster.sh.
ClusterName=orvane
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
# Every daemon listens on 127.0.0.1 (the address its host entry names), not on
# all interfaces: the cluster is reachable from this machine only.
CommunicationParameters=NoCtldInAddrAny,NoInAddrAny
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state/slurmctld
SlurmdSpoolDir=$dir/state/slurmd
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
TmpFS=$dir/tmp
PlugStackConfig=$dir/plugstack.conf
MailProg=/bin/true
MpiDefault=none
SwitchType=switch/none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
# Try to start jobs every second rather than every 3 s: the tests' jobs are short.
SchedulerParameters=batch_sched_delay=0,sched_min_interval=100000
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
KillWait=5
MinJobAge=1800
NodeName=localhost NodeAddr=127.0.0.1 NodeHostname=localhost CPUs=$cpus RealMemory=$mem State=UNKNOWN
PartitionName=main Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
    printf 'export SLURM_CONF=%q\n' "$dir/slurm.conf" >"$dir/env.sh"
}

# orvane_slurm_start DIR: starts the cluster with all its files in DIR (made if
# missing) and waits until the node is idle. Exports SLURM_CONF.
orvane_slurm_start() {
    local dir=${1:?usage: orvane_slurm_start DIR}
    local timeout=${ORVANE_SLURM_TIMEOUT:-60} deadline pid state
    orvane_slurm_install || { echo "slurm-cluster: error: could not install ${orvane_slurm_packages[*]}" >&2; return 1; }
    mkdir -p "$dir" && dir=$(cd "$dir" && pwd) || return 1
    if [ -s "$dir/run/pids" ]; then
        echo "slurm-cluster: error: $dir already holds a cluster; stop it first" >&2
        return 1
    fi
    # A fresh cluster each time: no jobs or logs from one started here before.
    rm -rf "$dir/state" "$dir/log" "$dir/run"
    mkdir -p "$dir"/{log,run,tmp,state/slurmctld,state/slurmd}
    # munged insists that only its owner can write to the socket's folder, and
    # that everyone can pass through it and every folder above it.
    mkdir -p "$dir/munge"
    chmod 755 "$dir/munge" && chmod go+x,go-w "$dir"

    local ctld_port slurmd_port
    ctld_port=$(_orvane_slurm_free_port "${ORVANE_SLURM_PORT:-6817}")
    slurmd_port=$(_orvane_slurm_free_port $((ctld_port + 1)) "$ctld_port")
    _orvane_slurm_write_conf "$dir" "$ctld_port" "$slurmd_port"
    export SLURM_CONF=$dir/slurm.conf

    # munge: a key of our own and a socket in DIR, apart from any system munged.
    local sock=$dir/munge/munge.socket
    if ! (umask 077 && dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none); then
        _orvane_slurm_fail "$dir" "could not write the munge key"
        return 1
    fi
    _orvane_slurm_spawn "$dir" munged munged --foreground --socket="$sock" \
        --key-file="$dir/munge/munge.key" --pid-file="$dir/run/munged.pid" \
        --log-file="$dir/log/munged.log" --seed-file="$dir/munge/munged.seed"
    pid=$(_orvane_slurm_pid "$dir" munged)
    deadline=$((SECONDS + timeout))
    until munge -n -S "$sock" 2>/dev/null | unmunge -S "$sock" >/dev/null 2>&1; do
        _orvane_slurm_exited "$pid" && { _orvane_slurm_fail "$dir" "munged exited at start"; return 1; }
        [ $SECONDS -lt $deadline ] || { _orvane_slurm_fail "$dir" "munged did not answer within ${timeout}s"; return 1; }
        sleep 0.1
    done

    _orvane_slurm_spawn "$dir" slurmctld slurmctld -D -f "$SLURM_CONF"
    pid=$(_orvane_slurm_pid "$dir" slurmctld)
    until scontrol ping 2>/dev/null | grep -q 'is UP'; do
        _orvane_slurm_exited "$pid" && { _orvane_slurm_fail "$dir" "slurmctld exited at start"; return 1; }
        [ $SECONDS -lt $deadline ] || { _orvane_slurm_fail "$dir" "slurmctld did not answer within ${timeout}s"; return 1; }
        sleep 0.2
    done

    _orvane_slurm_spawn "$dir" slurmd slurmd -D -N localhost -f "$SLURM_CONF"
    pid=$(_orvane_slurm_pid "$dir" slurmd)
    while :; do
        state=$(sinfo -h -n localhost -o %T 2>/dev/null) || true
        [ "$state" = idle ] && break
        _orvane_slurm_exited "$pid" && { _orvane_slurm_fail "$dir" "slurmd exited at start"; return 1; }
        if [ $SECONDS -ge $deadline ]; then
            scontrol show node localhost >&2 2>/dev/null
            _orvane_slurm_fail "$dir" "node not idle within ${timeout}s (state: ${state:-none})"
            return 1
        fi
        sleep 0.2
    done
    if ! _orvane_slurm_only_loopback "$dir"; then
        _orvane_slurm_fail "$dir" "the daemons must listen on 127.0.0.1 only: this Slurm ignored CommunicationParameters"
        return 1
    fi
    echo "slurm-cluster: up in $dir (slurmctld 127.0.0.1:$ctld_port, slurmd 127.0.0.1:$slurmd_port, $(nproc) CPUs," \
        "partition main)" >&2
}

# orvane_slurm_stop DIR: cancels what is left in the queue and ends the
# daemons (then any job step still running) by their process ids. Safe to call
# twice, from a trap, or when the start stopped half-way.
orvane_slurm_stop() {
    local dir=${1:?usage: orvane_slurm_stop DIR}
    [ -d "$dir" ] || return 0
    dir=$(cd "$dir" && pwd)
    local conf=$dir/slurm.conf name pid i
    [ -s "$dir/run/pids" ] || return 0
    local ctld
    ctld=$(_orvane_slurm_pid "$dir" slurmctld)
    if _orvane_slurm_running slurmctld "$ctld" && [ -f "$conf" ]; then
        # Cancelling first lets slurmd's steps end their jobs' processes.
        local ids=()
        mapfile -t ids < <(SLURM_CONF=$conf timeout 10 squeue -h -o %i 2>/dev/null)
        if [ ${#ids[@]} -gt 0 ]; then
            SLURM_CONF=$conf timeout 10 scancel "${ids[@]}" 2>/dev/null || true
            for ((i = 0; i < 50; i++)); do
                [ -z "$(SLURM_CONF=$conf timeout 10 squeue -h -t running,completing -o %i 2>/dev/null)" ] && break
                sleep 0.1
            done
        fi
    fi
    # Newest first: slurmd, slurmctld, then munged which they both need.
    local daemons
    daemons=$(tac "$dir/run/pids")
    while read -r name pid; do
        _orvane_slurm_running "$name" "$pid" && { kill -TERM "$pid" 2>/dev/null || true; }
    done <<<"$daemons"
    for ((i = 0; i < 50; i++)); do
        local left=""
        while read -r name pid; do _orvane_slurm_running "$name" "$pid" && left=1; done <<<"$daemons"
        [ -z "$left" ] && break
        sleep 0.1
    done
    while read -r name pid; do
        _orvane_slurm_running "$name" "$pid" && { kill -KILL "$pid" 2>/dev/null || true; }
    done <<<"$daemons"
    # Job steps outlive slurmd by design: end those of this cluster, with the
    # jobs' processes under them.
    local steps
    steps=$(_orvane_slurm_steps "$dir" | tr '\n' ' ')
    if [ -n "$steps" ]; then
        local tree=()
        mapfile -t tree < <(ps -eo pid=,ppid= | awk -v roots="$steps" '
            BEGIN { n = split(roots, r, " "); for (i = 1; i <= n; i++) keep[r[i]] = 1 }
            { parent[$1] = $2 }
            END {
                do { more = 0; for (p in parent) if (!(p in keep) && (parent[p] in keep)) { keep[p] = 1; more = 1 } } while (more)
                for (p in keep) print p
            }')
        echo "slurm-cluster: killing job steps left behind: ${tree[*]}" >&2
        kill -KILL "${tree[@]}" 2>/dev/null || true
    fi
    for ((i = 0; i < 100; i++)); do
        local left=""
        while read -r name pid; do _orvane_slurm_running "$name" "$pid" && left=1; done <<<"$daemons"
        [ -z "$left" ] && break
        sleep 0.05
    done
    mv -f "$dir/run/pids" "$dir/run/pids.stopped" 2>/dev/null || true
    return 0
}

# orvane_slurm_wait_job JOBID [SECONDS]: waits until the job (every element of
# an array) has ended, without accounting. Prints one "JOBID STATE" line per
# job; fails on time-out. A job that will never start (a dependency that can no
# longer be met) counts as not ended.
orvane_slurm_wait_job() {
    local job=${1:?usage: orvane_slurm_wait_job JOBID [SECONDS]} deadline=$((SECONDS + ${2:-60})) out
    while :; do
        out=$(scontrol -o show job "$job" 2>/dev/null | sed -n 's/^JobId=\([^ ]*\) .*JobState=\([A-Z_]*\).*/\1 \2/p') || true
        if [ -n "$out" ] && ! echo "$out" | grep -Eq ' (PENDING|RUNNING|CONFIGURING|COMPLETING|SUSPENDED|REQUEUED|RESIZING|SIGNALING|STAGE_OUT)$'; then
            echo "$out"
            return 0
        fi
        if [ $SECONDS -ge $deadline ]; then
            echo "$out"
            return 1
        fi
        sleep 0.2
    done
}

_orvane_slurm_usage() {
    local dir=$1
    cat <<EOF
Slurm cluster running in $dir. To use it:
  export SLURM_CONF=$dir/slurm.conf        # or: source $dir/env.sh
  sbatch --wrap 'hostname'; squeue; scontrol show job JOBID; scancel JOBID
To stop it:
  bash $(realpath "${BASH_SOURCE[0]}") stop $dir
Logs: $dir/log   (no accounting: sacct does not work; use scontrol show job)
EOF
}

# The proof that it works, on a throw-away folder.
_orvane_slurm_selftest() {
    local dir t0 passed=0 failed=0 job dep dep2 out i states
    dir=$(mktemp -d /tmp/orvane-slurm.XXXXXX)
    trap 'orvane_slurm_stop "'"$dir"'"' EXIT
    quiet() { "$@" >/dev/null; }
    check() {
        local name=$1
        shift
        if "$@"; then passed=$((passed + 1)) && echo "ok   $name"; else failed=$((failed + 1)) && echo "FAIL $name"; fi
    }
    t0=$(date +%s%N)
    orvane_slurm_start "$dir" || return 1
    echo "start took $((($(date +%s%N) - t0) / 1000000)) ms"
    out=$dir/out && mkdir -p "$out"

    job=$(sbatch --parsable --array=0-7 -o "$out/slurm-%A_%a.log" --wrap "echo \$SLURM_ARRAY_TASK_ID > $out/out.\$SLURM_ARRAY_TASK_ID")
    dep=$(sbatch --parsable --dependency="afterok:$job" -o "$out/dep.log" --wrap "cat $out/out.* | sort -n | tr '\n' ' ' > $out/dep")
    check "array $job ends" quiet orvane_slurm_wait_job "$job" 60
    check "dependent $dep ends" quiet orvane_slurm_wait_job "$dep" 60
    states=$(orvane_slurm_wait_job "$job" 1 | awk '{ print $2 }' | sort | uniq -c | xargs)
    check "8 array tasks COMPLETED ($states)" [ "$states" = "8 COMPLETED" ]
    local good=0
    for i in 0 1 2 3 4 5 6 7; do
        [ "$(cat "$out/out.$i" 2>/dev/null)" = "$i" ] && good=$((good + 1))
    done
    check "outputs out.0..out.7 hold their index ($good of 8)" [ "$good" = 8 ]
    check "dependent COMPLETED after the array and saw all 8 outputs" [ "$(cat "$out/dep" 2>/dev/null)" = "0 1 2 3 4 5 6 7 " ]

    # One element cancelled: afterok on the array can no longer be met.
    job=$(sbatch --parsable --hold --array=0-7 -o /dev/null --wrap "true")
    dep=$(sbatch --parsable --dependency="afterok:$job" -o /dev/null --wrap "true")
    dep2=$(sbatch --parsable --dependency="afterok:$job" --kill-on-invalid-dep=yes -o /dev/null --wrap "true")
    scancel "${job}_3"
    scontrol release "$job"
    check "array with element 3 cancelled ends" quiet orvane_slurm_wait_job "$job" 60
    echo "array elements: $(orvane_slurm_wait_job "$job" 1 | awk '{ print $2 }' | sort | uniq -c | xargs)"
    local reason st
    for ((i = 0; i < 100; i++)); do
        reason=$(scontrol -o show job "$dep" | sed -n 's/.* Reason=\([^ ]*\).*/\1/p')
        st=$(scontrol -o show job "$dep2" | sed -n 's/.*JobState=\([^ ]*\).*/\1/p')
        [ "$reason" = DependencyNeverSatisfied ] && [ "$st" != PENDING ] && break
        sleep 0.2
    done
    echo "dependent (plain):                 $(scontrol -o show job "$dep" | grep -o 'JobState=[^ ]* Reason=[^ ]*')"
    echo "dependent (--kill-on-invalid-dep): $(scontrol -o show job "$dep2" | grep -o 'JobState=[^ ]* Reason=[^ ]*')"
    check "plain dependent stays PENDING (DependencyNeverSatisfied)" \
        [ "$(scontrol -o show job "$dep" | grep -o 'JobState=[^ ]* Reason=[^ ]*')" = "JobState=PENDING Reason=DependencyNeverSatisfied" ]
    check "--kill-on-invalid-dep=yes dependent is CANCELLED" [ "$st" = CANCELLED ]

    t0=$(date +%s%N)
    orvane_slurm_stop "$dir"
    echo "stop took $((($(date +%s%N) - t0) / 1000000)) ms"
    local left name pid
    left=$(_orvane_slurm_steps "$dir")
    while read -r name pid; do
        _orvane_slurm_running "$name" "$pid" && left="$left $name:$pid"
    done <"$dir/run/pids.stopped"
    check "no slurm or munge process of the cluster left${left:+ (}$left${left:+)}" [ -z "$left" ]
    trap - EXIT
    rm -rf "$dir"
    echo "slurm-cluster: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -uo pipefail
    case "${1:-}" in
    start)
        [ -n "${2:-}" ] || { echo "usage: $0 start DIR" >&2; exit 2; }
        orvane_slurm_start "$2" || exit 1
        _orvane_slurm_usage "$(cd "$2" && pwd)"
        ;;
    stop)
        [ -n "${2:-}" ] || { echo "usage: $0 stop DIR" >&2; exit 2; }
        orvane_slurm_stop "$2"
        ;;
    selftest) _orvane_slurm_selftest ;;
    *)
        echo "usage: $0 start DIR | stop DIR | selftest" >&2
        exit 2
        ;;
    esac
fi
