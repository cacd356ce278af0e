#!/usr/bin/env bash
# Times the MP3+G pair against the MP3 alone: `convert --all --cdg` against
# `convert --all --audio mp3`, both -j1, on copies of the sample songs.
#
#   bench/cdg.sh [COPIES] [RUNS] [SOUNDFONT]
#       (defaults: 4 copies of the 5 sample songs, 3 runs, TimGM6mb.sf2)
#
# Runs take turns at going first, each into a fresh folder with the page
# cache warm. Prints the median wall and CPU seconds of each, their ratio
# (the goal is at most 1.2: the graphics cost little next to the audio) and
# the load average. KDB2MID_BENCH_DIR chooses the folder.
set -euo pipefail
cd "$(dirname "$0")/.."

copies=${1:-4}
runs=${2:-3}
font=${3:-/usr/share/sounds/sf2/TimGM6mb.sf2}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-cdg}

scripts/ensure-deps.sh libbenchmark-dev timgm6mb-soundfont time bc
cmake --preset bench >/dev/null
cmake --build --preset bench --target kdb2mid make_sample_copies >/dev/null
tool="$PWD/build/bench/kdb2mid"

rm -rf "$work"
mkdir -p "$work"
build/bench/make_sample_copies "$work/db" "$copies"
cat "$work/db"/* >/dev/null

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Prints "wall cpu" seconds of one run of mp3 or cdg.
timed() {
    local out="$work/out-$1"
    rm -rf "$out" && mkdir -p "$out"
    local flags=(--audio mp3)
    [ "$1" = cdg ] && flags=(--cdg)
    local start
    start=$(now)
    /usr/bin/time -f '%U %S' -o "$work/time-$1" "$tool" convert --all -C "$work/db" -o "$out" \
        --soundfont "$font" -j1 -q "${flags[@]}" >/dev/null
    local wall
    wall=$(echo "$(now) - $start" | bc -l)
    echo "$wall $(awk '{ print $1 + $2 }' "$work/time-$1")"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
declare -A walls=([mp3]="" [cdg]="") cpus=([mp3]="" [cdg]="")
order=(mp3 cdg)
for run in $(seq "$runs"); do
    line="run $run:"
    for i in 0 1; do
        what=${order[$(((i + run - 1) % 2))]}
        read -r wall cpu < <(timed "$what")
        walls[$what]+="$wall "
        cpus[$what]+="$cpu "
        line+=" $what $(printf '%.2f' "$wall") s (cpu $(printf '%.2f' "$cpu") s)"
    done
    echo "$line" >&2
done
songs=$(find "$work/out-cdg" -name '*.cdg' | wc -l)
mp3_wall=$(echo "${walls[mp3]}" | tr ' ' '\n' | grep . | median)
cdg_wall=$(echo "${walls[cdg]}" | tr ' ' '\n' | grep . | median)
mp3_cpu=$(echo "${cpus[mp3]}" | tr ' ' '\n' | grep . | median)
cdg_cpu=$(echo "${cpus[cdg]}" | tr ' ' '\n' | grep . | median)
printf '%d songs with lyrics, median of %d runs, -j1\n' "$songs" "$runs"
printf '  --audio mp3  %.2f s wall  %.2f s cpu\n' "$mp3_wall" "$mp3_cpu"
printf '  --cdg        %.2f s wall  %.2f s cpu\n' "$cdg_wall" "$cdg_cpu"
printf '  ratio        %.3f wall    %.3f cpu   (goal: at most 1.2)\n' \
    "$(echo "$cdg_wall / $mp3_wall" | bc -l)" "$(echo "$cdg_cpu / $mp3_cpu" | bc -l)"
echo "load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
