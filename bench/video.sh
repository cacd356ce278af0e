#!/usr/bin/env bash
# Times making karaoke videos against what a user would otherwise run.
#
#   bench/video.sh [COPIES] [RUNS] [SOUNDFONT]
#       (defaults: 2 copies of the 5 sample songs, 3 runs, TimGM6mb.sf2)
#
# RUNS times each, taking turns at going first:
#   ours j1    kdb2mid convert --all --video -j1
#   ours j2    the same with -j2
#   pipeline   kdb2mid convert --all --audio wav --ass -j1, then per song
#              ffmpeg -f lavfi -i color=c=black:s=1280x720:r=25 -i SONG.wav
#                -vf ass=SONG.ass -c:v libx264 -preset ultrafast -crf 23
#                -c:a aac -shortest SONG.mp4
# Both make H.264 at CRF 23 with x264's ultrafast preset, 1280x720 at 25
# frames a second, AAC stereo. Prints the median wall and CPU seconds, the
# real-time factor (seconds of video per wall second), our time over the
# pipeline's, j2 over j1, the videos' total size, peak memory and the load
# average.
set -euo pipefail
cd "$(dirname "$0")/.."

copies=${1:-2}
runs=${2:-3}
font=${3:-/usr/share/sounds/sf2/TimGM6mb.sf2}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-video}

scripts/ensure-deps.sh libbenchmark-dev ffmpeg timgm6mb-soundfont time bc
cmake --preset bench >/dev/null
cmake --build --preset bench --target kdb2mid make_sample_copies >/dev/null
tool="$PWD/build/bench/kdb2mid"

rm -rf "$work"
mkdir -p "$work"
build/bench/make_sample_copies "$work/db" "$copies"
cat "$font" >/dev/null

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1" | sort -n | tail -1; }
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }
# Seconds of video in the MP4 files of a folder, as ffprobe reads them.
video() {
    for f in "$1"/*.mp4; do
        ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 "$f"
    done | awk '{ s += $1 } END { print s }'
}
megabytes() { du -cm "$1"/*.mp4 | tail -1 | cut -f1; }

timed() {
    local what=$1 out="$work/out-$1"
    rm -rf "$out" && mkdir -p "$out"
    : >"$work/time-$what"
    local start
    start=$(now)
    case "$what" in
        j1 | j2)
            /usr/bin/time -v -a -o "$work/time-$what" "$tool" convert --all -C "$work/db" -o "$out" \
                --video --soundfont "$font" -"$what" -q >/dev/null ;;
        pipeline)
            /usr/bin/time -v -a -o "$work/time-$what" "$tool" convert --all -C "$work/db" -o "$out" \
                --audio wav --ass --soundfont "$font" -j1 -q >/dev/null
            for wav in "$out"/*.wav; do
                local song=${wav%.wav}
                [ -f "$song.ass" ] || continue
                /usr/bin/time -v -a -o "$work/time-$what" ffmpeg -nostdin -v error -y \
                    -f lavfi -i color=c=black:s=1280x720:r=25 -i "$wav" -vf "ass=$song.ass" \
                    -c:v libx264 -preset ultrafast -crf 23 -c:a aac -shortest "$song.mp4"
            done ;;
    esac
    echo "$(now) - $start" | bc -l
}

declare -A secs=([j1]="" [j2]="" [pipeline]="") cpus=([j1]="" [j2]="" [pipeline]="") mem
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
order=(j1 j2 pipeline)
for run in $(seq "$runs"); do
    line="  run $run:"
    for i in 0 1 2; do
        what=${order[$(((i + run - 1) % 3))]}
        s=$(timed "$what")
        secs[$what]+="$s "
        cpus[$what]+="$(cpu "$work/time-$what") "
        mem[$what]=$(peak "$work/time-$what")
        line+=" $what $(printf '%.2f' "$s") s"
    done
    echo "$line"
done
echo "$(ls "$work"/out-j1/*.mp4 | wc -l) videos ($copies copies of the sample songs)"

declare -A m c
printf '  %-9s %8s %8s %9s %12s %8s %8s\n' "median" "wall s" "CPU s" "video s" "x real time" "MB" "peak MB"
for what in j1 j2 pipeline; do
    m[$what]=$(printf '%s\n' ${secs[$what]} | median)
    c[$what]=$(printf '%s\n' ${cpus[$what]} | median)
    v=$(video "$work/out-$what")
    printf '  %-9s %8.2f %8.2f %9.1f %12.1f %8s %8.0f\n' "$what" "${m[$what]}" "${c[$what]}" "$v" \
        "$(echo "$v / ${m[$what]}" | bc -l)" "$(megabytes "$work/out-$what")" \
        "$(echo "${mem[$what]} / 1024" | bc -l)"
done
printf '  ours j1 / pipeline: %.2fx the wall time, %.2fx the CPU time\n' \
    "$(echo "${m[j1]} / ${m[pipeline]}" | bc -l)" "$(echo "${c[j1]} / ${c[pipeline]}" | bc -l)"
printf '  j2 over j1: %.2fx faster (wall); CPU time j2 / j1: %.2f\n' \
    "$(echo "${m[j1]} / ${m[j2]}" | bc -l)" "$(echo "${c[j2]} / ${c[j1]}" | bc -l)"
echo "  load average: $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after" \
    "(other work on the cores skews wall times; CPU times less)"
