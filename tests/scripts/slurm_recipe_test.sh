#!/usr/bin/env bash
# The Slurm recipe (scripts/junkloupe-slurm.sh) on a live Slurm cluster of
# one node that this test starts on loopback (tests/scripts/local_slurm.sh),
# over the shared corpus and over ten copies of it: the summed hits are byte
# for byte one hits run over the same names, the scan lists what one scan
# lists, a task cancelled on purpose makes the sum fail naming its part, and
# --resume runs that part alone again and completes the sum.
#
#   tests/scripts/slurm_recipe_test.sh JUNKLOUPE_CLI
#
# Installs slurm-wlm and munge where they are missing and it runs as root.
# JUNKLOUPE_RECIPE_NAMES=N takes only the first N files of the corpus (for a
# slow, sanitized build). Exits 77 (skipped) where the corpus is missing,
# Slurm is missing and cannot be installed, or its daemons cannot start.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cli=$(realpath -- "$1")
recipe=$root/scripts/junkloupe-slurm.sh
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
[[ -d $corpus ]] || { echo "no corpus at $corpus: skipped"; exit 77; }
if ! command -v slurmctld >/dev/null || ! command -v munged >/dev/null; then
    if (($(id -u) != 0)); then
        echo "slurm-wlm and munge are not installed (as root: scripts/install-deps.sh --with-slurm): skipped"
        exit 77
    fi
    # Another test may be installing at the same time: wait for dpkg's lock.
    install=(apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends slurm-wlm munge)
    export DEBIAN_FRONTEND=noninteractive
    "${install[@]}" >/dev/null 2>&1 || { apt-get -q update >/dev/null && "${install[@]}" >/dev/null; } ||
        { echo "slurm-wlm and munge could not be installed: skipped"; exit 77; }
fi

# shellcheck source=tests/scripts/local_slurm.sh
. "$(dirname "$0")/local_slurm.sh"
work=$(mktemp -d /tmp/junkloupe-slurm-test.XXXXXX)
trap 'local_slurm_stop; rm -rf "$work"' EXIT
started=$SECONDS
if ! local_slurm_start "$work/cluster"; then
    local_slurm_logs
    echo "the Slurm daemons could not start here ($local_slurm_reason): skipped"
    exit 77
fi
echo "Slurm started in $((SECONDS - started)) s"
export JUNKLOUPE_CLI=$cli
cd "$work"

items=$corpus/items/items-1000.txt
find "$corpus" -type f ! -path '*/items/*' -print0 | sort -z >all-names
head -z -n "${JUNKLOUPE_RECIPE_NAMES:-1000000}" all-names >names
(cat names && printf '%s\0' "$work/no-such-file") >names-and-nothing
local_slurm_ten_copies names "$corpus" pile >ten-copies
xargs -0 ls -L <ten-copies >/dev/null || { echo "the ten copies are not all there"; exit 1; }
echo "$(tr -cd '\0' <names | wc -c) names, ten copies $(tr -cd '\0' <ten-copies | wc -c)"

passes=0
failures=0
step=$SECONDS
pass() { echo "ok: $1 ($((SECONDS - step)) s)"; passes=$((passes + 1)); step=$SECONDS; }
failed() { echo "FAILED: $1"; failures=$((failures + 1)); step=$SECONDS; }
check() { # check WHAT EXPECTED-FILE ACTUAL-FILE EXPECTED-STATUS ACTUAL-STATUS
    if cmp -s "$2" "$3" && [[ $4 == "$5" ]]; then
        pass "$1"
    else
        failed "$1 (status $5, expected $4)"
        diff "$2" "$3" | head -5 || true
    fi
}
run() { # run OUT-FILE COMMAND...: prints the status; standard error to ./stderr
    local rc=0
    timeout 300 "${@:2}" >"$1" 2>stderr || rc=$?
    echo "$rc"
}

# A file named '-' where the recipe runs is no list of names: '-' is
# standard input.
printf '%s\0' "$work/no-such-file" >./-

# The recipe against one run of junkloupe-cli over the same names, as a
# table: the names (the recipe reads them from standard input unless its
# arguments name them), the recipe's arguments, the one run's, whether the one
# run's NUL-ended names are to be compared as lines, and the file that gets
# the recipe's result (its standard output where none is named).
while IFS='|' read -r what names recipe_args one_args lines result; do
    # shellcheck disable=SC2086 # the arguments are words
    one=$(run one "$cli" $one_args -0 -T "$names")
    [[ -z $lines ]] || { tr '\0' '\n' <one >one-lines && mv one-lines one; }
    # shellcheck disable=SC2086
    many=$(run many "$recipe" --wait $recipe_args <"$names")
    check "$what" one "${result:-many}" "$one" "$many"
