# shellcheck shell=bash disable=SC2317 # the tests of local_slurm_wait_for are called through it
# A Slurm cluster of one node on this machine, for tests and benchmarks
# (sourced, not run): munged, slurmctld and slurmd with their key, state,
# spool and logs in a folder of the caller's, listening on loopback only, on
# ports nothing else uses.
#
#   local_slurm_start DIR   starts the daemons and waits until the node takes
#                           jobs; exports SLURM_CONF. On failure it stops what
#                           it started, sets local_slurm_reason and returns 1.
#   local_slurm_stop        cancels what is left in the queue and stops the
#                           daemons by their process ids; safe to call twice.
#   local_slurm_logs        the ends of the daemons' logs (for a failure).
#   local_slurm_ten_copies NAMES CORPUS FOLDER
#                           the files of CORPUS that NAMES lists (NUL-separated)
#                           ten times over, for a pile bigger than the corpus:
#                           prints their names through ten links FOLDER/0 ...
#                           FOLDER/9 to CORPUS, NUL-separated.
#
# As root the daemons run as root; as another user they run as that user,
# which can then run jobs only of its own.

local_slurm_pids=()
local_slurm_dir=''
export local_slurm_reason='' # read by the caller

# Whether something listens on loopback port $1.
local_slurm_port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Waits up to $1 tenths of a second for the command $2... to succeed.
local_slurm_wait_for() {
    local tenths=$1 i
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

local_slurm_node_idle() { [[ $(sinfo -h -n "$1" -o %T 2>/dev/null) == idle ]]; }
local_slurm_queue_empty() { [[ -z $(squeue -h -o %i 2>/dev/null) ]]; }
local_slurm_gone() { ! kill -0 "$1" 2>/dev/null; }

local_slurm_alive() {
    local pid
    for pid in "${local_slurm_pids[@]}"; do
        kill -0 "$pid" 2>/dev/null || return 1
    done
}

local_slurm_fail() {
    local_slurm_reason=$1
    local_slurm_stop
    return 1
}

local_slurm_start() {
    local dir=$1 user node cpus port tries
    local_slurm_dir=$dir
    user=$(id -un)
    node=$(hostname -s)
    cpus=$(nproc)
    for tool in munged mungekey slurmctld slurmd sbatch squeue scontrol scancel sinfo; do
        command -v "$tool" >/dev/null || { local_slurm_reason="$tool is not installed"; return 1; }
    done
    # munged wants its socket's folders open to everyone and its key private.
    mkdir -p "$dir"/{munge,run,state,spool,log}
    chmod 755 "$dir" "$dir/run"
    chmod 700 "$dir/munge"
    mungekey --create --keyfile="$dir/munge/munge.key" >"$dir/log/mungekey" 2>&1 ||
        { local_slurm_reason="mungekey could not make a key: $(cat "$dir/log/mungekey")"; return 1; }
    munged --foreground --force --socket="$dir/run/munge.socket" --key-file="$dir/munge/munge.key" \
        --log-file="$dir/log/munged.log" --pid-file="$dir/run/munged.pid" \
        --seed-file="$dir/munge/seed" >"$dir/log/munged.out" 2>&1 &
    local_slurm_pids+=($!)
    local_slurm_wait_for 100 test -S "$dir/run/munge.socket" ||
        { local_slurm_fail "munged did not start: $(tail -3 "$dir/log/munged.out")"; return 1; }

    # Two neighbouring ports that nothing listens on; a port taken between the
    # look and slurmctld's bind is tried again with others.
    for ((tries = 0; tries < 5; tries++)); do
        port=$((20000 + RANDOM % 40000))
        local_slurm_port_taken "$port" || local_slurm_port_taken $((port + 1)) || break
    done
    export SLURM_CONF=$dir/slurm.conf
    cat >"$SLURM_CONF" <<EOF
ClusterName=junkloupe-test
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
CommunicationParameters=NoInAddrAny,NoCtldInAddrAny
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
AuthInfo=socket=$dir/run/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
${LOCAL_SLURM_SCHEDULER_PARAMETERS:+SchedulerParameters=$LOCAL_SLURM_SCHEDULER_PARAMETERS}
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
SwitchType=switch/none
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
    slurmctld -D -f "$SLURM_CONF" >"$dir/log/slurmctld.out" 2>&1 &
    local_slurm_pids+=($!)
    local_slurm_wait_for 150 scontrol ping >/dev/null 2>&1 ||
        { local_slurm_fail "slurmctld did not answer: $(tail -3 "$dir/log/slurmctld.out")"; return 1; }
    slurmd -D -f "$SLURM_CONF" -N "$node" >"$dir/log/slurmd.out" 2>&1 &
    local_slurm_pids+=($!)
    local_slurm_wait_for 300 local_slurm_node_idle "$node" ||
        { local_slurm_fail "slurmd did not come up: $(tail -3 "$dir/log/slurmd.out")"; return 1; }
    local_slurm_alive || { local_slurm_fail "a daemon ended at its start"; return 1; }
}

local_slurm_stop() {
    local pid i
    ((${#local_slurm_pids[@]})) || return 0
    if [[ -n ${SLURM_CONF:-} ]] && kill -0 "${local_slurm_pids[1]:-0}" 2>/dev/null; then
        scancel --user="$(id -un)" 2>/dev/null || true
        local_slurm_wait_for 100 local_slurm_queue_empty || true
    fi
    # slurmd, slurmctld, then munged, which both need until they end.
    for ((i = ${#local_slurm_pids[@]} - 1; i >= 0; i--)); do
        pid=${local_slurm_pids[i]}
        kill "$pid" 2>/dev/null || continue
        local_slurm_wait_for 100 local_slurm_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    local_slurm_pids=()
}

local_slurm_logs() {
    local log
    for log in "$local_slurm_dir"/log/*; do
        [[ -s $log ]] || continue
        echo "--- $log"
        tail -n 15 "$log"
    done
}

local_slurm_ten_copies() {
    local names=$1 corpus=$2 folder c
    folder=$(realpath -m -- "$3")
    mkdir -p "$folder"
    for c in 0 1 2 3 4 5 6 7 8 9; do
        ln -s "$(realpath -- "$corpus")" "$folder/$c"
        while IFS= read -r -d '' name; do
            printf '%s\0' "$folder/$c${name#"$corpus"}"
        done <"$names"
    done
}
