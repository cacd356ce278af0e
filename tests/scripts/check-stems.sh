#!/bin/sh
# `kdb2mid convert --stems` read back by FFmpeg's programs and the file
# system: a sample song's video holds two AAC tracks named "Karaoke" (the
# default) and "Guide melody", as long as each other and as loud as the
# instrumental and the full song written beside it; every UltraStar text
# of the sample database is format 1.1.0 and its #AUDIO, #INSTRUMENTAL and
# #VOCALS name files that exist beside it; the full song of a split render is
# still within 1 LU of -16 LUFS with its true peak at most -1 dBTP
# (ffmpeg's EBU R128 meter).
#
#   tests/scripts/check-stems.sh BUILD_DIR [SOUNDFONT]
#
# Exits 77 (skipped) when ffmpeg, ffprobe or the soundfont is missing, or the
# build has no video.
set -eu

build=$1
soundfont=${2:-/usr/share/sounds/sf2/TimGM6mb.sf2}
here=$(cd "$(dirname "$0")" && pwd)
for program in ffmpeg ffprobe; do
    command -v $program >/dev/null 2>&1 || { echo "$program missing: skipped"; exit 77; }
done
[ -f "$soundfont" ] || { echo "$soundfont missing: skipped"; exit 77; }
"$build/kdb2mid" convert --help | grep -q -- '--video ' || { echo "no video in this build: skipped"; exit 77; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
db=$here/../../examples/sample-db
status=0
fail() { echo "check-stems: $*"; status=1; }

# The video: two titled sound tracks, the instrumental first and chosen.
"$build/kdb2mid" convert 50004 -C "$db" -o "$out/video" -q --video --audio flac --stems \
    --soundfont "$soundfont"
tracks=$(ffprobe -v error -select_streams a \
    -show_entries stream=codec_name,channels,duration:stream_disposition=default:stream_tags=handler_name \
    -of csv=p=0 "$out/video/50004.mp4")
echo "$tracks"
[ "$(echo "$tracks" | wc -l)" -eq 2 ] || fail "50004.mp4 has not two sound tracks"
first=$(echo "$tracks" | sed -n 1p)
second=$(echo "$tracks" | sed -n 2p)
case $first in aac,2,*,1,Karaoke) ;; *) fail "first track is not the default AAC \"Karaoke\": $first" ;; esac
case $second in aac,2,*,0,"Guide melody") ;; *) fail "second track is not \"Guide melody\": $second" ;; esac
[ "$(echo "$first" | cut -d, -f3)" = "$(echo "$second" | cut -d, -f3)" ] || fail "the tracks' lengths differ"

# Each track is the part it is named for: as loud as that part's FLAC
# (integrated loudness ignores the lead-in's silence and barely moves with AAC),
# and the instrumental quieter than the full song, so a wrong part shows.
lufs() {
    ffmpeg -nostats -i "$1" -map "$2" -af ebur128 -f null - 2>&1 |
        sed -n 's/^ *I: *\(-*[0-9.]*\) LUFS$/\1/p' | tail -1
}
karaoke=$(lufs "$out/video/50004.mp4" 0:a:0)
guided=$(lufs "$out/video/50004.mp4" 0:a:1)
instrumental=$(lufs "$out/video/50004.instrumental.flac" 0:a)
full=$(lufs "$out/video/50004.flac" 0:a)
echo "Karaoke $karaoke LUFS (instrumental $instrumental), Guide melody $guided LUFS (full $full)"
awk -v k="$karaoke" -v g="$guided" -v i="$instrumental" -v f="$full" 'BEGIN {
    d1 = k - i; d2 = g - f
    exit !(d1 <= 0.3 && d1 >= -0.3 && d2 <= 0.3 && d2 >= -0.3 && k < g - 1)
}' || fail "the video's tracks are not the instrumental and the full song"

# UltraStar: every file a text names is there.
"$build/kdb2mid" convert --all -C "$db" -o "$out/games" -q --ultrastar --audio flac --stems \
    --soundfont "$soundfont"
texts=0
for text in "$out"/games/*/*.txt; do
    texts=$((texts + 1))
    folder=$(dirname "$text")
    grep -qx '#VERSION:1.1.0' "$text" || fail "$text is not format 1.1.0"
    for key in AUDIO MP3 INSTRUMENTAL VOCALS; do
        name=$(sed -n "s/^#$key://p" "$text")
        [ -n "$name" ] && [ -f "$folder/$name" ] || fail "$text: #$key names no file ($name)"
    done
    # The full song split or not: at its loudness, under its ceiling.
    full=$folder/$(sed -n 's/^#AUDIO://p' "$text")
    meter=$(ffmpeg -nostats -i "$full" -af ebur128=peak=true -f null - 2>&1)
    lufs=$(echo "$meter" | sed -n 's/^ *I: *\(-*[0-9.]*\) LUFS$/\1/p' | tail -1)
    peak=$(echo "$meter" | sed -n 's/^ *Peak: *\(-*[0-9.]*\) dBFS$/\1/p' | tail -1)
    echo "$(basename "$full"): $lufs LUFS, true peak $peak dBTP"
    awk -v l="$lufs" -v p="$peak" 'BEGIN { exit !(l >= -17 && l <= -15 && p <= -1) }' ||
        fail "$full: $lufs LUFS, true peak $peak dBTP"
done
[ "$texts" -gt 0 ] || fail "no UltraStar text written"
exit $status
