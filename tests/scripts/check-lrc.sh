#!/bin/sh
# Converts songs of a database with `kdb2mid convert --lyrics utf8 --lrc --ass`
# and checks the files with tools independent of kdb2mid: every .lrc word's time
# against mido's reading of the .mid (check_lrc.py), every .lrc and .ass read
# by ffmpeg, and one frame of the first .ass rendered by ffmpeg's ass filter.
#
#   tests/scripts/check-lrc.sh BUILD_DIR DBDIR SONG...
#   tests/scripts/check-lrc.sh BUILD_DIR --tempo-db
#
# --tempo-db makes and checks a database of songs whose tempo changes often,
# in several tracks (kdb2mid_write_lyric_files make-tempo-db).
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR DBDIR SONG... | BUILD_DIR --tempo-db" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
writer=$build/kdb2mid_write_lyric_files
python=/usr/bin/python3

[ -x "$writer" ] || { echo "$writer is not built" >&2; exit 2; }
"$python" -c 'import mido' 2>/dev/null || {
    echo "python3-mido is missing (apt-get install -y python3-mido)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (apt-get install -y ffmpeg)" >&2; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if [ "$1" = --tempo-db ]; then
    db=$out/tempo-db
    "$writer" make-tempo-db "$db"
    songs="21090 21091 21092"
else
    db=$1
    shift
    songs=$*
fi
# shellcheck disable=SC2086  # one argument per song number
"$build/kdb2mid" convert $songs -C "$db" -o "$out/songs" -q --lyrics utf8 --lrc --ass

status=0
first_ass=
for song in $songs; do
    "$python" "$here/check_lrc.py" "$out/songs/$song.mid" "$out/songs/$song.lrc" || status=1
    for file in "$out/songs/$song.lrc" "$out/songs/$song.ass"; do
        if ! ffmpeg -nostdin -v error -i "$file" -map 0 -c copy -f null - 2>"$out/ffmpeg.txt" ||
            [ -s "$out/ffmpeg.txt" ]; then
            echo "$file: ffmpeg cannot read it:"; cat "$out/ffmpeg.txt"; status=1
        fi
    done
    [ -n "$first_ass" ] || first_ass=$out/songs/$song.ass
done
if ! ffmpeg -nostdin -v error -f lavfi -i color=c=black:s=1280x720:d=5 -vf "ass=$first_ass" \
        -frames:v 1 -ss 4 "$out/frame.png" 2>"$out/ffmpeg.txt" || [ ! -s "$out/frame.png" ]; then
    echo "$first_ass: ffmpeg cannot render it:"; cat "$out/ffmpeg.txt"; status=1
else
    echo "$first_ass: a frame rendered"
fi
exit $status
