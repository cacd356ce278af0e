#!/bin/sh
# Converts one sample song with `kdb2mid convert --cdg --lrc --audio wav` and
# reads the .cdg with ffmpeg's cdgraphics decoder, a reader independent of
# kdb2mid: it decodes without an error, lasts as long as the .mp3 beside it
# (ffprobe), shows the first line in the unsung colour half a second before
# its first word and, a second after that word, pixels in the sung colour that
# were unsung letters before. The word's time is the .lrc's, moved by the
# lead-in the .mp3's sound has over the song's own (the .wav). Then what a
# singer sees (check_karaoke_frames.py): the first word's wipe within 50 ms
# of its note in the .mp3, the title read by tesseract at 1.5 s, two lines
# while a mid-song line ends, rows 8 % of the screen tall inside its margin. With
# --audio mp3 (whose SONG.mp3 keeps the song's timing) the .cdg lasts as long as it.
#
#   tests/scripts/check-cdg.sh BUILD_DIR [SONG] [SOUNDFONT]
#
# Exits 77 (skipped) when ffmpeg, python3, tesseract's Vietnamese or the
# soundfont is missing, or when this libsndfile cannot write MP3.
set -eu

build=$1
song=${2:-50001}
soundfont=${3:-/usr/share/sounds/sf2/TimGM6mb.sf2}
here=$(cd "$(dirname "$0")" && pwd)
db=$here/../../examples/sample-db
command -v ffmpeg >/dev/null 2>&1 || { echo "ffmpeg missing (apt-get install ffmpeg): skipped"; exit 77; }
command -v python3 >/dev/null 2>&1 || { echo "python3 missing: skipped"; exit 77; }
tesseract --list-langs 2>/dev/null | grep -qx vie || { echo "tesseract-ocr-vie missing: skipped"; exit 77; }
[ -f "$soundfont" ] || { echo "$soundfont missing: skipped"; exit 77; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! "$build/kdb2mid" convert "$song" -C "$db" -o "$out" -q --cdg --lrc --audio wav \
        --soundfont "$soundfont" >"$out/log" 2>&1; then
    if grep -q "cannot write mp3" "$out/log"; then echo "mp3 unavailable: skipped"; exit 77; fi
    cat "$out/log"; exit 1
fi
cdg=$(ls "$out"/*.cdg)
stem=${cdg%.cdg}
[ -f "$stem.mp3" ] || { echo "no .mp3 beside $cdg"; exit 1; }

ffmpeg -v error -f cdg -i "$cdg" -f null - 2>"$out/errors"
[ ! -s "$out/errors" ] || { echo "ffmpeg cannot decode $cdg:"; cat "$out/errors"; exit 1; }

# The first word's time: "[mm:ss.xx]<mm:ss.xx>word" on the first timed line.
lead=$(python3 "$here/check_karaoke_frames.py" offset "$stem.mp3" "$stem.wav")
first=$(sed -n 's/^\[\([0-9]*\):\([0-9.]*\)\]<.*/\1 \2/p' "$stem.lrc" | head -1 |
        awk -v lead="$lead" '{ print $1 * 60 + $2 + lead }')
mp3=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$stem.mp3")
size=$(wc -c <"$cdg")

# Two frames of a ten-a-second rendering (each the screen as the last packet
# before it left it): half a second before the first word, a second after.
before=$(echo "$first" | awk '{ printf "%d", ($1 - 0.5) * 10 }')
after=$(echo "$first" | awk '{ printf "%d", ($1 + 1.0) * 10 + 0.999 }')
ffmpeg -v error -f cdg -i "$cdg" -vf "fps=10,select='eq(n\,$before)+eq(n\,$after)'" -vsync 0 \
    -f rawvideo -pix_fmt rgb24 "$out/frames.rgb"

/usr/bin/python3 - "$out/frames.rgb" "$size" "$mp3" "$first" <<'PY'
import sys
frames = open(sys.argv[1], "rb").read()
size, mp3, first = int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
FRAME = 300 * 216 * 3
assert len(frames) == 2 * FRAME, f"{len(frames)} bytes are not two 300 x 216 frames"
before, after = frames[:FRAME], frames[FRAME:]
WHITE, YELLOW = b"\xff\xff\xff", b"\xff\xdd\x00"
def pixels(frame):
    return [frame[i:i + 3] for i in range(0, len(frame), 3)]
b, a = pixels(before), pixels(after)
assert len(b) == len(a) == 300 * 216, "frames are not 300 x 216"
problems = []
if size % 24 or abs(size / 7200 - mp3) > 0.1:
    problems.append(f".cdg of {size} bytes is not {mp3:.2f} s of 7,200 bytes")
unsung_before = sum(p == WHITE for p in b)
sung_after = [i for i, p in enumerate(a) if p == YELLOW]
if unsung_before < 50:
    problems.append(f"only {unsung_before} unsung pixels at {first - 0.5:.2f} s")
if len(sung_after) < 20:
    problems.append(f"only {len(sung_after)} sung pixels at {first + 1:.2f} s")
elif sum(b[i] == WHITE for i in sung_after) < 0.95 * len(sung_after):
    problems.append("sung pixels were not unsung letters before the word")
for p in problems:
    print(p)
print(f"cdg: {size // 24} packets ({mp3:.2f} s of music), first word at {first:.2f} s, "
      f"{unsung_before} unsung pixels before it, {len(sung_after)} sung after")
sys.exit(1 if problems else 0)
PY
python3 "$here/check_karaoke_frames.py" cdg "$cdg" "$stem.mp3" "$stem.lrc" "$stem.wav"

# With --audio mp3, SONG.mp3 is the audio file (the song's own timing, no
# lead-in) and the pair's sound: the graphics must last as long, not a
# lead-in longer.
"$build/kdb2mid" convert "$song" -C "$db" -o "$out/mp3" -q --cdg --audio mp3 --soundfont "$soundfont"
mp3=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/mp3/$(basename "$stem").mp3")
size=$(wc -c <"$out/mp3/$(basename "$cdg")")
awk -v size="$size" -v mp3="$mp3" 'BEGIN { d = size / 7200 - mp3; exit (d > 0.1 || d < -0.1) }' || {
    echo "with --audio mp3: .cdg of $size bytes is not the .mp3's $mp3 s"; exit 1; }
