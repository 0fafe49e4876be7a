#!/usr/bin/env bash
# Times junkloupe-cli hits and scan over ten copies of the shared corpus
# (36,760 files, made in a temporary folder) with 1,000 and 10,000 items under
# filter 2: one process against the GNU parallel recipe
# (scripts/junkloupe-parallel.sh) on two job slots, with the default threads
# per run and with one thread per run. Prints the median wall time of 3 runs
# of each (wall and processor time) and the speed-up of the recipe (one
# process's wall time over its wall time), and checks that both give the same
# output.
#
#   bench/cli_scale_out.sh [BUILD_DIR]     (default: build-rel beside this script's parent)
#
# Build BUILD_DIR as Release first (cmake -DCMAKE_BUILD_TYPE=Release).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
cli=$build/bin/junkloupe-cli
recipe=$root/scripts/junkloupe-parallel.sh
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
copies=10
runs=3

[[ -x $cli ]] || { echo "no $cli: build the command-line program first" >&2; exit 2; }
[[ -d $corpus ]] || { echo "no corpus at $corpus" >&2; exit 2; }
command -v parallel >/dev/null || { echo "GNU parallel is not installed (Debian package parallel)" >&2; exit 2; }

work=$(mktemp -d /tmp/junkloupe-scale-out-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home JUNKLOUPE_CLI=$cli
mkdir "$HOME"

# Every message file of the corpus, flat (sub/dir/name becomes sub__dir__name),
# once per copy; the items lists, the corpus' notes and dotfiles left out.
mkdir -p "$work/pile/0"
(cd "$corpus" && find . -type f ! -path './items/*' ! -name MANIFEST.tsv ! -name SOURCES.md ! -name '.*' -print0) |
    while IFS= read -r -d '' rel; do
        rel=${rel#./}
        cp "$corpus/$rel" "$work/pile/0/${rel//\//__}"
    done
for ((c = 1; c < copies; c++)); do
    cp -r "$work/pile/0" "$work/pile/$c"
done
find "$work/pile" -type f -print0 >"$work/names"
files=$(tr -cd '\0' <"$work/names" | wc -c)
echo "pile: $files files, $(du -sb "$work/pile" | cut -f1) bytes"
xargs -0 cat <"$work/names" >/dev/null # warm the page cache
echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"

. "$(dirname "$0")/timing.sh"
time_input=$work/names # the commands read the names
time_output=$work/out
speedup() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

printf '\n%-5s %6s  %-17s  %-26s  %-26s\n' "" items "one process" "recipe, 2 slots" "recipe, 2 slots x 1 thread"
printf '%-5s %6s  %-17s  %-26s  %-26s\n' "" "" "wall s (cpu s)" "wall s (cpu s) speed-up" "wall s (cpu s) speed-up"
for size in 1000 10000; do
    items=$corpus/items/items-$size.txt
    for command in hits scan; do
        read -r one one_cpu < <(median_time "$cli" "$command" -f 2 -i "$items" -0 -T -)
        cp "$work/out" "$work/out-one"
        read -r two two_cpu < <(median_time "$recipe" -j 2 -0 "$command" -f 2 -i "$items")
        cmp -s "$work/out-one" "$work/out" || echo "the recipe's output differs from one process's ($command, $size items)"
        read -r single single_cpu < <(median_time "$recipe" -j 2 -0 "$command" -f 2 -i "$items" -j 1)
        cmp -s "$work/out-one" "$work/out" || echo "the recipe's output differs with one thread per run ($command, $size items)"
        printf '%-5s %6s  %6s (%6s)    %6s (%6s) x %5s    %6s (%6s) x %5s\n' "$command" "$size" \
            "$one" "$one_cpu" "$two" "$two_cpu" "$(speedup "$one" "$two")" \
            "$single" "$single_cpu" "$(speedup "$one" "$single")"
    done
done
echo "(x: the speed-up of the recipe, one process's wall time over the recipe's)"
