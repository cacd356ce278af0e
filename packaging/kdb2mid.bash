# bash completion for kdb2mid                                  -*- shell-script -*-
# Works with the bash-completion package's helpers when they are loaded, and
# with plain compgen when they are not.

# Completes folders, or with "soundfont" also SoundFont files (.sf2, .sf3),
# with "image" also pictures a video background can be made of.
_kdb2mid_files()
{
    local extensions=""
    case $1 in
        soundfont) extensions="sf2|sf3" ;;
        image) extensions="png|jpg|jpeg|bmp|webp" ;;
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

    local commands="convert info list search names chorus-index legacy"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            convert | info | list | search | names | chorus-index | legacy)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $prev in
        -C | --database | -o | --output | --root)
            _kdb2mid_files
            return
            ;;
        --soundfont)
            _kdb2mid_files soundfont
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
        -j | --jobs | --range | --transpose | --tempo | --shard | --name | --limit)
            return
            ;;
    esac

    local options
    case $command in
        "")
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
            else
                COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            fi
            return
            ;;
        convert)
            options="--all --range --database --output --jobs --quiet --lyrics --kar --lrc --ass
                --transpose --tempo --audio --soundfont --loudness --ultrastar --cdg --cdg-zip
                --mute-melody --stems --video --video-size --background --resume --shard --name --help"
            ;;
        info) options="--database --json --help" ;;
        list) options="--database --json --help" ;;
        search) options="--database --limit --help" ;;
        names | chorus-index) options="--database --output --help" ;;
        legacy) options="--database --root --output --help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
} &&
    complete -F _kdb2mid kdb2mid

# ex: filetype=sh
