#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (address and undefined-behaviour
# sanitizers on) into build-fuzz/ and runs each for a bounded time from its
# seed corpus in fuzz/seeds/<target>/. The seeds are copied into a temporary
# working corpus, so runs never write into the project. A crash, a sanitizer
# report, a hang or a model mismatch fails the script; the input that caused
# it is kept in build-fuzz/artifacts/.
#
#   scripts/fuzz.sh                 every target, 60 s each
#   FUZZ_SECONDS=10 scripts/fuzz.sh reader ini
#   scripts/fuzz.sh --replay FILE TARGET   run one saved input again
set -euo pipefail
cd "$(dirname "$0")/.."

build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
all_targets=(reader mime colour list_file ini integers expansion)

# clang-14 and its runtime libraries (libFuzzer, sanitizers).
need=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Please run as root:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DJUNKLOUPE_FUZZ=ON -DJUNKLOUPE_BUILD_TESTS=OFF -DJUNKLOUPE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

if [ "${1:-}" = "--replay" ]; then
    exec "$build/fuzz/fuzz_$3" "$2"
fi

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

# Larger inputs where the unit works across pieces (the reader's chunks and
# its event pumps every 10,001 bytes).
max_len() {
    case "$1" in
        reader | mime) echo 12000 ;;
        *) echo 4096 ;;
    esac
}

artifacts="$build/artifacts"
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=()
summary=()
for t in "${targets[@]}"; do
    bin="$build/fuzz/fuzz_$t"
    [ -x "$bin" ] || { echo "no fuzz target $t" >&2; exit 2; }
    corpus="$work/$t"
    mkdir -p "$corpus"
    cp fuzz/seeds/"$t"/* "$corpus"/
    log="$work/$t.log"
    echo "== fuzz_$t for ${seconds} s"
    rc=0
    "$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len="$(max_len "$t")" \
        -print_final_stats=1 -artifact_prefix="$artifacts/$t-" "$corpus" >"$log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    if [ "$rc" -ne 0 ]; then
        failed+=("$t")
        summary+=("$(printf '%-10s FAILED (exit %s), see below' "$t" "$rc")")
        echo "---- fuzz_$t failed; last lines of its log:"
        tail -60 "$log"
        ls -1 "$artifacts"/"$t"-* 2>/dev/null | sed 's/^/  saved input: /'
    else
        summary+=("$(printf '%-10s %10s runs %7s/s  coverage %s' "$t" "${runs:-?}" "${rate:-?}" "${cov:-?}")")
    fi
done

echo "== fuzzing summary (${seconds} s per target)"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing FAILED: ${failed[*]} (replay with scripts/fuzz.sh --replay FILE TARGET)" >&2
    exit 1
fi
