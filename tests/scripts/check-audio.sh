#!/bin/sh
# Renders a sample song with `kdb2mid convert --audio` to every format the
# build can write and has ffprobe (Debian ffmpeg), a reader independent of libsndfile,
# read each one: 44,100 Hz (Opus: 48,000 Hz) stereo, as long as the song's
# length as `kdb2mid info` gives it plus at most the 10 s fade. Then loudness
# by ffmpeg's EBU R128 meter: every sample song and a generated loud song
# within 1 LU of -16 LUFS, true peak at most -1 dBTP; with --loudness off the
# samples FluidSynth's own program writes (when it is installed).
#
#   tests/scripts/check-audio.sh BUILD_DIR [SOUNDFONT]
#
# Exits 77 (skipped) when ffprobe or the soundfont is missing.
set -eu

build=$1
soundfont=${2:-/usr/share/sounds/sf2/TimGM6mb.sf2}
here=$(cd "$(dirname "$0")" && pwd)
command -v ffprobe >/dev/null 2>&1 || { echo "ffprobe missing (apt-get install ffmpeg): skipped"; exit 77; }
[ -f "$soundfont" ] || { echo "$soundfont missing: skipped"; exit 77; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
db=$here/../../examples/sample-db
"$build/kdb2mid" convert 50004 -C "$db" -o "$out" -q >/dev/null

status=0
for format in wav flac ogg opus mp3; do
    mkdir "$out/$format"
    if ! "$build/kdb2mid" convert 50004 -C "$db" -o "$out/$format" -q --audio "$format" \
            --soundfont "$soundfont" >"$out/log" 2>&1; then
        if [ "$format" = mp3 ] && grep -q "cannot write mp3" "$out/log"; then
            echo "mp3: this libsndfile cannot write it, skipped"; continue
        fi
        cat "$out/log"; status=1; continue
    fi
    rate=44100; [ "$format" = opus ] && rate=48000
    for mid in "$out"/*.mid; do
        song=$(basename "$mid" .mid)
        file=$out/$format/$song.$format
        songlen=$("$build/kdb2mid" info "$song" -C "$db" |
                  sed -n 's/^Length:.* ticks, \([0-9.]*\) seconds.*/\1/p')
        info=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels \
               -show_entries format=duration -of csv=p=0 "$file" | tr '\n' ',')
        if ! echo "$info" | awk -F, -v rate="$rate" -v songlen="$songlen" '
            { sr = $1; ch = $2; dur = $3 }
            END { exit !(songlen > 0 && sr == rate && ch == 2 &&
                         dur + 0.05 >= songlen && dur <= songlen + 10.1) }'; then
            echo "$file: ffprobe says $info (song $songlen s)"; status=1
        fi
    done
    echo "$format: $(ls "$out/$format" | wc -l) files read by ffprobe"
done

# "I LUFS TP" of an audio file by ffmpeg's ebur128 filter.
loudness() {
    ffmpeg -nostats -hide_banner -i "$1" -af ebur128=peak=true -f null - 2>&1 |
        awk '/Summary:/ { s = 1 } s && $1 == "I:" { i = $2 } s && $1 == "Peak:" { p = $2 }
             END { print i, p }'
}
mkdir "$out/loud"
"$build/kdb2mid" convert --all -C "$db" -o "$out/loud" -q --audio flac --soundfont "$soundfont"
"$here/make_loud_song.py" "$out/loud/loud.mid"
"$build/kdb2mid_render_audio" -f flac "$soundfont" "$out/loud" "$out/loud/loud.mid" >/dev/null
for file in "$out"/loud/*.flac; do
    set -- $(loudness "$file")
    if ! awk -v i="$1" -v p="$2" 'BEGIN { exit !(i >= -17 && i <= -15 && p <= -1) }'; then
        echo "$file: $1 LUFS, true peak $2 dBTP; wanted -16 +-1 LUFS, at most -1 dBTP"; status=1
    fi
done
echo "loudness: $(ls "$out"/loud/*.flac | wc -l) files at -16 LUFS, true peak under -1 dBTP"

if command -v fluidsynth >/dev/null 2>&1; then
    mkdir "$out/off"
    "$build/kdb2mid" convert 50003 -C "$db" -o "$out/off" -q --audio wav --loudness off \
        --soundfont "$soundfont"
    fluidsynth -ni -F "$out/off/program.wav" "$soundfont" "$out/off/50003.mid" >/dev/null 2>&1
    # FluidSynth's program plays on past the sound; over the frames both have:
    if ! python3 - "$out/off/50003.wav" "$out/off/program.wav" <<'PY'; then
import sys, wave
ours, theirs = (wave.open(p) for p in sys.argv[1:])
n = min(ours.getnframes(), theirs.getnframes())
assert n > ours.getframerate() * 20 and ours.readframes(n) == theirs.readframes(n)
PY
        echo "--loudness off: not the samples FluidSynth's program writes"; status=1
    fi
    echo "--loudness off: FluidSynth's program's samples"
else
    echo "fluidsynth missing (apt-get install fluidsynth): --loudness off comparison skipped"
fi

exit $status
