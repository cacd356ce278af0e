#!/bin/sh
# Makes the video of a sample song with `kdb2mid convert --video` and has
# FFmpeg's own programs read it: ffprobe finds one H.264 stream of the asked
# size and one AAC stereo stream, as long as each other (within 0.25 s) and
# as the song plus its lead-in and at most its 10 s fade; frames at word
# times match FFmpeg's ass filter drawing the song's .ass over the same black
# (compare_frames.py); and what a singer sees, against the .lrc and the song's
# own --audio wav (check_karaoke_frames.py): the first word's wipe within
# 50 ms of its note in the MP4's sound, the title read by tesseract at 1.5 s,
# two lines while a mid-song line ends, rows 8 % of the picture tall inside
# its 5 % margin, and a break of another song's .ass not blank.
#
#   tests/scripts/check-video.sh BUILD_DIR [SOUNDFONT]
#
# Exits 77 (skipped) when ffmpeg, ffprobe, python3, tesseract's Vietnamese
# or the soundfont is missing.
set -eu

build=$1
soundfont=${2:-/usr/share/sounds/sf2/TimGM6mb.sf2}
here=$(cd "$(dirname "$0")" && pwd)
for program in ffmpeg ffprobe python3 tesseract; do
    command -v $program >/dev/null 2>&1 || { echo "$program missing: skipped"; exit 77; }
done
tesseract --list-langs 2>/dev/null | grep -qx vie || { echo "tesseract-ocr-vie missing: skipped"; exit 77; }
[ -f "$soundfont" ] || { echo "$soundfont missing: skipped"; exit 77; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
db=$here/../../examples/sample-db
song=50004
size=640x360
"$build/kdb2mid" convert $song -C "$db" -o "$out" -q --video --video-size $size --ass \
    --lrc --audio wav --soundfont "$soundfont"

video=$out/$song.mp4
status=0
streams=$(ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,pix_fmt,channels,duration \
          -of csv=p=0 "$video")
echo "$streams"
songlen=$("$build/kdb2mid" info $song -C "$db" | sed -n 's/^Length:.* ticks, \([0-9.]*\) seconds.*/\1/p')
echo "$streams" | awk -F, -v size=$size -v len="$songlen" '
    $1 == "h264" { v++; if ($3 "x" $4 != size || $5 != "yuv420p") bad = bad " picture " $0; vd = $NF }
    $1 == "aac" { a++; if ($3 != 2) bad = bad " sound " $0; ad = $NF }
    END {
        if (v != 1 || a != 1) bad = bad " streams: " v " video, " a " audio"
        d = vd - ad; if (d < 0) d = -d
        if (d > 0.25) bad = bad " video " vd " s, audio " ad " s"
        if (ad < len || ad > len + 15.25) bad = bad " audio " ad " s for a song of " len " s"
        if (bad != "") { print "'"$video"':" bad; exit 1 }
    }' || status=1

python3 "$here/compare_frames.py" "$video" "$out/$song.ass" $size || status=1
python3 "$here/check_karaoke_frames.py" video "$video" $size "$out/$song.lrc" "$out/$song.wav" || status=1
# A break of 8 s or more: 50005 at a third of its tempo has one of 13 s.
"$build/kdb2mid" convert 50005 -C "$db" -o "$out" -q --ass --lrc --tempo 30
python3 "$here/check_karaoke_frames.py" break "$out/50005.ass" 320x180 "$out/50005.lrc" || status=1
[ $status -eq 0 ] && echo "$video: read back by ffprobe, frames match ffmpeg's ass filter and the lyrics"
exit $status
