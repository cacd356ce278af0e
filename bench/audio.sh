#!/usr/bin/env bash
# Times rendering a database to WAV against FluidSynth's own program.
#
#   bench/audio.sh [COPIES] [RUNS] [SOUNDFONT...]
#       (defaults: 4 copies of the 5 sample songs, 3 runs; default-GM.sf2 and TimGM6mb.sf2)
#
# For each soundfont, RUNS times each, taking turns at going first, with the
# page cache warm for all:
#   ours j1   kdb2mid convert --all --audio wav -j1 (one synthesizer, the soundfont loaded once)
#   ours j2   the same with -j2: two threads, each with its own synthesizer
#   program   fluidsynth -ni -F OUT.wav SOUNDFONT SONG.mid, song after song, on the
#             .mid files kdb2mid writes for the same songs
# and prints the median wall seconds, CPU seconds, the real-time factor
# (seconds of audio per wall second), our time over the program's, j1 over
# j2, peak memory (/usr/bin/time) and the load average. Our renders use the
# converter's own gain and limiter, so compare_wav.py shows a level
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

# Runs one of j1, j2, program into a fresh folder; logs /usr/bin/time to $work/time-WHAT.
timed() {
    local what=$1 font=$2 out="$work/out-$1"
    rm -rf "$out" && mkdir -p "$out"
    : >"$work/time-$what"
    local start
    start=$(now)
    case "$what" in
        j1 | j2)
            /usr/bin/time -v -a -o "$work/time-$what" "$tool" convert --all -C "$work/db" -o "$out" \
                --audio wav --soundfont "$font" -"$what" -q >/dev/null ;;
        program)
            for mid in "${songs[@]}"; do
                /usr/bin/time -v -a -o "$work/time-$what" \
                    fluidsynth -ni -F "$out/$(basename "$mid" .mid).wav" "$font" "$mid" >/dev/null 2>&1
            done ;;
    esac
    echo "$(now) - $start" | bc -l
}

for font in "${fonts[@]}"; do
    echo
    echo "soundfont $(readlink -f "$font") ($(du -m "$(readlink -f "$font")" | cut -f1) MB)"
    cat "$font" >/dev/null
    declare -A secs=([j1]="" [j2]="" [program]="") cpus=([j1]="" [j2]="" [program]="") mem
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    order=(j1 j2 program)
    for run in $(seq "$runs"); do
        line="  run $run:"
        for i in 0 1 2; do
            what=${order[$(((i + run - 1) % 3))]}
            s=$(timed "$what" "$font")
            secs[$what]+="$s "
            cpus[$what]+="$(cpu "$work/time-$what") "
            mem[$what]=$(peak "$work/time-$what")
            line+=" $what $(printf '%.2f' "$s") s"
        done
        echo "$line"
    done
    ours_audio=$(audio "$work/out-j1")
    program_audio=$(audio "$work/out-program")

    declare -A m c
    printf '  %-8s %8s %8s %10s %12s %10s\n' "median" "wall s" "CPU s" "audio s" "x real time" "peak MB"
    for what in j1 j2 program; do
        m[$what]=$(printf '%s\n' ${secs[$what]} | median)
        c[$what]=$(printf '%s\n' ${cpus[$what]} | median)
        a=$ours_audio; [ "$what" = program ] && a=$program_audio
        printf '  %-8s %8.2f %8.2f %10.1f %12.1f %10.0f\n' "$what" "${m[$what]}" "${c[$what]}" \
            "$a" "$(echo "$a / ${m[$what]}" | bc -l)" "$(echo "${mem[$what]} / 1024" | bc -l)"
    done
    printf '  ours j1 / program: %.2fx the wall time, %.2fx the CPU time\n' \
        "$(echo "${m[j1]} / ${m[program]}" | bc -l)" "$(echo "${c[j1]} / ${c[program]}" | bc -l)"
    printf '  j2 over j1: %.2fx faster (wall); CPU time j2 / j1: %.2f\n' \
        "$(echo "${m[j1]} / ${m[j2]}" | bc -l)" "$(echo "${c[j2]} / ${c[j1]}" | bc -l)"
    echo "  load average: $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after" \
        "(other work on the cores skews wall times; CPU times less)"
    first=$(basename "${songs[0]}" .mid)
    /usr/bin/python3 bench/compare_wav.py "$work/out-j1/$first.wav" "$work/out-program/$first.wav"
done
