#!/usr/bin/env bash
# Times the batch scan against grep, ripgrep and cat over every message of the
# shared corpus, copied flat into a temporary folder, with 1,000 and 10,000
# items. Prints the median of 5 runs of each and the ratios, then compares the
# files the scan prints with the files grep -L prints.
#
#   bench/scan_vs_grep.sh [BUILD_DIR]     (default: build-rel beside this script's parent)
#
# Build BUILD_DIR as Release first (cmake -DCMAKE_BUILD_TYPE=Release).
# JUNKLOUPE_BENCH_RG=0 leaves ripgrep out (it takes minutes at 10,000 items).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
cli=$build/bin/junkloupe-cli
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
runs=5
rg_limit=60 # seconds; ripgrep is left out at a size where one run takes longer

[[ -x $cli ]] || { echo "no $cli: build the command-line program first" >&2; exit 2; }
[[ -d $corpus ]] || { echo "no corpus at $corpus" >&2; exit 2; }

work=$(mktemp -d /tmp/junkloupe-scan-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
pile=$work/pile
mkdir "$pile"

# Every message file, flat: sub/dir/name becomes sub__dir__name so that equal
# names from different folders stay apart. Dotfiles, the items lists and the
# corpus' own notes are left out.
(cd "$corpus" && find . -type f ! -path './items/*' ! -name MANIFEST.tsv ! -name SOURCES.md ! -name '.*' -print0) |
    while IFS= read -r -d '' rel; do
        rel=${rel#./}
        cp "$corpus/$rel" "$pile/${rel//\//__}"
    done
files=$(find "$pile" -type f | wc -l)
bytes=$(du -sb "$pile" | cut -f1)
echo "corpus: $files files, $bytes bytes in $pile"
cat "$pile"/* >/dev/null # warm the page cache

. "$(dirname "$0")/timing.sh"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

run_cli() { "$cli" scan --filter 2 --items "$1" "$pile"; }
run_grep() { LC_ALL=C grep -L -i -F -f "$1" "$pile"/*; }
run_rg() { rg --files-without-match -i -F -f "$1" "$pile"; }
run_cat() { cat "$pile"/*; }

read -r t_cat c_cat < <(median_time run_cat)
echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
echo "cat: ${t_cat} s wall, ${c_cat} s processor"
echo

for size in 1000 10000; do
    items=$corpus/items/items-$size.txt
    # grep and ripgrep want LF line ends and no empty pattern (which would
    # match every file; the scan's empty items match nothing).
    tr -d '\r' <"$items" | grep -v '^$' >"$work/items-$size.lf" || true
    lf=$work/items-$size.lf

    echo "== $size items"
    read -r t_cli c_cli < <(median_time run_cli "$items")
    read -r t_grep c_grep < <(median_time run_grep "$lf")

    t_rg=""
    c_rg=""
    rc=0
    first=0
    if [[ ${JUNKLOUPE_BENCH_RG:-1} == 0 ]]; then
        rc=-1
    else
        start=$(now)
        timeout "$rg_limit" rg --files-without-match -i -F -f "$lf" "$pile" >/dev/null 2>&1 || rc=$?
        end=$(now)
        first=$((end - start))
    fi
    if ((rc == -1)); then
        rg_note="left out (JUNKLOUPE_BENCH_RG=0)"
    elif ((rc == 124)); then
        rg_note="left out: one run takes over $rg_limit s"
    elif ((first * runs > rg_limit * 1000000000)); then
        t_rg=$(awk -v t="$first" 'BEGIN { printf "%.3f", t / 1e9 }')
        rg_note=" (one run only: five would take over $rg_limit s)"
    else
        read -r t_rg c_rg < <(median_time run_rg "$lf")
        rg_note=""
    fi

    echo "                                wall s  ratio   processor s  ratio"
    printf '%-31s %7s  %5s   %11s  %5s\n' "junkloupe-cli scan --filter 2" "$t_cli" "" "$c_cli" ""
    printf '%-31s %7s  %5s   %11s  %5s\n' "grep -L -i -F (LC_ALL=C)" "$t_grep" "$(ratio "$t_cli" "$t_grep")" \
        "$c_grep" "$(ratio "$c_cli" "$c_grep")"
    if [[ -n $t_rg ]]; then
        printf '%-31s %7s  %5s   %11s  %5s%s\n' "rg --files-without-match -i -F" "$t_rg" "$(ratio "$t_cli" "$t_rg")" \
            "${c_rg:--}" "$( [[ -n $c_rg ]] && ratio "$c_cli" "$c_rg" || echo -)" "$rg_note"
    else
        echo "rg --files-without-match -i -F  $rg_note"
    fi
    printf '%-31s %7s  %5s   %11s  %5s\n' "cat" "$t_cat" "$(ratio "$t_cli" "$t_cat")" "$c_cat" "$(ratio "$c_cli" "$c_cat")"
    echo "(ratio: the scan's time over the tool's time)"

    # The files without items, as each tool sees them. The scan searches the
    # shown text: bytes outside 0x20..0x7A are dropped (which can join two
    # pieces into a match) and lines are separate (a match cannot span them
    # in grep either), so small differences are expected.
    run_cli "$items" | sed 's|.*/||' | sort >"$work/clean-cli" || true
    run_grep "$lf" | sed 's|.*/||' | sort >"$work/clean-grep" || true
    only_cli=$(comm -23 "$work/clean-cli" "$work/clean-grep" | wc -l)
    only_grep=$(comm -13 "$work/clean-cli" "$work/clean-grep" | wc -l)
    echo "files without items: scan $(wc -l <"$work/clean-cli"), grep $(wc -l <"$work/clean-grep");" \
        "only scan $only_cli, only grep $only_grep"
    if ((only_cli + only_grep > 0)) && [[ -n ${JUNKLOUPE_BENCH_KEEP:-} ]]; then
        mkdir -p "$JUNKLOUPE_BENCH_KEEP"
        comm -23 "$work/clean-cli" "$work/clean-grep" >"$JUNKLOUPE_BENCH_KEEP/only-scan-$size"
        comm -13 "$work/clean-cli" "$work/clean-grep" >"$JUNKLOUPE_BENCH_KEEP/only-grep-$size"
        cp "$lf" "$JUNKLOUPE_BENCH_KEEP/"
        echo "differences kept in $JUNKLOUPE_BENCH_KEEP"
    fi
    echo
done
