# Bash completion for lumivex-pack: its two commands, then folders (images in, catalogue out).

_lumivex_pack()
{
    local cur prev words cword
    _init_completion || return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--help -h --help-all' -- "$cur"))
    elif ((cword == 1)); then
        COMPREPLY=($(compgen -W 'pack list' -- "$cur"))
    elif [[ ${words[1]} == pack && cword -le 3 || ${words[1]} == list && cword -eq 2 ]]; then
        _filedir -d
    fi
} &&
    complete -F _lumivex_pack lumivex-pack
