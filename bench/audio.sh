#!/usr/bin/env bash
# Times rendering a database to WAV against FluidSynth's own program, and
# measures peak memory.
#
#   bench/audio.sh [COPIES] [RUNS] [SOUNDFONT...]
#       (defaults: 4 copies of the 5 sample songs, 3 runs; default-GM.sf2 and TimGM6mb.sf2)
#
# For each soundfont, RUNS times each, taking turns at going first, with the
# page cache warm for all:
#   j1        kdb2mid convert --all --audio wav -j1 (loudness normalisation included)
#   j2        the same with -j2: two threads sharing one soundfont's samples
#   program   fluidsynth -ni -F OUT.wav SOUNDFONT SONG.mid, song after song, on the
#             .mid files kdb2mid writes for the same songs
#   program2  two such loops side by side, each taking every other song
# and prints the median wall seconds, CPU seconds, the real-time factor
# (seconds of audio per wall second), our time over the program's, j2's
# speed-up over j1 beside two programs' over one, and the load average. Then
# the peak memory (/usr/bin/time) of one run each at -j1, -j2 and -j4. Our
# renders are normalised to -16 LUFS, so compare_wav.py shows a level
# difference on the first song; the music is the same.
set -euo pipefail
cd "$(dirname "$0")/.."

copies=${1:-4}
runs=${2:-3}
shift 2 || shift $# || true
fonts=("$@")
[ ${#fonts[@]} -gt 0 ] || fonts=(/usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2)
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-audio}

scripts/ensure-deps.sh libfluidsynth-dev libsndfile1-dev libbenchmark-dev fluidsynth \
    fluid-soundfont-gm timgm6mb-soundfont time bc
cmake --preset bench >/dev/null
cmake --build --preset bench --target kdb2mid make_sample_copies >/dev/null
tool="$PWD/build/bench/kdb2mid"

rm -rf "$work"
mkdir -p "$work"
build/bench/make_sample_copies "$work/db" "$copies"
"$tool" convert --all -C "$work/db" -o "$work/mid" -q >/dev/null
songs=("$work"/mid/*.mid)
echo "${#songs[@]} songs ($copies copies of the sample songs)"

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1" | sort -n | tail -1; }
# User plus system CPU seconds of every run logged in a /usr/bin/time -v file:
# what a run costs even when other work shares the cores.
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }
# Seconds of 16-bit stereo 44.1 kHz audio in the WAV files of a folder.
audio() { find "$1" -name '*.wav' -printf '%s\n' | awk '{ s += ($1 - 44) / 176400 } END { print s }'; }

# Renders every other song from the first-th with FluidSynth's program.
program_loop() {
    local out=$1 log=$2 first=$3 step=$4 i
    for ((i = first; i < ${#songs[@]}; i += step)); do
        local mid=${songs[$i]}
        /usr/bin/time -v -a -o "$log" \
            fluidsynth -ni -F "$out/$(basename "$mid" .mid).wav" "$font" "$mid" >/dev/null 2>&1
    done
}

# Runs one of j1, j2, j4, program, program2 into a fresh folder; logs /usr/bin/time
# to $work/time-WHAT.
timed() {
    local what=$1 font=$2 out="$work/out-$1"
    rm -rf "$out" && mkdir -p "$out"
    : >"$work/time-$what"
    local start
    start=$(now)
    case "$what" in
        j1 | j2 | j4)
            /usr/bin/time -v -a -o "$work/time-$what" "$tool" convert --all -C "$work/db" -o "$out" \
                --audio wav --soundfont "$font" -"$what" -q >/dev/null ;;
        program) program_loop "$out" "$work/time-$what" 0 1 ;;
        program2)
            program_loop "$out" "$work/time-$what" 0 2 &
            program_loop "$out" "$work/time-$what.2" 1 2
            wait
            cat "$work/time-$what.2" >>"$work/time-$what" ;;
    esac
    echo "$(now) - $start" | bc -l
}

for font in "${fonts[@]}"; do
    echo
    echo "soundfont $(readlink -f "$font") ($(du -m "$(readlink -f "$font")" | cut -f1) MB)"
    cat "$font" >/dev/null
    declare -A secs=() cpus=()
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    order=(j1 j2 program program2)
    for run in $(seq "$runs"); do
        line="  run $run:"
        for i in 0 1 2 3; do
            what=${order[$(((i + run - 1) % 4))]}
            s=$(timed "$what" "$font")
            secs[$what]+="$s "
            cpus[$what]+="$(cpu "$work/time-$what") "
            line+=" $what $(printf '%.2f' "$s") s"
        done
        echo "$line"
    done
    ours_audio=$(audio "$work/out-j1")
    program_audio=$(audio "$work/out-program")

    declare -A m c
    printf '  %-8s %8s %8s %10s %12s\n' "median" "wall s" "CPU s" "audio s" "x real time"
    for what in j1 j2 program program2; do
        m[$what]=$(printf '%s\n' ${secs[$what]} | median)
        c[$what]=$(printf '%s\n' ${cpus[$what]} | median)
        a=$ours_audio; [[ "$what" = program* ]] && a=$program_audio
        printf '  %-8s %8.2f %8.2f %10.1f %12.1f\n' "$what" "${m[$what]}" "${c[$what]}" \
            "$a" "$(echo "$a / ${m[$what]}" | bc -l)"
    done
    printf '  ours j1 / program: %.2fx the wall time, %.2fx the CPU time (goal: at most 0.7x)\n' \
        "$(echo "${m[j1]} / ${m[program]}" | bc -l)" "$(echo "${c[j1]} / ${c[program]}" | bc -l)"
    printf '  j2 over j1: %.2fx faster; two programs side by side over one: %.2fx faster\n' \
        "$(echo "${m[j1]} / ${m[j2]}" | bc -l)" "$(echo "${m[program]} / ${m[program2]}" | bc -l)"
    echo "  load average: $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after" \
        "(other work on the cores skews wall times; CPU times less)"
    line="  peak memory:"
    for what in j1 j2 j4; do
        timed "$what" "$font" >/dev/null
        line+=" $what $(($(peak "$work/time-$what") / 1024)) MB"
    done
    echo "$line"
    first=$(basename "${songs[0]}" .mid)
    /usr/bin/python3 bench/compare_wav.py "$work/out-j1/$first.wav" "$work/out-program/$first.wav"
done
