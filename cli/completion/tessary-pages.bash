# bash completion for tessary-pages. The commands and their arguments are read from
# `tessary-pages --help`, so that they are those of the program that runs.

_tessary_pages()
{
    local cur prev words cword
    _init_completion || return
    [[ $prev == --wait ]] && return # a number of seconds

    local help
    help=$("$1" --help 2>/dev/null) || return
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$(sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$help")" \
            -- "$cur"))
        return
    fi

    # The command's line of the help: its arguments in capitals, its own options in
    # brackets, then three spaces or more before what it does.
    local command=${words[1]} usage
    usage=$(sed -n "s/^  $command \\(.*\\)/\\1/p" <<<"$help" | sed 's/   .*//')
    if [[ $cur == -* ]]; then
        local options
        options=$(grep -o -- '--[a-z][a-z-]*' <<<"$usage")
        # Reading commands never wait for a lock.
        [[ $command == info || $command == render ]] || options+=" --wait"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # Which argument is being typed, the options and their values left out.
    local i position=0
    for ((i = 2; i < cword; i++)); do
        if [[ ${words[i]} == --wait ]]; then
            ((i++))
        elif [[ ${words[i]} != -* ]]; then
            ((position++))
        fi
    done
    local arguments=(${usage//\[*\]/})
    case ${arguments[position]} in
    [0-9]*'|'*) COMPREPLY=($(compgen -W "${arguments[position]//|/ }" -- "$cur")) ;; # one of these
    FILE | DEST | SRC) _filedir '@(tif|tiff|TIF|TIFF)' ;;
    *FILE | *.*) _filedir ;;
    esac # anything else is a number
}
complete -F _tessary_pages tessary-pages
