# bash completion for orvane-cli. The commands, the options and what each
# option takes are read from the program's own --help, so that new ones are
# completed without a change here.

# _orvane_cli_help SECTION: for "commands", their names; for "options", each
# option with what it takes ("--seed TEXT", "--full").
_orvane_cli_help()
{
    "${COMP_WORDS[0]}" --help 2>/dev/null | awk -v want="$1:" '
        /^[a-z]+:$/ { section = $0; next }
        section != want { next }
        want == "options:" && $1 ~ /^--?[a-z]/ { print $1, ($2 ~ /^[A-Z][A-Za-z\/]*$/ ? $2 : "") }
        want == "commands:" && /^  [a-z]/ { print $1 }'
}

_orvane_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local options
    options=$(_orvane_cli_help options)
    # The value of an option: a file, a folder or nothing to offer.
    local takes
    takes=$(awk -v o="$prev" '$1 == o { print $2 }' <<<"$options")
    case $takes in
        PATH|FILE) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        DIR) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        ?*) return ;;
    esac
    local i command=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -*) [ -n "$(awk -v o="${COMP_WORDS[i]}" '$1 == o { print $2 }' <<<"$options")" ] && ((i++)) ;;
            *) command=${COMP_WORDS[i]}; break ;;
        esac
    done
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(awk '{ print $1 }' <<<"$options")" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$(_orvane_cli_help commands)" -- "$cur"))
    elif [[ $command == merge ]]; then
        COMPREPLY=($(compgen -d -- "$cur"))
    fi
}
complete -F _orvane_cli orvane-cli
