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
        COMPREPLY=($(compgen -W 'ports read write diff defaults doctor --help --version' -- "$cur"))
        return
    fi
    if [[ $prev == @(-o|--output) ]]; then
        _filedir toml
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
            elif ((operands == 0)); then
                _morvel_smsctl_ports
                _filedir
            fi
            ;;
        write)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--verify' -- "$cur"))
            elif ((operands == 0)); then
                _morvel_smsctl_ports
                _filedir
            elif ((operands == 1)); then
                _filedir toml
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
