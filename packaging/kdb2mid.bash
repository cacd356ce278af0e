# bash completion for kdb2mid                                  -*- shell-script -*-
# Works with the bash-completion package's helpers when they are loaded, and
# with plain compgen when they are not.

# Completes folders, or with "soundfont" also SoundFont files (.sf2, .sf3),
# with "image" also pictures a video background can be made of, with "book"
# also song books (.pdf, .html).
_kdb2mid_files()
{
    local extensions=""
    case $1 in
        soundfont) extensions="sf2|sf3" ;;
        image) extensions="png|jpg|jpeg|bmp|webp" ;;
        book) extensions="pdf|html|htm" ;;
        state) extensions="json" ;;
    esac
    if declare -F _filedir >/dev/null; then
        if [[ -n $extensions ]]; then
            _filedir "@($extensions|${extensions^^})"
        else
            _filedir -d
        fi
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=()
    local IFS=$'\n' name
    for name in $(compgen -f -- "$cur"); do
        if [[ -d $name ]] || [[ -n $extensions && ${name,,} == *.@($extensions) ]]; then
            COMPREPLY+=("$name")
        fi
    done
}

_kdb2mid()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
    fi

    # The tool names its own commands and each command's options, so these
    # lists follow the version installed.
    local tool=${words[0]:-kdb2mid}
    local commands
    commands=$("$tool" --list-commands 2>/dev/null) || return
    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ $'\n'$commands$'\n' == *$'\n'${words[i]}$'\n'* ]]; then
            command=${words[i]}
            break
        fi
    done

    case $prev in
        -o | --output)
            if [[ $command == songbook ]]; then
                _kdb2mid_files book
            else
                _kdb2mid_files
            fi
            return
            ;;
        -C | --database | --root)
            _kdb2mid_files
            return
            ;;
        --paper)
            COMPREPLY=($(compgen -W 'a4 letter' -- "$cur"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'pdf html' -- "$cur"))
            return
            ;;
        --by)
            COMPREPLY=($(compgen -W 'title,artist title,artist,number title number artist' -- "$cur"))
            return
            ;;
        --sort)
            COMPREPLY=($(compgen -W 'number title' -- "$cur"))
            return
            ;;
        --soundfont)
            _kdb2mid_files soundfont
            return
            ;;
        --state)
            _kdb2mid_files state
            return
            ;;
        --background)
            _kdb2mid_files image
            return
            ;;
        --video-size)
            COMPREPLY=($(compgen -W '1280x720 1920x1080 3840x2160 854x480 640x360' -- "$cur"))
            return
            ;;
        --lyrics)
            COMPREPLY=($(compgen -W 'utf8 vni' -- "$cur"))
            return
            ;;
        --audio)
            COMPREPLY=($(compgen -W 'wav flac ogg opus mp3' -- "$cur"))
            return
            ;;
        -j | --jobs | --range | --transpose | --tempo | --shard | --name | --limit | --title | --port | --listen | --pin)
            return
            ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi
    local options
    options=$("$tool" --list-options "$command" 2>/dev/null) || return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
} &&
    complete -F _kdb2mid kdb2mid

# ex: filetype=sh
