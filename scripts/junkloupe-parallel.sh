#!/usr/bin/env bash
# junkloupe-cli hits or scan over a pile of message files bigger than one
# process or one machine: a map step with GNU parallel (local job slots, or
# hosts reached over ssh) and, for hits, the sum of the partial counts.
#
#   find PILE -type f -print0 |
#       scripts/junkloupe-parallel.sh [OPTION]... hits|scan CLI-OPTION...
#
# The names of the files come on standard input, NUL-separated. Each block of
# them goes to one `junkloupe-cli hits|scan CLI-OPTION... -0 --files-from -`;
# the CLI-OPTIONs (--items, --filter, ...) go to every run unchanged, so a
# PATH, --files-from or --items - there is refused (every run would read it).
#   hits  every run prints its counts as tsv and `junkloupe-cli sum` adds them
#         up, so the result is byte for byte what one hits run over all the
#         names prints.
#   scan  the files without items, the blocks' lists one after the other in
#         the order of the names, as one scan of all the names prints them:
#         one per line, or ended by NUL with -0.
#
# OPTIONs:
#   -j, --jobs SLOTS         jobs at a time on each host (default: one per
#                            processor)
#   -S, --sshloginfile FILE  the hosts to run on (GNU parallel's
#                            --sshloginfile; ":" stands for this machine)
#   -n, --names N            names per job (default 5000)
#       --format FORMAT      the form of the summed hits: text (default),
#                            tsv or json
#   -0, --null               scan: end each file printed with NUL
# Every host needs junkloupe-cli on its PATH (JUNKLOUPE_CLI names another
# program) and must reach the message files and the items file under the
# same names, as on shared storage.
#
# Exit status as junkloupe-cli's: scan 0 when a file was printed, 1 when
# none, 2 on trouble (some run could not read an input, or failed); hits 0,
# or 2 on trouble. The counts and lists of the other runs are printed all the
# same.
set -euo pipefail

me=junkloupe-parallel
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }
fail() {
    echo "$me: $1" >&2
    echo "Try '$0 --help' for more information." >&2
    exit 2
}

cli=${JUNKLOUPE_CLI:-junkloupe-cli}
slots=100%
names=5000
format=text
null=
hosts=()
command=
while (($#)); do
    case $1 in
    -j | --jobs) (($# > 1)) || fail "$1 needs a value"; slots=$2; shift 2 ;;
    -S | --sshloginfile) (($# > 1)) || fail "$1 needs a value"; hosts=(--sshloginfile "$2"); shift 2 ;;
    -n | --names) (($# > 1)) || fail "$1 needs a value"; names=$2; shift 2 ;;
    --format) (($# > 1)) || fail "$1 needs a value"; format=$2; shift 2 ;;
    --format=*) format=${1#*=}; shift ;;
    -0 | --null) null=1; shift ;;
    -h | --help) usage; exit 0 ;;
    hits | scan) command=$1; shift; break ;;
    *) fail "unknown option or command '$1'" ;;
    esac
done
[[ -n $command ]] || fail "no command given (hits or scan)"
. "$(dirname "${BASH_SOURCE[0]}")/cli_options.sh"
reader=job
names_come="the names come on standard input"
take_cli_options "$@"
set -- "${args[@]}"
[[ $names =~ ^[1-9][0-9]*$ ]] || fail "the names per job must be a positive number, not '$names'"
case $format in text | tsv | json) ;; *) fail "invalid format '$format' (text, tsv or json)" ;; esac
command -v parallel >/dev/null || { echo "$me: GNU parallel is not installed (Debian package parallel)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/$me.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The map step: one run per block of names, their outputs whole and in the
# order of the blocks (-k); every run's exit status lands in the job log.
map() {
    parallel --will-cite --pipe --recend '\0' -N "$names" -j "$slots" "${hosts[@]}" \
        --joblog "$work/jobs" -k -q "$cli" "$command" "$@" -0 --files-from -
}

# From the job log: "trouble" when a run failed, was killed or could not
# start, else "listed" when a scan run printed a file, else "none".
outcome() {
    [[ -f $work/jobs ]] || { echo none; return; }
    awk -F'\t' 'NR > 1 { if ($7 > 1 || $8 != 0) t = 1; else if ($7 == 0) l = 1 }
                END { print t ? "trouble" : l ? "listed" : "none" }' "$work/jobs"
}

status=0
if [[ $command == hits ]]; then
    map "$@" --format tsv >"$work/parts" || true
    if [[ ! -f $work/jobs || $(wc -l <"$work/jobs") -le 1 ]]; then
        # No names, no run: the counts of no files.
        "$cli" hits "$@" --format tsv --files-from /dev/null >"$work/parts" || status=2
    fi
    [[ $(outcome) == trouble ]] && status=2
    "$cli" sum --format "$format" "$work/parts" || exit 2
elif [[ -n $null ]]; then
    map "$@" || true
else
    # The runs read NUL-separated names and so print NUL-ended ones.
    map "$@" | tr '\0' '\n' || true
fi
if [[ $command == scan ]]; then
    case $(outcome) in
    trouble) status=2 ;;
    none) status=1 ;;
    esac
fi
exit "$status"
