#!/usr/bin/env bash
# Times junkloupe-cli scan --filter 2 against GNU grep -r -L -i -F -f (C
# locale) and against cat of the same files, interleaved in one run:
#
# - piles: every message of the shared corpus copied flat into one folder
#   (1x), and ten copies of it flat in another (10x);
# - lists: the corpus's lists of 1,000, 10,000 and 35,208 items, 300,000
#   items cut from the corpus's header lines (many files hold one early), and
#   10,000 items that no file holds (every file is read whole);
# - the scan with one thread (-j 1) and with its default threads.
#
# Each round runs every command once, in turn, so that a change in the
# machine's load falls on all of them alike; the table gives the median wall
# and processor time (user + system, all threads) of the rounds and the
# ratios. Then the file sets: each scan's files against grep -L's.
#
# Last, the list's size: the scan with one thread over the 1x pile with lists
# of 1,000 to 1,000,000 items that no file holds, and the same lists read and
# built for a single small file (the build's share).
#
#   bench/scan_vs_grep.sh [BUILD_DIR [EARLIER_BUILD_DIR]]
#
# BUILD_DIR defaults to build-rel beside this script's parent. With
# EARLIER_BUILD_DIR (a build of an earlier commit), its scans run in the same
# rounds as well ("was" rows), so that a change is measured side by side.
#
# Build BUILD_DIR as Release first (cmake -DCMAKE_BUILD_TYPE=Release).
# JUNKLOUPE_BENCH_RUNS: rounds (default 5); JUNKLOUPE_BENCH_PILES: the piles,
# as numbers of copies (default "1 10"); JUNKLOUPE_BENCH_LISTS: the lists of
# the table (default "items-1000 items-10000 items-35208 sub-300000
# miss-10000"); JUNKLOUPE_BENCH_SIZES: the lists' sizes in the last part
# ("" leaves it out).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
cli=$build/bin/junkloupe-cli
earlier=${2:+$2/bin/junkloupe-cli}
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
runs=${JUNKLOUPE_BENCH_RUNS:-5}
piles=${JUNKLOUPE_BENCH_PILES:-1 10}
lists=${JUNKLOUPE_BENCH_LISTS:-items-1000 items-10000 items-35208 sub-300000 miss-10000}
sizes=${JUNKLOUPE_BENCH_SIZES-1000 10000 35000 100000 300000 1000000}

[[ -x $cli ]] || { echo "no $cli: build the command-line program first" >&2; exit 2; }
[[ -z $earlier || -x $earlier ]] || { echo "no $earlier: build the earlier program first" >&2; exit 2; }
tools="scan1 scan"
[[ -z $earlier ]] || tools="was1 was scan1 scan"
[[ -d $corpus ]] || { echo "no corpus at $corpus" >&2; exit 2; }

