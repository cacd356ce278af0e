#!/usr/bin/env bash
# Prints one hash per file kdb2mid writes, and per line it prints, for the
# option combinations CI runs, so two builds can be compared:
#
#   tests/scripts/compare-outputs.sh BUILD_DIR [SONGS] > before.txt
#   ... change the code, rebuild ...
#   tests/scripts/compare-outputs.sh BUILD_DIR [SONGS] > after.txt
#   diff before.txt after.txt
#
# KDB2MID_COMPARE=large runs only the generated database's part.
# It converts the sample database, a database of songs whose tempo changes
# often, and a generated database of SONGS synthetic songs (default 3000;
# 0 skips it). Sound is hashed as the PCM ffmpeg decodes (md5 muxer; bytes
# when ffmpeg cannot decode it, like a stored chorus recording), videos
# as ffmpeg's decoded frames (framemd5 of every stream), everything else
# (MIDI, .kar, LRC, ASS, UltraStar, JSON, CD+G, zip, text printed) byte for
# byte. The generated database is made by bench/make_large_database
# (BUILD_DIR/make_large_database, or compiled here against BUILD_DIR's
# libraries). BUILD_DIR may also be a folder holding copies of kdb2mid,
# kdb2mid-video.so (without it videos are refused alike in both runs),
# kdb2mid_write_lyric_files and make_large_database, to keep a baseline.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
build=$(cd "${1:?usage: $0 BUILD_DIR [SONGS]}" && pwd)
songs=${2:-3000}
soundfont=${KDB2MID_SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}
tool=$build/kdb2mid
[ -x "$tool" ] || { echo "$tool is not built" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sample=$root/examples/sample-db

# hash FILE: the content's hash as the comparison sees it.
hash() {
    case $1 in
        *.wav | *.flac | *.ogg | *.opus | *.mp3 | *.m4a)
            # The chorus recordings are copied as stored, not always decodable.
            local pcm
            if pcm=$(ffmpeg -nostdin -v error -xerror -i "$1" -map 0:a -f md5 - 2>/dev/null); then
                echo "pcm ${pcm#MD5=}"
            else
                echo "bytes $(md5sum <"$1" | cut -d' ' -f1)"
            fi ;;
        *.mp4 | *.mkv)
            ffmpeg -nostdin -v error -i "$1" -map 0 -f framemd5 - | md5sum | cut -d' ' -f1 ;;
        *) md5sum <"$1" | cut -d' ' -f1 ;;
    esac
}

# printed FILE: the hash of what a command printed, its scratch folder's
# name (which differs from run to run) taken out.
printed() { sed "s|$work|WORK|g; s|$root|ROOT|g" "$1" | md5sum | cut -d' ' -f1; }

# convert CASE DB ARGS...: converts into a folder of its own and prints its files' hashes.
convert() {
    local name=$1 db=$2
    shift 2
    local out=$work/$name
    mkdir -p "$out"
    local status=0
    nice "$tool" convert -C "$db" -o "$out" "$@" >"$work/$name.stdout" 2>"$work/$name.stderr" || status=$?
    echo "$name: exit $status, stdout $(printed "$work/$name.stdout"), stderr $(printed "$work/$name.stderr")"
    (cd "$out" && find . -type f ! -name '.*' | LC_ALL=C sort) | while read -r file; do
        echo "$name/${file#./} $(hash "$out/$file")"
    done
    rm -rf "$out"
}

# run CASE ARGS...: a command's exit status, standard output and error.
run() {
    local name=$1
    shift
    local status=0
    "$tool" "$@" >"$work/out" 2>"$work/err" || status=$?
    echo "$name: exit $status, stdout $(printed "$work/out"), stderr $(printed "$work/err")"
}

sf=(--soundfont "$soundfont")

# KDB2MID_COMPARE=large: only the generated database's part.
if [ "${KDB2MID_COMPARE:-}" != large ]; then

# What CI converts from the sample database.
convert sample-midi "$sample" --all -q
convert sample-kar-lrc "$sample" --all -q --kar --lrc
convert sample-utf8 "$sample" --all -q --lyrics utf8 --lrc --ass --kar
convert sample-tempo "$sample" 50005 -q --ass --lrc --tempo 30
convert sample-transpose "$sample" --all -q --transpose=-3 --tempo 120 --lrc --mute-melody
convert sample-ultrastar "$sample" --all -q --ultrastar
for format in wav flac ogg opus mp3; do
    convert "sample-audio-$format" "$sample" 50004 -q --audio "$format" "${sf[@]}"
