#!/usr/bin/env bash
# junkloupe-cli hits or scan over a pile of message files on a Slurm cluster:
# the names split into parts, one task of a job array per part, and one
# summing job that runs once every task has ended.
#
#   find PILE -type f -print0 >names
#   scripts/junkloupe-slurm.sh [OPTION]... hits|scan CLI-OPTION... <names
#   scripts/junkloupe-slurm.sh --resume WORKDIR [--wait] [--sbatch OPTION]...
#
# The names of the files come NUL-separated on standard input (or from
# --files-from). Each task runs `junkloupe-cli hits|scan CLI-OPTION... -0
# --files-from PART` over its part; the CLI-OPTIONs (--items, --filter, ...)
# go to every task unchanged. So a PATH, --files-from or --items - among
# them is refused (every task would read it); --format and -0 there say
# what the result is to be, as before the command.
#   hits  every task writes its counts as tsv and the summing job adds them
#         up with `junkloupe-cli sum`, so the result is byte for byte what one
#         hits run over all the names prints.
#   scan  the files without items, the parts' lists one after the other in
#         the order of the names, as one scan of all the names prints them:
#         one per line, or ended by NUL with -0.
# The summing job writes the result only when every part is there. A task
# that failed, was cancelled or never ran leaves its part missing, and the
# summing job then fails naming it; --resume runs again only the parts that
# are missing or whose run met trouble, and sums anew.
#
# OPTIONs:
#   -p, --parts N            the number of parts and tasks (default 100; at
#                            most one per name; Slurm's MaxArraySize bounds it)
#   -T, --files-from FILE    read the names from FILE instead of standard input
#   -o, --output FILE        where the summing job writes the result (default:
#                            WORKDIR/result)
#   -m, --max-running N      at most N tasks at a time (spares the storage)
#   -w, --workdir DIR        the work folder: names, parts, logs and the jobs'
#                            ids (default: a new junkloupe-slurm.XXXXXX in the
#                            current folder); it must be new or empty
#   -s, --sbatch OPTION      one option for sbatch, given to the tasks and the
#                            summing job (say -s --partition=long -s
#                            --time=2:00:00); may be given more than once
#       --format FORMAT      the form of the summed hits: text (default), tsv
#                            or json
#   -0, --null               scan: end each file printed with NUL
#       --wait               wait for the summing job, copy its messages to
#                            standard error (and the result to standard output
#                            where no --output was given), and exit with its
#                            status
#       --resume WORKDIR     run the missing parts of WORKDIR again, and the
#                            sum, with the settings of WORKDIR (only --wait
#                            and --sbatch go with it); refused while a job
#                            of WORKDIR is queued
# The nodes need junkloupe-cli on their PATH (JUNKLOUPE_CLI names another
# program) and must reach the message files, the items file and the work
# folder under the same names, as on shared storage. The jobs run in the
# folder this script was started in.
#
# Exit status: 0 when the jobs were submitted, 2 on trouble. With --wait the
# summing job's: hits 0, or 2 on trouble (a file could not be read, a part is
# missing); scan 0 when a file was listed, 1 when none, 2 on trouble.
set -euo pipefail

me=junkloupe-slurm
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }
fail() {
    echo "$me: $1" >&2
    [[ -z ${2:-} ]] || echo "Try '$0 --help' for more information." >&2
    exit 2
}

# Sets n to the file name of part $1 (zero-padded, so the parts sort in order).
part_name() { printf -v n '%0*d' "$width" "$1"; }

# "0-3,7,9-10" from the ascending numbers given.
ranges() {
    printf '%s\n' "$@" | awk '
        function flush() { if (n++) printf ","; printf "%s", (a == b ? a : a "-" b) }
        NR == 1 { a = b = $1; next }
        $1 == b + 1 { b = $1; next }
        { flush(); a = b = $1 }
        END { if (NR) flush(); print "" }'
}

# shellcheck disable=SC2317 # called through parts_where_not
# Whether the run of part $1 ended by itself: its output and status are there.
part_present() {
    part_name "$1"
    [[ -f $work/parts/$n.out && -f $work/parts/$n.status ]]
}

# shellcheck disable=SC2317 # called through parts_where_not
# Whether part $1 is done: its run ended by itself with status 0 (or 1, a
# scan that listed nothing), not with trouble.
part_done() {
    local n status
    part_present "$1" || return 1
    read -r status <"$work/parts/$n.status"
    [[ $status == 0 || ($command == scan && $status == 1) ]]
}