work=$(mktemp -d /tmp/junkloupe-scan-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Every message file, flat: sub/dir/name becomes sub__dir__name so that equal
# names from different folders stay apart; copy c of the 10x pile puts "c-"
# before each name. Dotfiles, the items lists and the corpus's notes are left
# out.
mkdir "$work/pile1"
(cd "$corpus" && find . -type f ! -path './items/*' ! -name MANIFEST.tsv ! -name SOURCES.md ! -name '.*' -print0) |
    while IFS= read -r -d '' rel; do
        rel=${rel#./}
        cp "$corpus/$rel" "$work/pile1/${rel//\//__}"
    done
for copies in $piles; do
    pile=$work/pile$copies
    if [[ ! -d $pile ]]; then
        mkdir "$pile"
        for ((c = 0; c < copies; c++)); do
            for f in "$work/pile1"/*; do
                cp "$f" "$pile/$c-${f##*/}"
            done
        done
    fi
    find "$pile" -type f -print0 >"$work/names$copies"
    echo "pile ${copies}x: $(tr -cd '\0' <"$work/names$copies" | wc -c) files, $(du -sb "$pile" | cut -f1) bytes"
    xargs -0 cat <"$work/names$copies" >/dev/null # warm the page cache
done

# The long lists (sub-N: items cut from header lines; miss-N: the same with
# a character that no file holds put in), and each list with LF line ends and
# no empty line for grep (an empty pattern would match every file; the scan's
# empty items match nothing).
mkdir "$work/lists"
python3 "$corpus/items/make_long_lists.py" "$work/lists" >/dev/null
cp "$corpus"/items/items-*.txt "$work/lists/"
for list in "$work"/lists/*.txt; do
    tr -d '\r' <"$list" | grep -v '^$' >"${list%.txt}.lf" || true
done

now() { date +%s%N; }
# Runs CMD once; prints its wall and processor time (user + system of all it
# starts) in seconds. Standard output goes to $out, standard error is dropped.
time_once() {
    local start end cpu
    start=$(now)
    cpu=$( ("$@" </dev/null >"$out" 2>/dev/null || true
        times) | tail -1 |
        sed 's/m/ /g; s/s//g' | awk '{ printf "%d", ($1 * 60 + $2 + $3 * 60 + $4) * 1e3 }')
    end=$(now)
    awk -v w="$((end - start))" -v c="$cpu" 'BEGIN { printf "%.3f %.3f\n", w / 1e9, c / 1e3 }'
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

run_scan() { "$cli" scan --filter 2 -j "$1" --items "$work/lists/$2.txt" "$work/pile$3"; }
run_scan_default() { "$cli" scan --filter 2 --items "$work/lists/$1.txt" "$work/pile$2"; }
run_was() { "$earlier" scan --filter 2 -j "$1" --items "$work/lists/$2.txt" "$work/pile$3"; }
run_was_default() { "$earlier" scan --filter 2 --items "$work/lists/$1.txt" "$work/pile$2"; }
run_grep() { LC_ALL=C grep -r -L -i -F -f "$work/lists/$1.lf" "$work/pile$2"; }
run_cat() { xargs -0 cat <"$work/names$1" >/dev/null; }

echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg) at the start"
declare -A wall cpu
record() { # key, then CMD...
    local key=$1 w c
    shift
    out=$work/out-$key
    read -r w c < <(time_once "$@")
    wall[$key]+="$w "
    cpu[$key]+="$c "
}
for ((round = 0; round < runs; round++)); do
    for copies in $piles; do
        record "cat-$copies" run_cat "$copies"
        for list in $lists; do
            record "grep-$copies-$list" run_grep "$list" "$copies"
            if [[ -n $earlier ]]; then
                record "was1-$copies-$list" run_was 1 "$list" "$copies"
                record "was-$copies-$list" run_was_default "$list" "$copies"
            fi
            record "scan1-$copies-$list" run_scan 1 "$list" "$copies"
            record "scan-$copies-$list" run_scan_default "$list" "$copies"
        done
    done
done
echo "machine: load $(cut -d' ' -f1-3 /proc/loadavg) at the end of $runs rounds"

med() { # kind key → "wall cpu"
    # shellcheck disable=SC2086
    echo "$(median ${wall[$1]}) $(median ${cpu[$1]})"
}
label() {
    case $1 in
    scan1) echo "scan -j 1" ;;
    was1) echo "was -j 1" ;;
    *) echo "$1" ;;
    esac
}
echo
echo "Median of $runs interleaved rounds; wall and processor seconds; ratios: the scan's over the peer's."
printf '%-5s %-14s %-12s %7s %7s  %-23s %-23s\n' pile list tool wall cpu "cpu / grep  wall / grep" "cpu / cat   wall / cat"
for copies in $piles; do
    read -r cw cc < <(med "cat-$copies")
    printf '%-5s %-14s %-12s %7s %7s\n' "${copies}x" "" cat "$cw" "$cc"
    for list in $lists; do
        read -r gw gc < <(med "grep-$copies-$list")
        printf '%-5s %-14s %-12s %7s %7s\n' "${copies}x" "$list" grep "$gw" "$gc"
        for tool in $tools; do
            read -r sw sc < <(med "$tool-$copies-$list")
            printf '%-5s %-14s %-12s %7s %7s  %5s       %5s        %5s       %5s\n' "${copies}x" "$list" \
                "$(label "$tool")" "$sw" "$sc" \
                "$(ratio "$sc" "$gc")" "$(ratio "$sw" "$gw")" "$(ratio "$sc" "$cc")" "$(ratio "$sw" "$cw")"
        done
    done
done

# The files without items, as each tool sees them. The scan searches the
# shown text: bytes outside 0x20..0x7A are dropped (which can join two pieces
# into a match) and lines are separate (a match cannot span them in grep
# either), so small differences are expected; both scans must agree exactly.
echo
echo "Files without items (the last round's outputs):"
for copies in $piles; do
    for list in $lists; do
        sort "$work/out-grep-$copies-$list" >"$work/g"
        sort "$work/out-scan1-$copies-$list" >"$work/s1"
        sort "$work/out-scan-$copies-$list" >"$work/s"
        cmp -s "$work/s1" "$work/s" || echo "  ${copies}x $list: THE SCANS DIFFER between -j 1 and the default threads"
        if [[ -n $earlier ]]; then
            sort "$work/out-was-$copies-$list" >"$work/w"
            cmp -s "$work/w" "$work/s" || echo "  ${copies}x $list: THE SCAN DIFFERS FROM THE EARLIER BUILD'S"
        fi
        printf '  %-4s %-14s scan %6d, grep %6d; only scan %4d, only grep %4d\n' "${copies}x" "$list" \
            "$(wc -l <"$work/s")" "$(wc -l <"$work/g")" "$(comm -23 "$work/s" "$work/g" | wc -l)" \
            "$(comm -13 "$work/s" "$work/g" | wc -l)"
        if [[ -n ${JUNKLOUPE_BENCH_KEEP:-} ]]; then
            mkdir -p "$JUNKLOUPE_BENCH_KEEP"
            cp "$work/s" "$JUNKLOUPE_BENCH_KEEP/scan-$copies-$list"
            cp "$work/g" "$JUNKLOUPE_BENCH_KEEP/grep-$copies-$list"
        fi
    done
done

[[ -n $sizes ]] || exit 0
# One small message: the run is the list's reading and the build.
one=$work/one
mkdir "$one"
cp "$(find "$work/pile1" -type f -size -4k | head -1)" "$one/"
for ((round = 0; round < runs; round++)); do
    for n in $sizes; do
        [[ -f $work/lists/miss-$n.txt ]] || continue
        out=/dev/null
        record "build-$n" "$cli" scan --filter 2 -j 1 --items "$work/lists/miss-$n.txt" "$one"
        record "whole-$n" "$cli" scan --filter 2 -j 1 --items "$work/lists/miss-$n.txt" "$work/pile1"
        if [[ -n $earlier ]]; then
            record "wasbuild-$n" "$earlier" scan --filter 2 -j 1 --items "$work/lists/miss-$n.txt" "$one"
            record "waswhole-$n" "$earlier" scan --filter 2 -j 1 --items "$work/lists/miss-$n.txt" "$work/pile1"
        fi
    done
done
size_table() { # prefix of the keys ("" or "was"), heading
    local first="" n bw bc ww wc search slope fn fc
    echo
    echo "The list's size ($2): lists that no file holds, one thread; median of $runs rounds."
    printf '%9s  %-17s %-17s %-14s %s\n' items "build (1 file)" "scan 1x pile" "scan - build" "cpu per 1,000 items past the first list"
    for n in $sizes; do
        [[ -f $work/lists/miss-$n.txt ]] || continue
        read -r bw bc < <(med "${1}build-$n")
        read -r ww wc < <(med "${1}whole-$n")
        search=$(awk -v a="$wc" -v b="$bc" 'BEGIN { printf "%.3f", a - b }')
        if [[ -z $first ]]; then
            first="$n $wc"
            slope=-
        else
            read -r fn fc <<<"$first"
            slope=$(awk -v n="$n" -v c="$wc" -v fn="$fn" -v fc="$fc" 'BEGIN { printf "%.4f", (c - fc) / (n - fn) * 1000 }')
        fi
        printf '%9s  %6s (%6s)   %6s (%6s)   %8s       %s\n' "$n" "$bc" "$bw" "$wc" "$ww" "$search" "$slope"
    done
}
[[ -z $earlier ]] || size_table was "the earlier build"
size_table "" "this build"
echo "(cpu s (wall s); scan - build: processor seconds of the search alone)"
