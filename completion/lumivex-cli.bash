# Bash completion for lumivex-cli: its commands, the options each command takes, device ids for
# --device, folders for --backup and files for dump and restore.

_lumivex_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --device)
            # The ids alone: listing them opens no camera, so pressing Tab never disturbs a run.
            local ids
            ids=$("$1" list --ids 2>/dev/null)
            COMPREPLY=($(compgen -W "$ids" -- "$cur"))
            return
            ;;
        --backup)
            _filedir -d
            return
            ;;
        --jobs)
            return
            ;;
    esac
    $split && return

    # The command is the first word that is neither an option nor an option's value.
    local i command=
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --device | --jobs | --backup) ((i++)) ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    # What each command accepts, as the command table of cli/clioptions.cpp has it.
    local options
    case $command in
        '') options='--help -h --version' ;;
        list) options='--verify --ids' ;;
        update) options='--device --all --jobs --backup --yes -y --allow-older --reinstall' ;;
        verify) options='--device --all' ;;
        dump) options='--device' ;;
        restore) options='--device --force --yes -y' ;;
        history) options= ;;
        *) return ;;
    esac
    [[ -n $command ]] && options+=' --json --verbose -v'

    if [[ -z $command && $cur != -* ]]; then
        COMPREPLY=($(compgen -W 'list update verify dump restore history' -- "$cur"))
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command == dump || $command == restore ]]; then
        _filedir
    fi
} &&
    complete -F _lumivex_cli lumivex-cli
