# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for corvane-shred. Paths are left to bash's own file completion (-o default),
# which also takes every word after "--".

_corvane_shred()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} i
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && return
    done
    # With "=" among COMP_WORDBREAKS (the default), "--method=2" arrives as three words.
    [[ $prev == = && COMP_CWORD -ge 2 ]] && prev=${COMP_WORDS[COMP_CWORD - 2]}
    case $prev in
        -m | --method | --meth | --metho)
            mapfile -t COMPREPLY < <(compgen -W '1 2 3' -- "$cur")
            return
            ;;
    esac
    case $cur in
        --method=*)
            mapfile -t COMPREPLY < <(compgen -W '1 2 3' -- "${cur#*=}")
            ;;
        -*)
            mapfile -t COMPREPLY < <(compgen -W '--method= --verify --force --dry-run
                --files0-from= --verbose --quiet --help --version --' -- "$cur")
            [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
            ;;
    esac
}
complete -o default -F _corvane_shred corvane-shred
