# bash completion for voxtool                                    -*- shell-script -*-
#
# A new command needs its name in _voxtool_commands and a case in _voxtool_spec.
#
# Word lists are split on purpose (file names split only at line ends, see IFS below).
# shellcheck disable=SC2206,SC2207

_voxtool_commands="info dump find search play play-comm play-file wav export import replace add levels
    verify compact history revert unpack pack settings"

# Sets options (the command's options), valued (those among them that take a value) and args
# (the kind of each positional argument, in order) for one command. Kinds: talk (a *.vox file),
# dir (a folder), wav (a wave file), sound (a take: WAV, FLAC, Ogg or AIFF), file (any file),
# kind (find's KIND), section and key (settings), and - (a number or free text: nothing to
# complete).
_voxtool_spec() {
    options="-h --help -q --quiet"
    valued=""
    case $1 in
        info | verify)
            options+=" --json"
            args="talk"
            ;;
        compact)
            options+=" --drop-history"
            args="talk"
            ;;
        history)
            options+=" --json"
            args="talk - -"
            ;;
        revert)
            options+=" --to"
            valued="--to"
            args="talk - -"
            ;;
        dump)
            options+=" --phrases --names --comm-names"
            valued="--phrases --names --comm-names"
            args="talk"
            ;;
        find)
            options+=" --json"
            args="kind talk -"
            ;;
        search)
            options+=" --json --phrases --names"
            valued="--phrases --names"
            args="talk -"
            ;;
        play | play-comm) args="talk - -" ;;
        play-file)
            options+=" --coded"
            args="sound"
            ;;
        wav) args="talk - - wav" ;;
        replace | add)
            options+=" --trim --normalize"
            args="talk - - sound"
            ;;
        levels)
            options+=" --json"
            args="talk"
            ;;
        export)
            options+=" --from --to --list"
            valued="--from --to --list"
            args="talk"
            ;;
        import) args="talk file" ;;
        unpack)
            options+=" --update --phrases --comm-names"
            valued="--phrases --comm-names"
            args="talk dir"
            ;;
        pack) args="dir dir" ;;
        settings)
            options+=" --if-empty"
            args="section key -"
            ;;
        *) args="" ;;
    esac
}

_voxtool_complete_files() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    case $1 in
        talk) COMPREPLY=($(compgen -d -- "$2") $(compgen -f -X '!*.vox' -- "$2")) ;;
        wav) COMPREPLY=($(compgen -d -- "$2") $(compgen -f -X '!*.[wW][aA][vV]' -- "$2")) ;;
        sound)
            # One pattern at a time: extglob may be off in the user's shell.
            COMPREPLY=($(compgen -d -- "$2"))
            local pattern
            for pattern in '[wW][aA][vV]' '[fF][lL][aA][cC]' '[oO][gG][gG]' '[oO][gG][aA]' \
                '[aA][iI][fF]' '[aA][iI][fF][fF]'; do
                COMPREPLY+=($(compgen -f -X "!*.$pattern" -- "$2"))
            done
            ;;
        dir) COMPREPLY=($(compgen -d -- "$2")) ;;
        file) COMPREPLY=($(compgen -f -- "$2")) ;;
    esac
}

_voxtool() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word != -* ]]; then
            command=$word
            break
        fi
    done
    COMPREPLY=()

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "-h --help --version -q --quiet" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$_voxtool_commands" -- "$cur"))
        fi
        return
    fi

    local options valued args
    _voxtool_spec "$command"

    # bash splits "--list=FILE" at the "=" into three words.
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    # The value of an option: only --list, --phrases, --names and --comm-names name files.
    if [[ " $valued " == *" $prev "* ]]; then
        case $prev in
            --list | --phrases | --names | --comm-names) _voxtool_complete_files file "$cur" ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # Which positional argument is being typed: count the words after the command that are
    # neither options nor option values.
    local position=0
    for ((i = i + 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word == -* ]]; then
            if [[ ${COMP_WORDS[i + 1]:-} == = ]]; then
                ((i += 2))
            elif [[ " $valued " == *" $word "* ]]; then
                ((i++))
            fi
            continue
        fi
        ((position++))
    done
    local kinds=($args)
    local kind=${kinds[position]:-}

    case $kind in
        talk | wav | sound | dir | file) _voxtool_complete_files "$kind" "$cur" ;;
        kind) COMPREPLY=($(compgen -W "frag-in-eval eval-in-comm frag-in-comm" -- "$cur")) ;;
        section) COMPREPLY=($(compgen -W "Data EvalNames" -- "$cur")) ;;
        key)
            case ${COMP_WORDS[COMP_CWORD - 1]} in
                Data) COMPREPLY=($(compgen -W "Phrases Comms" -- "$cur")) ;;
                EvalNames) COMPREPLY=($(compgen -W "MaxEvals" -- "$cur")) ;;
            esac
            ;;
    esac
}

complete -F _voxtool voxtool
