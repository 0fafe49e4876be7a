#!/usr/bin/env bash
# The scale-out recipe (scripts/junkloupe-parallel.sh) over the shared corpus
# on two local job slots, in blocks of 500 names: the summed hits are byte for
# byte those of one hits run over the same names, in every form and under
# every filter; the scan lists what one scan lists; a name of nothing is
# trouble for both, and the rest is still counted.
#
#   tests/scripts/parallel_recipe_test.sh JUNKLOUPE_CLI
#
# JUNKLOUPE_RECIPE_NAMES=N takes only the first N files of the corpus (for a
# slow, sanitized build). Exits 77 (skipped) where GNU parallel or the corpus
# is missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cli=$1
recipe=$root/scripts/junkloupe-parallel.sh
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
command -v parallel >/dev/null || { echo "GNU parallel is not installed: skipped"; exit 77; }
[[ -d $corpus ]] || { echo "no corpus at $corpus: skipped"; exit 77; }

work=$(mktemp -d /tmp/junkloupe-recipe-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home # parallel keeps notes in ~/.parallel
mkdir "$HOME"
export JUNKLOUPE_CLI=$cli
items=$corpus/items/items-1000.txt
find "$corpus" -type f ! -path '*/items/*' -print0 | sort -z >"$work/all-names"
head -z -n "${JUNKLOUPE_RECIPE_NAMES:-1000000}" "$work/all-names" >"$work/names"
(cat "$work/names"; printf '%s\0' "$work/no-such-file") >"$work/names-and-nothing"

passes=0
failures=0
check() { # check WHAT EXPECTED-FILE ACTUAL-FILE EXPECTED-STATUS ACTUAL-STATUS
    if ! cmp -s "$2" "$3" || [[ $4 != "$5" ]]; then
        echo "FAILED: $1 (status $5, expected $4)"
        diff "$2" "$3" | head -5 || true
        failures=$((failures + 1))
    else
        echo "ok: $1"
        passes=$((passes + 1))
    fi
}

run() { # run OUT-FILE COMMAND...: prints the status
    local rc=0
    "${@:2}" >"$1" 2>>"$work/stderr" || rc=$?
    echo "$rc"
}

for case in "2 text" "2 tsv" "1 text" "0 json"; do
    read -r filter format <<<"$case"
    one=$(run "$work/one" "$cli" hits -f "$filter" -i "$items" --format "$format" -0 -T "$work/names")
    many=$(run "$work/many" "$recipe" -j 2 -n 500 --format "$format" hits -f "$filter" -i "$items" <"$work/names")
    check "hits -f $filter --format $format" "$work/one" "$work/many" "$one" "$many"
done

# Through an ssh login file whose one host is this machine (":", no ssh).
echo ":" >"$work/hosts"
one=$(run "$work/one" "$cli" hits -f 2 -i "$items" --format json -0 -T "$work/names")
many=$(run "$work/many" "$recipe" -S "$work/hosts" -j 2 -n 500 --format json hits -f 2 -i "$items" <"$work/names")
check "hits on the hosts of a login file" "$work/one" "$work/many" "$one" "$many"

one=$(run "$work/one" "$cli" scan -f 2 -i "$items" -0 -T "$work/names")
many=$(run "$work/many" "$recipe" -j 2 -n 500 scan -f 2 -i "$items" <"$work/names")
tr '\0' '\n' <"$work/one" >"$work/one-lines"
check "scan -f 2" "$work/one-lines" "$work/many" "$one" "$many"
many=$(run "$work/many" "$recipe" -j 2 -n 500 -0 scan -f 2 -i "$items" <"$work/names")
check "scan -f 2, NUL-ended" "$work/one" "$work/many" "$one" "$many"

one=$(run "$work/one" "$cli" hits -i "$items" --format tsv -0 -T "$work/names-and-nothing")
many=$(run "$work/many" "$recipe" -j 2 -n 500 --format tsv hits -i "$items" <"$work/names-and-nothing")
check "hits with a name of nothing" "$work/one" "$work/many" "$one" "$many"
grep -qx $'unreadable\t1\t\t' "$work/many" || { echo "FAILED: the name of nothing is not counted"; failures=$((failures + 1)); }

one=$(run "$work/one" "$cli" scan -i "$items" -0 -T "$work/names-and-nothing")
many=$(run "$work/many" "$recipe" -j 2 -n 500 -0 scan -i "$items" <"$work/names-and-nothing")
check "scan with a name of nothing" "$work/one" "$work/many" "$one" "$many"

# Nothing to do: the counts of no files, and no file listed.
one=$(run "$work/one" "$cli" hits -i "$items" -T /dev/null)
many=$(run "$work/many" "$recipe" -j 2 hits -i "$items" </dev/null)
check "hits over no names" "$work/one" "$work/many" "$one" "$many"
many=$(run "$work/many" "$recipe" -j 2 scan -i "$items" </dev/null)
check "scan over no names" /dev/null "$work/many" 1 "$many"

# What every run would read is refused before any runs, as is an option
# that may or may not take the next word.
while IFS='|' read -r what message args; do
    rc=0
    # shellcheck disable=SC2086 # the arguments are words
    "$recipe" $args </dev/null >/dev/null 2>"$work/refusal" || rc=$?
    if [[ $rc == 2 ]] && grep -q -- "$message" "$work/refusal"; then
        echo "ok: refused: $what"
        passes=$((passes + 1))
    else
        echo "FAILED: refused: $what (status $rc)"
        cat "$work/refusal"
        failures=$((failures + 1))
    fi
done <<EOF
a PATH that every run would read|would be read by every job|hits -f 2 -i $items $corpus
names that every run would read|-T' after the command|scan -i $items -T $work/names
items from standard input|cannot read the items from standard input|hits --items=-
an option that may take the next word|is no option of hits|hits -i $items --fi 1
EOF

echo "$passes passed, $failures failed"
((failures == 0))
