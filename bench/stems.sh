#!/usr/bin/env bash
# What --stems costs over the same outputs without it: instructions and
# peak memory per minute of song.
#
#   bench/stems.sh [BUILD_DIR] [SONG] [SOUNDFONT]
#       (defaults: build/bench, made here; sample song 50004; TimGM6mb.sf2)
#
# Instructions are counted by callgrind, one run each of
#   --audio flac, --audio flac --stems, --video, --video --stems
# on one sample song: a count, unlike a time, does not change with whatever
# else shares the cores. Prints each count, the --stems ratios (goals: at
# most 1.35x for --audio flac, 1.1x for --video) and, for --audio flac, the
# share the FLAC encoder takes (three files are encoded instead of one) and
# the ratio of the rest, the render.
#
# Memory: peak resident memory (/usr/bin/time) of the same conversions and
# --cdg, with the song at its tempo and at a quarter of it (four times as
# long); the difference over the added length is the memory a minute of song
# takes.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-}
song=${2:-50004}
font=${3:-/usr/share/sounds/sf2/TimGM6mb.sf2}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-stems}

scripts/ensure-deps.sh valgrind ffmpeg timgm6mb-soundfont time bc
if [ -z "$build" ]; then
    cmake --preset bench >/dev/null
    cmake --build --preset bench --target kdb2mid kdb2mid_video_encoder >/dev/null
    build=build/bench
fi
tool="$PWD/$build/kdb2mid"
[ -x "$tool" ] || tool=$build/kdb2mid
db="$PWD/examples/sample-db"
rm -rf "$work"
mkdir -p "$work"
cat "$font" >/dev/null

convert() {
    "$@" convert "$song" -C "$db" --soundfont "$font" -q "${args[@]}"
}

# Instructions of one conversion; the callgrind file stays as $work/cg-NAME.
count() {
    local name=$1
    shift
    local args=("$@" -o "$work/out-$name")
    convert valgrind --tool=callgrind --callgrind-out-file="$work/cg-$name" "$tool" \
        >"$work/cg-$name.log" 2>&1
    sed -n 's/.*Collected : //p' "$work/cg-$name.log"
}
# Instructions inside functions whose names match PATTERN (inclusive).
inside() {
    callgrind_annotate --inclusive=yes "$work/cg-$1" 2>/dev/null |
        awk -v p="$2" '$0 ~ p { gsub(",", "", $1); s += $1 } END { print s + 0 }'
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

echo "instructions (callgrind), song $song:"
declare -A ir
for what in audio audio-stems video video-stems; do
    case $what in
        audio) ir[$what]=$(count "$what" --audio flac) ;;
        audio-stems) ir[$what]=$(count "$what" --audio flac --stems) ;;
        video) ir[$what]=$(count "$what" --video) ;;
        video-stems) ir[$what]=$(count "$what" --video --stems) ;;
    esac
    printf '  %-12s %15s\n' "$what" "${ir[$what]}"
done
flac=$(inside audio 'AudioEncoder::(write|close)')
flacStems=$(inside audio-stems 'AudioEncoder::(write|close)')
echo "  --audio flac --stems / --audio flac: $(ratio "${ir[audio-stems]}" "${ir[audio]}")x (goal: at most 1.35x)"
echo "    FLAC encoding: $flac alone, $flacStems with --stems (three files)"
echo "    the rest (render, loudness, limiter): $(ratio "$((ir[audio-stems] - flacStems))" "$((ir[audio] - flac))")x"
echo "  --video --stems / --video: $(ratio "${ir[video-stems]}" "${ir[video]}")x (goal: at most 1.1x)"

# Seconds of the song's sound at a tempo, as its FLAC holds it.
seconds() {
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"
}
peak() {
    local args=("$@")
    /usr/bin/time -v -o "$work/time" "$tool" convert "$song" -C "$db" --soundfont "$font" -q \
        -o "$work/peak" "${args[@]}" >/dev/null
    rm -rf "$work/peak"
    sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time"
}
args=(--audio flac -o "$work/len100")
convert "$tool"
args=(--audio flac --tempo 25 -o "$work/len25")
convert "$tool"
short=$(seconds "$work/len100/$song.flac")
long=$(seconds "$work/len25/$song.flac")
echo
echo "peak memory, MB: song at its tempo (${short%.*} s), at a quarter of it (${long%.*} s), MB a minute of song"
for what in "--audio flac" "--audio flac --stems" "--video" "--video --stems" "--cdg"; do
    read -ra options <<<"$what"
    a=$(peak "${options[@]}")
    b=$(peak "${options[@]}" --tempo 25)
    printf '  %-22s %7.1f %7.1f %7.1f\n' "$what" "$(echo "$a / 1024" | bc -l)" \
        "$(echo "$b / 1024" | bc -l)" "$(echo "($b - $a) / 1024 / (($long - $short) / 60)" | bc -l)"
done
