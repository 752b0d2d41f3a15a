# bash completion for quorlan-bench
_quorlan_bench() {
    local cur prev command word i
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="write read multi-write multi-read mixed compare"
    local options="--size --unit --fill --repeats --length --no-cache --verbose --random --sizes --json --csv --markdown --help --version"

    case $prev in
        --unit) COMPREPLY=($(compgen -W "KB MB GB" -- "$cur")); return ;;
        --fill) COMPREPLY=($(compgen -W "0x00 0x88 0x1A 0x41" -- "$cur")); return ;;
        --json|--csv) COMPREPLY=($(compgen -f -- "$cur")); compopt -o filenames; return ;;
        --size|--repeats|--length|--sizes) return ;;
    esac

    # The command is the first word that is not an option or an option's value.
    command=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --) break ;;
            --size|--unit|--fill|--repeats|--length|--sizes|--json|--csv) ((i++)) ;;
            -*) ;;
            *) command=$word; break ;;
        esac
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    elif [[ $command == write || $command == read || $command == compare ]]; then
        COMPREPLY=($(compgen -f -- "$cur")); compopt -o filenames
    else
        COMPREPLY=($(compgen -d -- "$cur")); compopt -o filenames
    fi
}
complete -F _quorlan_bench quorlan-bench
