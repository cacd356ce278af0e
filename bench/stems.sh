#!/usr/bin/env bash
# What --stems costs over the same outputs without it: instructions and
# peak memory per minute of song.
#
#   bench/stems.sh [BUILD_DIR] [SONG] [RUNS] [SOUNDFONT]
#       (defaults: build/bench, made here; sample song 50004; 5 runs; TimGM6mb.sf2)
#
# --audio flac with and without --stems: instructions counted by callgrind,
# which, unlike a time, do not change with whatever else shares the cores.
# Prints both counts, their ratio (goal: at most 1.35x), the share the FLAC
# encoder takes (three files are encoded instead of one) and the ratio of the
# rest, the render.
# --video with and without --stems: FFmpeg's libraries stop valgrind (an
# instruction it does not know), so CPU seconds (user + system, all threads),
# the median of RUNS runs taking turns; ratio goal: at most 1.1x.
#
# Memory: peak resident memory (/usr/bin/time) of the same conversions and
# --cdg, with the song at its tempo and at a quarter of it (four times as
# long); the difference over the added length is the memory a minute of song
# takes. At a quarter of the tempo a sample song's intro is long enough for
# the title screen: no lead-in, so the lead-in's cost shows in the first
# column only.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-}
song=${2:-50004}
runs=${3:-5}
font=${4:-/usr/share/sounds/sf2/TimGM6mb.sf2}
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
# FluidSynth loads the soundfont's samples on OpenMP threads, which by
# default spin while they wait: under valgrind, which runs one thread at a
# time, that spinning is counted, and varies by a tenth of a song's count
# from run to run. Waiting threads sleep instead.
count() {
    local name=$1
    shift
    local args=("$@" -o "$work/out-$name")
    OMP_WAIT_POLICY=passive convert valgrind --tool=callgrind \
        --callgrind-out-file="$work/cg-$name" "$tool" >"$work/cg-$name.log" 2>&1
    sed -n 's/.*Collected : //p' "$work/cg-$name.log"
}
# Instructions inside functions whose names match PATTERN (inclusive).
inside() {
    callgrind_annotate --inclusive=yes "$work/cg-$1" 2>/dev/null |
        awk -v p="$2" '$0 ~ p { gsub(",", "", $1); s += $1 } END { print s + 0 }'
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

echo "--audio flac, song $song: instructions (callgrind)"
declare -A ir
ir[audio]=$(count audio --audio flac)
ir[stems]=$(count stems --audio flac --stems)
flac=$(inside audio 'AudioEncoder::(write|close)')
flacStems=$(inside stems 'AudioEncoder::(write|close)')
printf '  %-22s %15s  (FLAC encoder %s)\n' "--audio flac" "${ir[audio]}" "$flac"
printf '  %-22s %15s  (FLAC encoder %s)\n' "--audio flac --stems" "${ir[stems]}" "$flacStems"
echo "  ratio $(ratio "${ir[stems]}" "${ir[audio]}")x (goal: at most 1.35x);" \
    "without the encoder $(ratio "$((ir[stems] - flacStems))" "$((ir[audio] - flac))")x"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cpu() {
    rm -rf "$work/video"
    /usr/bin/time -f '%U %S' -o "$work/time" "$tool" convert "$song" -C "$db" --soundfont "$font" \
        -q -o "$work/video" "$@" >/dev/null
    awk '{ print $1 + $2 }' "$work/time"
}
echo
echo "--video, song $song: CPU seconds, median of $runs runs"
plain=() split=()
for run in $(seq "$runs"); do
    if ((run % 2)); then
        plain+=("$(cpu --video)") split+=("$(cpu --video --stems)")
    else
        split+=("$(cpu --video --stems)") plain+=("$(cpu --video)")
    fi
done
a=$(printf '%s\n' "${plain[@]}" | median)
b=$(printf '%s\n' "${split[@]}" | median)
printf '  %-22s %8.2f\n  %-22s %8.2f\n' "--video" "$a" "--video --stems" "$b"
echo "  ratio $(ratio "$b" "$a")x (goal: at most 1.1x); load average $(cut -d' ' -f1-3 /proc/loadavg)"

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
