# Shared by the shell benchmarks (sourced, not run).
#
# median_time CMD...: runs CMD $runs times and prints the median wall time and
# the median processor time (user + system of CMD and all it starts), in
# seconds, to three places. Standard input comes from $time_input and
# standard output goes to $time_output (both /dev/null unless set); standard
# error is dropped. On a busy machine the processor time is the steadier
# figure.

now() { date +%s%N; }

median_time() {
    local walls=() cpus=() start end cpu i
    for ((i = 0; i < runs; i++)); do
        start=$(now)
        cpu=$( ("$@" <"${time_input:-/dev/null}" >"${time_output:-/dev/null}" 2>/dev/null || true
            times) | tail -1 |
            sed 's/m/ /g; s/s//g' | awk '{ printf "%d", ($1 * 60 + $2 + $3 * 60 + $4) * 1e3 }')
        end=$(now)
        walls+=($((end - start)))
        cpus+=("$cpu")
    done
    local wall cpu_median
    wall=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    cpu_median=$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    awk -v w="$wall" -v c="$cpu_median" 'BEGIN { printf "%.3f %.3f\n", w / 1e9, c / 1e3 }'
}
