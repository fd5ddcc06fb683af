# bash completion for morvel-smsctl
_morvel_smsctl_ports()
{
    local ports
    ports=$(morvel-smsctl ports 2>/dev/null | cut -f1)
    COMPREPLY+=($(compgen -W "auto $ports" -- "$cur"))
}

_morvel_smsctl()
{
    local cur prev words cword
    _init_completion || return

    local command i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W 'ports read write set diff defaults doctor --json --help --version' -- "$cur"))
        return
    fi
    if [[ $prev == @(-o|--output) ]]; then
        _filedir toml
        [[ $command == read ]] && _filedir -d
        return
    fi

    # The operands before the current word, options left out.
    local operands=0
    for ((i = i + 1; i < cword; i++)); do
        [[ ${words[i]} == -* || ${words[i - 1]} == @(-o|--output) ]] || ((operands++))
    done
    case $command in
        read)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '-o --output' -- "$cur"))
            else
                _morvel_smsctl_ports
                ((operands == 0)) && _filedir
            fi
            ;;
        write)
            # PORT... FILE: every operand may be a port, the last one is the file.
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--verify' -- "$cur"))
            else
                ((operands == 0)) && _filedir
                _morvel_smsctl_ports
                ((operands >= 1)) && _filedir toml
            fi
            ;;
        set)
            if ((operands == 0)); then
                _morvel_smsctl_ports
                _filedir
            elif [[ $cur != *=* ]]; then
                local keys
                keys=$(morvel-smsctl defaults 2>/dev/null | sed -n 's/^\([a-z_0-9.]*\) = .*/\1=/p')
                compopt -o nospace 2>/dev/null
                COMPREPLY=($(compgen -W "$keys" -- "$cur"))
            fi
            ;;
        diff)
            if ((operands < 2)); then
                _morvel_smsctl_ports
                _filedir toml
            fi
            ;;
        defaults)
            [[ $cur == -* ]] && COMPREPLY=($(compgen -W '-o --output' -- "$cur"))
            ;;
        doctor)
            if ((operands == 0)); then
                local ports
                ports=$(morvel-smsctl ports 2>/dev/null | cut -f1)
                COMPREPLY=($(compgen -W "$ports" -- "$cur"))
                _filedir
            fi
            ;;
    esac
} &&
    complete -F _morvel_smsctl morvel-smsctl
