# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for corvane: its options, then paths (bash's own file completion).

_corvane()
{
    local cur=${COMP_WORDS[COMP_CWORD]} i
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && return
    done
    [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W '--help --version --' -- "$cur")
}
complete -o default -F _corvane corvane
