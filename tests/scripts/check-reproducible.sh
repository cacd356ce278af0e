#!/usr/bin/env bash
# Writes every kind of file kdb2mid makes twice and compares the two byte for
# byte (cmp on every file): the same songs with the same options must give the
# same bytes on every run and every machine. The two runs differ in all that
# must not matter: the output folder and the folder they start in, the time
# (seconds apart), the time zone (UTC and UTC+14), the locale, the number of
# songs converted at once (-j 1 and -j 2, which also changes how many threads
# each video's encoder gets) and, in neither, SOURCE_DATE_EPOCH or any other
# variable but PATH, HOME, TZ and LC_ALL.
#
# Covered: .mid, .kar, .lrc, .ass, chorus .mp3, every audio format, --stems
# files, UltraStar folders (with and without --stems), .mp4 (one sound track
# and, with --stems, two), MP3+G .cdg/.mp3/.zip, the song book as PDF and
# HTML, names, chorus-index, list --json, info --json and search. Outputs
# this build lacks (no audio, video or CD+G) are left out and said so.
#
#   tests/scripts/check-reproducible.sh BUILD_DIR [SOUNDFONT]
set -euo pipefail

build=$(cd "${1:?usage: check-reproducible.sh BUILD_DIR [SOUNDFONT]}" && pwd)
soundfont=${2:-/usr/share/sounds/sf2/TimGM6mb.sf2}
cd "$(dirname "$0")/../.."
db=$PWD/examples/sample-db
kdb2mid=$build/kdb2mid
[ -x "$kdb2mid" ] || { echo "$kdb2mid is not built" >&2; exit 2; }
# Two short songs, one with Vietnamese lyrics; a third for the extra formats'
# cheap runs would add time and nothing new.
songs=(50004 50005)

help=$("$kdb2mid" convert --help)
has() { grep -q -- "$1" <<<"$help"; }
audio=no video=no cdg=no mp3=no
if has '--audio '; then
    [ -f "$soundfont" ] || { echo "$soundfont missing (apt-get install timgm6mb-soundfont)" >&2; exit 1; }
    audio=yes
    has '|mp3' && mp3=yes
    has '--video ' && video=yes
    has '--cdg ' && cdg=yes
fi
echo "outputs with audio: $audio, video: $video, MP3+G: $cdg, mp3: $mp3"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME TZ LOCALE JOBS: every output of the songs into $work/NAME/out,
# started from a folder of its own, in an environment holding only these.
run() {
    local home=$work/$1 out=$work/$1/out
    local -a clean=(env -i "PATH=$PATH" "HOME=$home" "TZ=$2" "LC_ALL=$3")
    local -a convert=("$kdb2mid" convert "${songs[@]}" -C "$db" -q -j "$4")
    mkdir -p "$home/start" "$out"
    cd "$home/start"
    "${clean[@]}" "${convert[@]}" -o "$out/text" --kar --lrc --ass
    "${clean[@]}" "${convert[@]}" -o "$out/vni" --lyrics vni --lrc
    if [ $audio = yes ]; then
        local -a sound=(--soundfont "$soundfont")
        local -a more=()
        [ $video = yes ] && more+=(--video --video-size 320x240)
        [ $cdg = yes ] && more+=(--cdg --cdg-zip)
        # One render each song for the Ogg file, the game folder, the video and MP3+G.
        "${clean[@]}" "${convert[@]}" -o "$out/ogg" "${sound[@]}" --audio ogg --ultrastar "${more[@]}"
        # The split song: three audio files, the game's two, the video's two tracks.
        local -a split=(--audio flac --stems --ultrastar)
        [ $video = yes ] && split+=(--video --video-size 320x240)
        "${clean[@]}" "${convert[@]}" -o "$out/stems" "${sound[@]}" "${split[@]}"
        local format
        local -a formats=(wav opus)
        [ $mp3 = yes ] && formats+=(mp3)
        for format in "${formats[@]}"; do
            "${clean[@]}" "${convert[@]}" -o "$out/$format" "${sound[@]}" --audio "$format"
        done
    fi
    "${clean[@]}" "$kdb2mid" songbook -C "$db" -o "$out/book.pdf"
    "${clean[@]}" "$kdb2mid" songbook -C "$db" -o "$out/book.html"
    "${clean[@]}" "$kdb2mid" names -C "$db" -o "$out/names" >/dev/null
    "${clean[@]}" "$kdb2mid" chorus-index -C "$db" -o "$out/chorus" >/dev/null
    "${clean[@]}" "$kdb2mid" list -C "$db" --json >"$out/list.json"
    local song
    for song in "${songs[@]}"; do
        "${clean[@]}" "$kdb2mid" info "$song" -C "$db" --json >"$out/info-$song.json"
    done
    "${clean[@]}" "$kdb2mid" search -C "$db" trong >"$out/search.txt"
    cd - >/dev/null
}

start=$SECONDS
run first UTC C 1
run second/elsewhere Pacific/Kiritimati C.UTF-8 2

first=$work/first/out
second=$work/second/elsewhere/out
(cd "$first" && find . -type f | LC_ALL=C sort) >"$work/first.txt"
(cd "$second" && find . -type f | LC_ALL=C sort) >"$work/second.txt"
if ! diff "$work/first.txt" "$work/second.txt"; then
    echo "check-reproducible: the two runs wrote different files (above)" >&2
    exit 1
fi
status=0
while read -r file; do
    if ! cmp -s "$first/$file" "$second/$file"; then
        echo "check-reproducible: ${file#./} differs: $(cmp "$first/$file" "$second/$file" | head -n 1)" >&2
        status=1
    fi
done <"$work/first.txt"
[ $status = 0 ] || exit 1
kinds=$(sed -n 's/.*\.\([a-z0-9]*\)$/\1/p' "$work/first.txt" | LC_ALL=C sort -u | paste -sd ' ')
echo "reproducible: $(wc -l <"$work/first.txt") files the same in two runs ($kinds), $((SECONDS - start)) s"