done
convert sample-audio-all "$sample" --all -q --audio flac "${sf[@]}"
convert sample-loudness-off "$sample" 50003 -q --audio wav --loudness off "${sf[@]}"
convert sample-video "$sample" 50004 -q --video --video-size 640x360 --ass --lrc --audio wav "${sf[@]}"
convert sample-video-stems "$sample" 50004 -q --video --stems "${sf[@]}"
convert sample-ultrastar-stems "$sample" --all -q --ultrastar --audio flac --stems "${sf[@]}"
convert sample-cdg "$sample" 50005 -q --cdg --lrc --audio wav "${sf[@]}"
convert sample-cdg-zip "$sample" 50005 -q --cdg-zip "${sf[@]}"
convert sample-cluster "$sample" --all -q --audio wav --lrc "${sf[@]}"
convert sample-summary "$sample" --all --kar
convert sample-resume "$sample" --all -q --resume --lrc

# What the command line prints: help, lists, facts, searches and refusals.
run help --help
run version --version
run list-commands --list-commands
for command in $("$tool" --list-commands); do
    run "help-$command" "$command" --help
    run "options-$command" --list-options "$command"
done
run list-json list --json -C "$sample"
run list-text list -C "$sample"
for song in 50001 50002 50003 50004 50005 21090 99999; do
    run "info-$song" info "$song" -C "$sample"
    run "info-json-$song" info "$song" --json -C "$sample"
done
run search-found search anh -C "$sample"
run search-none search zzzzzz -C "$sample"
run refuse-no-command
run refuse-unknown-command convrt
run refuse-unknown-option convert --vidoe -C "$sample"
run refuse-transpose convert 50001 --transpose 40 -C "$sample" -o "$work/x"
run refuse-tempo convert 50001 --tempo 5 -C "$sample" -o "$work/x"
run refuse-audio convert 50001 --audio aiff -C "$sample" -o "$work/x"
run refuse-video-size convert 50001 --video --video-size 3x3 -C "$sample" -o "$work/x"
run refuse-background convert 50001 --video --background nowhere.png -C "$sample" -o "$work/x"
run refuse-loudness convert 50001 --audio wav --loudness loud -C "$sample" -o "$work/x"
run refuse-stems-alone convert 50001 --stems -C "$sample" -o "$work/x"
run refuse-range convert --range 9-1 -C "$sample" -o "$work/x"
run refuse-shard convert --all --shard 3/2 -C "$sample" -o "$work/x"
run refuse-no-db convert 50001 -C "$work/none" -o "$work/x"
run refuse-lyrics convert 50001 --lyrics latin9 -C "$sample" -o "$work/x"
run refuse-soundfont convert 50001 --audio wav --soundfont "$work/none.sf2" -C "$sample" -o "$work/x"
run refuse-info-song info 123 -C "$sample"
rm -rf "$work/x"
for command in names chorus-index legacy; do
    mkdir -p "$work/$command"
    run "export-$command" "$command" -C "$sample" -o "$work/$command"
    (cd "$work/$command" && find . -type f | LC_ALL=C sort) | while read -r file; do
        echo "export-$command/${file#./} $(hash "$work/$command/$file")"
    done
done

# Songs whose tempo changes often, in several tracks.
if [ -x "$build/kdb2mid_write_lyric_files" ]; then
    "$build/kdb2mid_write_lyric_files" make-tempo-db "$work/tempo-source" >/dev/null
    convert tempo-db "$work/tempo-source" --all -q --lyrics utf8 --lrc --ass --kar --ultrastar
fi

fi

[ "$songs" -gt 0 ] || exit 0

# The generated database: the outputs without sound for every song; sound
# (UltraStar renders it too), video and CD+G for a handful.
maker=$build/bench/make_large_database
[ -x "$maker" ] || maker=$build/make_large_database
if [ ! -x "$maker" ]; then
    maker=$work/make_large_database
    c++ -std=c++20 -O1 -I"$root/examples" -I"$root/src" "$root/bench/make_large_database.cpp" \
        -o "$maker" "$build/examples/libkdb2mid_sample.a" "$build"/src/*/libkdb2mid_*.a \
        "$build/examples/libkdb2mid_sample.a" "$build"/src/*/libkdb2mid_*.a
fi
large=$work/large-db
mkdir -p "$large"
"$maker" "$large" "$songs"
convert large-text "$large" --all -q --kar --lrc --ass
convert large-utf8 "$large" --all -q --lyrics utf8 --lrc
run large-list-json list --json -C "$large"
for song in 21090 21100 22000 24000; do
    run "large-info-json-$song" info "$song" --json -C "$large"
done
first=21090
convert large-audio "$large" --range $first-$((first + 1)) -q --audio flac --ultrastar "${sf[@]}"
convert large-cdg "$large" $first -q --cdg-zip --cdg "${sf[@]}"
convert large-video "$large" $first -q --video --video-size 320x240 "${sf[@]}"