# Every number from 0 to parts-1 for which the test $1 fails.
parts_where_not() {
    local i
    for ((i = 0; i < parts; i++)); do
        "$1" "$i" || echo "$i"
    done
}

# One task of the array: the part $SLURM_ARRAY_TASK_ID. The output lands in
# place only when junkloupe-cli ended by itself, with its status beside it,
# so a cancelled or killed run leaves the part missing.
run_task() {
    local i=${SLURM_ARRAY_TASK_ID:?not a task of a Slurm job array} n out rc=0
    part_name "$i"
    out=$work/parts/$n
    rm -f "$out.out" "$out.status"
    if [[ $command == hits ]]; then
        "$cli" hits --format=tsv -0 --files-from="$work/names/$n" "${args[@]}" >"$out.$SLURM_JOB_ID" || rc=$?
    else
        "$cli" scan -0 --files-from="$work/names/$n" "${args[@]}" >"$out.$SLURM_JOB_ID" || rc=$?
    fi
    if ((rc <= 2)); then
        echo "$rc" >"$out.status"
        mv "$out.$SLURM_JOB_ID" "$out.out"
    else
        rm -f "$out.$SLURM_JOB_ID"
    fi
    exit "$rc"
}

# The summing job: the result from every part, or a failure naming the
# missing ones. Its status lands in WORKDIR/sum.status for --wait, followed
# by "written" when the result was written.
run_sum() {
    local missing trouble=() i n files=() status=0 part_status listed='' result
    mapfile -t missing < <(parts_where_not part_present)
    if ((${#missing[@]})); then
        if ((${#missing[@]} == 1)); then
            echo "$me: part ${missing[0]} of $parts is missing: its task did not end by itself" \
                "(it failed, was cancelled or never ran; see $work/logs/)" >&2
        else
            echo "$me: parts $(ranges "${missing[@]}") of $parts are missing: their tasks did not end by" \
                "themselves (they failed, were cancelled or never ran; see $work/logs/)" >&2
        fi
        echo "$me: nothing written to $output; '$me --resume $work' runs them again and sums" >&2
        echo 2 >"$work/sum.status"
        exit 2
    fi
    for ((i = 0; i < parts; i++)); do
        part_name "$i"
        files+=("$n.out")
        read -r part_status <"$work/parts/$n.status"
        case $part_status in
        0) listed=1 ;;
        2) trouble+=("$i") ;;
        esac
    done
    result=$(mktemp "$output.XXXXXX") || {
        echo "$me: cannot write beside $output" >&2
        echo 2 >"$work/sum.status"
        exit 2
    }
    if [[ $command == hits ]]; then
        if ! (cd "$work/parts" && "$cli" sum --format="$format" "${files[@]}") >"$result"; then
            rm -f "$result"
            ((${#trouble[@]} == 0)) ||
                echo "$me: the runs of parts $(ranges "${trouble[@]}") met trouble (see $work/logs/)" >&2
            echo 2 >"$work/sum.status"
            exit 2
        fi
    elif [[ -n $null ]]; then
        (cd "$work/parts" && cat "${files[@]}") >"$result"
    else
        (cd "$work/parts" && cat "${files[@]}") | tr '\0' '\n' >"$result"
    fi
    chmod "$(printf '%o' $((0666 & ~$(umask))))" "$result"
    mv "$result" "$output"
    if ((${#trouble[@]})); then
        echo "$me: the runs of parts $(ranges "${trouble[@]}") met trouble (see $work/logs/)" >&2
        status=2
    elif [[ $command == scan && -z $listed ]]; then
        status=1
    fi
    echo "$status written" >"$work/sum.status"
    exit "$status"
}

# The job id sbatch --parsable printed (without a cluster name).
submit() {
    local id
    id=$(sbatch --parsable --chdir="$cwd" "$@") || return 1
    echo "${id%%;*}"
}

# Submits the tasks of the parts given (none: only the sum) and the summing
# job after them; their ids go to WORKDIR/jobs.
submit_jobs() {
    local array='' sum dependency=()
    rm -f "$work/sum.status"
    if (($#)); then
        array=$(submit --array="$(ranges "$@")${max_running:+%$max_running}" --job-name="junkloupe-$command" \
            --output="$work/logs/task-%a.%A.log" "${sbatch_options[@]}" "$self" --task "$work") ||
            fail "the tasks could not be submitted"
        echo "$array tasks $(ranges "$@")" >>"$work/jobs"
        dependency=(--dependency="afterany:$array")
    fi
    sum=$(submit "${dependency[@]}" --job-name=junkloupe-sum --output="$work/logs/sum.%j.log" \
        "${sbatch_options[@]}" "$self" --sum "$work") ||
        fail "the summing job could not be submitted; once the tasks (job $array) ended, '$me --resume $work' submits it"
    echo "$sum sum" >>"$work/jobs"
    if [[ -n $array ]]; then
        echo "$me: job $array runs $# of $parts parts, job $sum sums them into $output (work folder $work)" >&2
    else
        echo "$me: every part is there; job $sum sums them into $output (work folder $work)" >&2
    fi
    summing_job=$sum
}

# Whether Slurm still holds job $1 as pending, running or ending (0) or not
# (1): a job it no longer knows has ended. 2 when Slurm could not be asked,
# with its message in slurm_trouble.
job_queued() {
    local state
    if ! state=$(squeue -h -j "$1" -o %T 2>"$work/squeue.err"); then
        slurm_trouble=$(<"$work/squeue.err")
        [[ $slurm_trouble == *"Invalid job id"* ]] && return 1
        return 2
    fi
    [[ -n $state ]]
}

# --wait: the summing job's messages, result (where no --output was given)
# and status.
wait_for_sum() {
    local delay=1 queued status written log=$work/logs/sum.$summing_job.log
    trap 'echo "$me: no longer waiting; the jobs go on, and job $summing_job writes $output" >&2; exit 130' INT TERM
    while :; do
        queued=0
        job_queued "$summing_job" || queued=$?
        ((queued != 1)) || break # Slurm's trouble is waited out
        sleep "$delay"
        ((delay < 5)) && delay=$((delay + 1))
    done
    # Shared storage may show a file written on a node some seconds late.
    for ((delay = 0; delay < 30; delay++)); do
        [[ -f $work/sum.status ]] && break
        sleep 2
    done
    [[ -s $log ]] && cat "$log" >&2
    [[ -f $work/sum.status ]] ||
        fail "the summing job $summing_job ended without a result (cancelled or failed; see $work/logs/)"
    read -r status written <"$work/sum.status"
    [[ -n $stdout_result && $written == written ]] && cat "$output"
    exit "$status"
}

# ---- the jobs' side: this script as the batch script of a task or the sum
if [[ ${1:-} == --task || ${1:-} == --sum ]]; then
    work=$2
    # shellcheck source=/dev/null
    . "$work/job"
    [[ $1 == --task ]] && run_task
    run_sum
fi

# ---- the submitting side
# (the jobs' side above runs from Slurm's copy of this script, with nothing
# beside it)
. "$(dirname "${BASH_SOURCE[0]}")/cli_options.sh"
reader=task
names_come="the names come on standard input or from -T before the command"
cli=${JUNKLOUPE_CLI:-junkloupe-cli}
[[ $cli == */* ]] && cli=$(realpath -m -- "$cli")
self=$(realpath -- "$0")
parts=100
max_running=''
names_from=-
output=
work=
resume=
wait=
format=text
null=
sbatch_options=()
command=
first=() # the options only a first submission takes
while (($#)); do
    case $1 in
    -p | --parts) (($# > 1)) || fail "$1 needs a value" usage; parts=$2; first+=("$1"); shift 2 ;;
    -T | --files-from) (($# > 1)) || fail "$1 needs a value" usage; names_from=$2; first+=("$1"); shift 2 ;;
    -o | --output) (($# > 1)) || fail "$1 needs a value" usage; output=$2; first+=("$1"); shift 2 ;;
    -m | --max-running) (($# > 1)) || fail "$1 needs a value" usage; max_running=$2; first+=("$1"); shift 2 ;;
    -w | --workdir) (($# > 1)) || fail "$1 needs a value" usage; work=$2; first+=("$1"); shift 2 ;;
    -s | --sbatch) (($# > 1)) || fail "$1 needs a value" usage; sbatch_options+=("$2"); shift 2 ;;
    --format) (($# > 1)) || fail "$1 needs a value" usage; format=$2; first+=("$1"); shift 2 ;;
    --format=*) format=${1#*=}; first+=("$1"); shift ;;
    -0 | --null) null=1; first+=("$1"); shift ;;
    --wait) wait=1; shift ;;
    --resume) (($# > 1)) || fail "$1 needs a value" usage; resume=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    hits | scan) command=$1; shift; break ;;
    *) fail "unknown option or command '$1'" usage ;;
    esac
done
[[ $names_from == - || -r $names_from ]] || fail "cannot read the names from '$names_from'"
command -v sbatch >/dev/null || fail "sbatch is not here: run this on a machine that submits Slurm jobs"
sbatch_options_given=("${sbatch_options[@]}")

if [[ -n $resume ]]; then
    [[ -z $command ]] || fail "--resume takes the command of the work folder, not '$command'" usage
    ((${#first[@]} == 0)) ||
        fail "--resume takes the settings of the work folder, not '${first[0]}' (only --wait and --sbatch)" usage
    work=$(realpath -e -- "$resume" 2>/dev/null) || work=$resume
    [[ -f $work/job && -f $work/jobs ]] || fail "'$resume' is not a work folder of $me"
    # shellcheck source=/dev/null
    . "$work/job"
    while read -r id _; do
        queued=0
        job_queued "$id" || queued=$?
        ((queued != 0)) ||
            fail "job $id of $work is still queued or running: wait until it ends, or cancel it (scancel $id)"
        ((queued != 2)) || fail "cannot ask Slurm about job $id: $slurm_trouble"
    done <"$work/jobs"
    # Options given now take the place of those of the first submission.
    ((${#sbatch_options_given[@]})) && sbatch_options=("${sbatch_options_given[@]}")
    # shellcheck disable=SC2046 # one number a word
    set -- $(parts_where_not part_done)
    for i in "$@"; do
        part_name "$i"
        rm -f "$work/parts/$n".*
    done
    stdout_result=
    [[ -n $wait && $output == "$work/result" ]] && stdout_result=1
    submit_jobs "$@"
    [[ -n $wait ]] && wait_for_sum
    exit 0
fi

[[ -n $command ]] || fail "no command given (hits or scan)" usage
[[ $parts =~ ^[1-9][0-9]*$ ]] || fail "the number of parts must be a positive number, not '$parts'" usage
[[ -z $max_running || $max_running =~ ^[1-9][0-9]*$ ]] ||
    fail "the tasks at a time must be a positive number, not '$max_running'" usage
take_cli_options "$@"
case $format in text | tsv | json) ;; *) fail "invalid format '$format' (text, tsv or json)" usage ;; esac

# The command must suit junkloupe-cli here before a cluster runs it: an
# option it refuses or an items file it cannot read fails now, not in every
# task. Where it is not installed here, the tasks alone find out.
if command -v "$cli" >/dev/null; then
    check=0
    if [[ $command == hits ]]; then
        "$cli" hits --format=tsv -0 --files-from=/dev/null "${args[@]}" >/dev/null || check=$?
    else
        "$cli" scan -0 --files-from=/dev/null "${args[@]}" >/dev/null || check=$?
        ((check == 1)) && check=0
    fi
    ((check == 0)) || fail "junkloupe-cli refused the command (see above); nothing submitted"
else
    echo "$me: $cli is not installed here; the tasks must find it on the nodes" >&2
fi

if [[ -n $output ]]; then
    output=$(realpath -m -- "$output")
    [[ -d ${output%/*} && -w ${output%/*} ]] || fail "cannot write the result into ${output%/*}/"
    [[ ! -d $output ]] || fail "the result cannot replace the folder $output: name a file"
fi
cwd=$(pwd)
if [[ -n $work ]]; then
    mkdir -p -- "$work" || fail "cannot make the work folder '$work'"
    [[ -z $(ls -A -- "$work") ]] || fail "the work folder '$work' is not empty (--resume $work goes on with it)"
    work=$(realpath -- "$work")
else
    work=$(mktemp -d "$cwd/$me.XXXXXX") || fail "cannot make a work folder in $cwd"
fi
stdout_result=
if [[ -z $output ]]; then
    output=$work/result
    [[ -n $wait ]] && stdout_result=1
fi
mkdir -p "$work"/{names,parts,logs}

# The names cut into parts of whole names in their order (a list from a
# pipe is kept first, as split needs to know its size).
names=$names_from
if [[ $names_from == - || ! -f $names_from ]]; then
    names=$work/names/all
    cat -- "$names_from" >"$names"
fi
count=$(tr -cd '\0' <"$names" | wc -c)
[[ -s $names && $(tail -c 1 "$names" | od -An -tx1) != " 00" ]] && count=$((count + 1))
((parts <= count)) || parts=$((count > 0 ? count : 1))
last=$((parts - 1))
width=${#last}
if ((count == 0)); then
    part_name 0
    : >"$work/names/$n"
else
    split -t '\0' -n "l/$parts" -d -a "$width" -- "$names" "$work/names/"
fi
rm -f "$work/names/all"

declare -p command cli args parts width format null output cwd sbatch_options max_running >"$work/job"
: >"$work/jobs"
# shellcheck disable=SC2046 # one number a word
submit_jobs $(seq 0 "$last")
[[ -n $wait ]] && wait_for_sum
exit 0
