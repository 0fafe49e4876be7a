# Sourced by junkloupe-parallel.sh and junkloupe-slurm.sh: the junkloupe-cli
# options that follow the command, each handed to every part of the work.
# The sourcing script sets command (hits or scan), reader (what runs a part:
# job, task), names_come (where the names come from instead) and format and
# null (before the command's options), and defines fail MESSAGE [usage].

# The long option of hits and scan that --$1 stands for (a unique start of
# one will do, as for junkloupe-cli), or nothing.
long_option() {
    local name found=()
    for name in filter decode items recursive dereference-recursive files-from null format threads help version; do
        [[ $name == "$1" ]] && { echo "$name"; return; }
        [[ $name == "$1"* ]] && found+=("$name")
    done
    ((${#found[@]} != 1)) || echo "${found[0]}"
}

# The CLI-OPTIONs given after the command, into args: every $reader gets
# them, so what would make each one read more than its part (a PATH, a list
# of names, standard input) is refused; --format and -0 say what the result
# is to be (the parts are tsv and NUL-ended whatever they say), in format
# and null.
take_cli_options() {
    local arg name value c k from_next
    local own=$names_come
    args=()
    while (($#)); do
        arg=$1
        shift
        from_next=
        case $arg in
        --)
            (($# == 0)) || fail "'$1' after the command would be read by every $reader: $own" usage
            ;;
        --?*)
            name=${arg%%=*}
            name=$(long_option "${name:2}")
            # What it does is not known here, so neither is what follows it.
            [[ -n $name ]] ||
                fail "'$arg' after the command is no option of $command, or the start of several" usage
            value=${arg#*=}
            if [[ $arg != *=* && $name == @(filter|items|files-from|format|threads) ]]; then
                value=${1-}
                from_next=1
            fi
            case $name in
            files-from) fail "'$arg' after the command: $own" usage ;;
            help | version) fail "'$arg' after the command: ask junkloupe-cli itself" usage ;;
            items) [[ $value != - ]] || fail "the ${reader}s cannot read the items from standard input" usage ;;
            null) null=1 ;;
            format)
                if [[ $command == hits ]]; then
                    format=$value
                    [[ -z $from_next ]] || shift
                    continue
                fi
                ;;
            esac
            ;;
        -?*)
            for ((k = 1; k < ${#arg}; k++)); do
                c=${arg:k:1}
                case $c in
                T) fail "'-T' after the command: $own" usage ;;
                h | V) fail "'-$c' after the command: ask junkloupe-cli itself" usage ;;
                0) null=1 ;;
                f | i | j)
                    value=${arg:k+1}
                    [[ -n $value ]] || { value=${1-}; from_next=1; }
                    [[ $c != i || $value != - ]] ||
                        fail "the ${reader}s cannot read the items from standard input" usage
                    break
                    ;;
                esac
            done
            ;;
        *) fail "'$arg' after the command would be read by every $reader: $own" usage ;;
        esac
        args+=("$arg")
        if [[ -n $from_next ]] && (($#)); then
            args+=("$1")
            shift
        fi
    done
}
