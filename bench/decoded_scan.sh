#!/usr/bin/env bash
# Times `junkloupe-cli scan --decode` against `junkloupe-cli scan` over every
# message of the shared corpus, with 1,000 and 10,000 items, under the view
# filter "all printable text" (the body is where decoding matters). Prints the
# median of 5 runs of each and the ratio (aim: decoding costs at most 3 times
# the raw scan), then how many messages read differently decoded: whose
# decoded view (view -d -f2) is not their raw view (view -f2).
#
#   bench/decoded_scan.sh [BUILD_DIR]     (default: build-rel beside this script's parent)
#
# Build BUILD_DIR as Release first (cmake -DCMAKE_BUILD_TYPE=Release).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
cli=$build/bin/junkloupe-cli
corpus=${JUNKLOUPE_CORPUS_DIR:-$root/../shared/corpus}
runs=5

[[ -x $cli ]] || { echo "no $cli: build the command-line program first" >&2; exit 2; }
[[ -f $corpus/MANIFEST.tsv ]] || { echo "no corpus at $corpus" >&2; exit 2; }

work=$(mktemp -d /tmp/junkloupe-decoded-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The messages the manifest names, as NUL-separated names for --files-from.
tail -n +2 "$corpus/MANIFEST.tsv" | cut -f1 | sed "s|^|$corpus/|" | tr '\n' '\0' >"$work/names"
files=$(tr -cd '\0' <"$work/names" | wc -c)
echo "corpus: $files messages"
xargs -0 cat <"$work/names" >/dev/null # warm the page cache

. "$(dirname "$0")/timing.sh"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
for size in 1000 10000; do
    items=$corpus/items/items-$size.txt
    time_input=$work/names
    read -r t_raw c_raw < <(median_time "$cli" scan -f2 -i "$items" -0 -T-)
    read -r t_dec c_dec < <(median_time "$cli" scan -d -f2 -i "$items" -0 -T-)
    time_input=
    echo "== $size items"
    echo "scan:    ${t_raw} s wall, ${c_raw} s processor"
    echo "scan -d: ${t_dec} s wall, ${c_dec} s processor"
    echo "ratio scan -d / scan: $(ratio "$t_dec" "$t_raw") wall, $(ratio "$c_dec" "$c_raw") processor"
done

# Which messages read differently decoded.
differ=0
while IFS= read -r -d '' name; do
    if ! cmp -s <("$cli" view -f2 "$name" 2>/dev/null) <("$cli" view -d -f2 "$name" 2>/dev/null); then
        differ=$((differ + 1))
    fi
done <"$work/names"
echo "== messages whose decoded view differs from the raw view: $differ of $files" \
    "($(awk -v a="$differ" -v b="$files" 'BEGIN { printf "%.1f", 100 * a / b }') %)"