done <<EOF
hits over the corpus, as text, a task at a time|names|-p 4 -m 1 hits -f 2 -i $items|hits -f 2 -i $items|
hits over the corpus and a name of nothing|names-and-nothing|-p 4 hits --format tsv -i $items|hits --format tsv -i $items|
scan over the corpus and a name of nothing|names-and-nothing|-p 4 -T names-and-nothing scan -f 2 -i $items|scan -f 2 -i $items|lines
hits over ten copies, as json|ten-copies|-p 12 -T ten-copies --format json hits -f 2 -i $items|hits --format json -f 2 -i $items|
scan over ten copies, NUL-ended, into a file|ten-copies|-p 12 -T $work/ten-copies -o $work/scan-result scan -0 -f 2 -i $items|scan -f 2 -i $items||scan-result
EOF
[[ ! -s many ]] || failed "a result written to a file is printed too"

# Every task of the array held, one of them cancelled before it ran: the sum
# fails naming that part and writes nothing; --resume is refused while the
# jobs are queued, runs that part alone once they ended, and sums.
"$cli" hits -f 2 -i "$items" --format json -0 -T names >one || true
timeout 300 "$recipe" --wait -p 4 -w cancelled -o cancelled.json --format json -s --hold \
    hits -f 2 -i "$items" <names >/dev/null 2>cancelled.err &
recipe_pid=$!
local_slurm_wait_for 600 test -s cancelled/jobs
local_slurm_wait_for 100 grep -q sum cancelled/jobs
read -r array _ <cancelled/jobs
sum=$(awk '$2 == "sum" { print $1 }' cancelled/jobs)
rc=0
"$recipe" --resume cancelled 2>stderr || rc=$?
if ((rc == 2)) && grep -q "job $array of .* is still queued" stderr; then
    pass "--resume is refused while the jobs are queued"
else
    failed "--resume went on while the jobs were queued (status $rc)"
    cat stderr
fi
scancel "${array}_1"
scontrol release "$array" "$sum"
rc=0
wait "$recipe_pid" || rc=$?
if ((rc == 2)) && grep -q "part 1 of 4 is missing" cancelled.err && [[ ! -e cancelled.json ]]; then
    pass "a cancelled task: the sum fails naming its part and writes nothing"
else
    failed "a cancelled task: status $rc, result $(ls cancelled.json 2>&1)"
    cat cancelled.err
fi
stat -c '%n %i %y' cancelled/parts/* | grep -v '/1\.' >kept-before || true
many=$(run many "$recipe" --resume cancelled --wait -s --job-name=resumed)
check "--resume completes the sum" one cancelled.json 0 "$many"
stat -c '%n %i %y' cancelled/parts/* | grep -v '/1\.' >kept-after || true
if cmp -s kept-before kept-after && [[ $(tail -2 cancelled/jobs | head -1) == *" tasks 1" ]]; then
    pass "--resume ran the missing part alone"
else
    failed "--resume ran more than the missing part: $(tail -2 cancelled/jobs | head -1)"
fi

# Refused before anything is submitted: the message, and no job.
while IFS='|' read -r what message args; do
    rc=0
    # shellcheck disable=SC2086 # the arguments are words
    "$recipe" $args <names >/dev/null 2>stderr || rc=$?
    if ((rc == 2)) && grep -q -- "$message" stderr && [[ -z $(squeue -h -o %i) ]]; then
        pass "refused: $what"
    else
        failed "refused: $what (status $rc)"
        cat stderr
    fi
done <<EOF
no command|no command given|-p 4
no parts|must be a positive number|-p 0 hits -i $items
an items file junkloupe-cli cannot read|junkloupe-cli refused the command|-w never-made hits -i $work/no-such-file
a work folder in use|is not empty|-w cancelled scan -i $items
a result into a folder that is not there|cannot write the result|-w never-made -o $work/no-such-folder/x scan -i $items
a folder that is no work folder|is not a work folder|--resume $work/pile
a setting of a first submission to --resume|takes the settings of the work folder|--resume cancelled -p 2
a PATH that every task would read|would be read by every task|-w never-made hits -f 2 -i $items $corpus
names that every task would read|-T' after the command|-w never-made scan -ri $items -T names
items from standard input|cannot read the items from standard input|-w never-made hits --items=-
an option that may take the next word|is no option of hits|-w never-made hits -i $items --fi 1
a result in the place of a folder|cannot replace the folder|-w never-made -o $work/pile scan -i $items
EOF
[[ ! -e never-made ]] || failed "a refused command made its work folder"

echo "$passes passed, $failures failed ($((SECONDS - started)) s with Slurm)"
((failures == 0))
