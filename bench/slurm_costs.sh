#!/usr/bin/env bash
# The costs that docs/scale.md builds its model on, measured on this machine:
#   one file    junkloupe-cli hits -f 2 over ten copies of the corpus (36,790
#               files), on one thread and on the default threads
#   one run     hits over no file: reading and compiling the items, which
#               every task does once
#   one task    a Slurm job array of trivial tasks and a job after it on a
#               one-node cluster started here on loopback
#               (tests/scripts/local_slurm.sh), with Slurm's default
#               scheduling and with batch_sched_delay=0: the slot time a task
#               takes beyond its work
#   the recipe  scripts/junkloupe-slurm.sh --wait over the ten copies in 2, 8
#               and 32 parts, against one hits process
#   the sum     junkloupe-cli sum over 100 and 1,000 parts
#   the names   what the recipe does with a list of a million names before it
#               submits: counting them and splitting them into 1,000 parts
# Prints the median of 3 runs (wall and processor seconds).
#
#   bench/slurm_costs.sh [BUILD_DIR]     (default: build-rel beside this script's parent)
#
# Needs slurm-wlm and munge (scripts/install-deps.sh --with-slurm).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
cli=$(realpath -- "$build/bin/junkloupe-cli")
recipe=$root/scripts/junkloupe-slurm.sh
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
runs=3
tasks=40

[[ -x $cli ]] || { echo "no $cli: build the command-line program first" >&2; exit 2; }
[[ -d $corpus ]] || { echo "no corpus at $corpus" >&2; exit 2; }

# shellcheck source=tests/scripts/local_slurm.sh
. "$root/tests/scripts/local_slurm.sh"
work=$(mktemp -d /tmp/junkloupe-slurm-bench.XXXXXX)
trap 'local_slurm_stop; rm -rf "$work"' EXIT
cd "$work"
export JUNKLOUPE_CLI=$cli

find "$corpus" -type f ! -path '*/items/*' -print0 | sort -z >names
local_slurm_ten_copies names "$corpus" pile >ten-copies
files=$(tr -cd '\0' <ten-copies | wc -c)
xargs -0 cat <ten-copies >/dev/null # warm the page cache
echo "pile: $files files, $(xargs -0 cat <names | wc -c) bytes a copy"
echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"

# shellcheck source=bench/timing.sh
. "$root/bench/timing.sh"
per() { awk -v t="$1" -v n="$2" -v u="$3" 'BEGIN { printf "%.3f %s", t / n * u, (u == 1e6 ? "us" : "ms") }'; }
items=$corpus/items/items-1000.txt

echo
echo "one file (hits -f 2, 1,000 items, warm cache):"
time_input=ten-copies
for threads in 1 default; do
    options=()
    [[ $threads == default ]] || options=(-j "$threads")
    read -r wall cpu < <(median_time "$cli" hits -f 2 -i "$items" --format tsv "${options[@]}" -0 -T -)
    echo "  $threads thread(s): $wall s wall, $cpu s processor: $(per "$wall" "$files" 1e6) wall," \
        "$(per "$cpu" "$files" 1e6) processor a file"
done
one_process=$wall

echo
echo "one run's start (hits over no file):"
time_input=/dev/null
for size in 100 1000 10000 35208; do
    read -r wall cpu < <(median_time "$cli" hits -f 2 -i "$corpus/items/items-$size.txt" -T /dev/null)
    echo "  $size items: $wall s wall, $cpu s processor"
done

# The slot time a trivial task takes: an array of $tasks tasks and a job
# after it, from the first submission to the end of the last job.
array_time() {
    local start array after
    start=$(now)
    array=$(sbatch --parsable --array=0-$((tasks - 1)) -o /dev/null --wrap true)
    after=$(sbatch --parsable --dependency="afterany:$array" -o /dev/null --wrap true)
    while [[ -n $(squeue -h -j "$array,$after" -o %i 2>/dev/null) ]]; do
        sleep 0.1
    done
    awk -v s="$start" -v e="$(now)" 'BEGIN { printf "%.3f\n", (e - s) / 1e9 }'
}

slots=$(nproc)
for scheduling in default batch_sched_delay=0; do
    local_slurm_stop
    export LOCAL_SLURM_SCHEDULER_PARAMETERS=
    [[ $scheduling == default ]] || LOCAL_SLURM_SCHEDULER_PARAMETERS=$scheduling
    local_slurm_start "$work/cluster-$scheduling" ||
        { echo "Slurm did not start: $local_slurm_reason" >&2; local_slurm_logs >&2; exit 2; }
    echo
    echo "one task ($tasks trivial tasks and one job after them on $slots slots, scheduling: $scheduling):"
    walls=()
    for ((i = 0; i < runs; i++)); do
        walls+=("$(array_time)")
    done
    wall=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    echo "  $wall s: $(per "$(awk -v w="$wall" -v s="$slots" 'BEGIN { print w * s }')" "$tasks" 1e3) slot time a task"

    echo "the recipe over the ten copies (hits -f 2, 1,000 items; one process: $one_process s):"
    for parts in 2 8 32; do
        walls=()
        for ((i = 0; i < runs; i++)); do
            rm -rf recipe-work
            start=$(now)
            "$recipe" --wait -p "$parts" -w recipe-work -T ten-copies hits -f 2 -i "$items" >recipe-out 2>/dev/null
            walls+=("$(awk -v s="$start" -v e="$(now)" 'BEGIN { printf "%.3f\n", (e - s) / 1e9 }')")
        done
        wall=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
        echo "  $parts parts: $wall s (x $(awk -v a="$one_process" -v b="$wall" 'BEGIN { printf "%.2f", a / b }')" \
            "of one process's speed)"
    done
done

echo
echo "the sum (parts of hits over 368 files each):"
"$cli" hits -f 2 -i "$items" --format tsv -0 -T <(head -z -n 368 names) >part-1000
"$cli" hits -f 2 -i "$corpus/items/items-10000.txt" --format tsv -0 -T <(head -z -n 368 names) >part-10000
for size in 1000 10000; do
    for count in 100 1000; do
        rm -rf sum-parts && mkdir sum-parts
        for ((i = 0; i < count; i++)); do
            ln "part-$size" "sum-parts/$i.tsv"
        done
        time_input=/dev/null
        read -r wall cpu < <(median_time "$cli" sum --format tsv sum-parts/*.tsv)
        echo "  $count parts of $size items: $wall s wall, $cpu s processor:" \
            "$(per "$cpu" "$count" 1e3) a part, $(per "$cpu" $((count * size)) 1e6) a row"
    done
done

echo
awk 'BEGIN { for (i = 0; i < 1000000; i++) printf "/shared/traps/%04d/%02d/%010d.eml\n", i % 2000, i % 97, i }' |
    tr '\n' '\0' >million
echo "the names (a million, $(stat -c %s million) bytes):"
split_names() {
    tr -cd '\0' <million | wc -c >/dev/null
    rm -rf split && mkdir split
    split -t '\0' -n l/1000 -d -a 3 million split/
}
read -r wall cpu < <(median_time split_names)
echo "  counted and split into 1,000 parts: $wall s wall, $cpu s processor"
