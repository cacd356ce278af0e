#!/usr/bin/env bash
# Times rendering songs to WAV against FluidSynth's own program.
#
#   bench/audio.sh [COPIES] [SOUNDFONT...]
#       (defaults: 4 copies of the 5 sample songs; default-GM.sf2 and TimGM6mb.sf2)
#
# For each soundfont, one after the other, with the page cache warm for all:
#   ours j1   kdb2mid_render_audio -j1 (one renderer, the soundfont loaded once)
#   ours j2   the same with two threads, each with its own renderer
#   program   fluidsynth -ni -F OUT.wav SOUNDFONT SONG.mid, song after song
# and prints wall seconds, the real-time factor (seconds of audio per second),
# our time over the program's, j1 over j2, and peak memory (/usr/bin/time).
# The renders use FluidSynth's own gain and no limiter, so both make the same
# music; compare_wav.py checks that on the first song.
#
# Until the command line offers --audio this runs the test tool that renders
# MIDI files; the lead switches it to `kdb2mid convert --all ... --audio wav`.
set -euo pipefail
cd "$(dirname "$0")/.."

copies=${1:-4}
shift || true
fonts=("$@")
[ ${#fonts[@]} -gt 0 ] || fonts=(/usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2)
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-audio}

scripts/ensure-deps.sh libfluidsynth-dev libsndfile1-dev fluidsynth fluid-soundfont-gm \
    timgm6mb-soundfont time
cmake --preset default -DKDB2MID_BUILD_TESTS=ON >/dev/null
cmake --build --preset default --target kdb2mid kdb2mid_render_audio >/dev/null
tool=build/default/kdb2mid_render_audio

rm -rf "$work"
mkdir -p "$work/mid"
build/default/kdb2mid convert --all -C examples/sample-db -o "$work/one" -q >/dev/null
for ((copy = 1; copy <= copies; ++copy)); do
    for mid in "$work"/one/*.mid; do cp "$mid" "$work/mid/$copy-$(basename "$mid")"; done
done
songs=("$work"/mid/*.mid)
echo "${#songs[@]} songs ($copies copies of the sample songs)"

now() { date +%s.%N; }
peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1" | sort -n | tail -1; }
# User plus system CPU seconds of every run logged in a /usr/bin/time -v file:
# what a run costs even when other work shares the cores.
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }

for font in "${fonts[@]}"; do
    echo
    echo "soundfont $(readlink -f "$font") ($(du -m "$(readlink -f "$font")" | cut -f1) MB)"
    cat "$font" >/dev/null
    declare -A secs mem cpus
    audio=0
    for jobs in 1 2; do
        out="$work/ours-j$jobs"
        rm -rf "$out" && mkdir -p "$out"
        start=$(now)
        /usr/bin/time -v -o "$work/time-j$jobs" "$tool" -j "$jobs" --gain 0.2 --no-limit \
            "$font" "$out" "${songs[@]}" >"$work/log-j$jobs"
        secs[j$jobs]=$(echo "$(now) - $start" | bc -l)
        mem[j$jobs]=$(peak "$work/time-j$jobs")
        cpus[j$jobs]=$(cpu "$work/time-j$jobs")
        audio=$(sed -n 's/^total .* songs, \([0-9.]*\) s of audio.*/\1/p' "$work/log-j$jobs")
    done
    out="$work/program"
    rm -rf "$out" && mkdir -p "$out"
    : >"$work/time-program"
    start=$(now)
    for mid in "${songs[@]}"; do
        /usr/bin/time -v -a -o "$work/time-program" \
            fluidsynth -ni -F "$out/$(basename "$mid" .mid).wav" "$font" "$mid" >/dev/null 2>&1
    done
    secs[program]=$(echo "$(now) - $start" | bc -l)
    mem[program]=$(peak "$work/time-program")
    cpus[program]=$(cpu "$work/time-program")
    program_audio=0
    for wav in "$out"/*.wav; do
        program_audio=$(echo "$program_audio + $(stat -c %s "$wav") / 176400" | bc -l)
    done

    printf '  %-8s %8s %8s %10s %12s %10s\n' run "wall s" "CPU s" "audio s" "x real time" "peak MB"
    for run in j1 j2 program; do
        a=$audio; [ "$run" = program ] && a=$program_audio
        printf '  %-8s %8.2f %8.2f %10.1f %12.1f %10.0f\n' "$run" "${secs[$run]}" "${cpus[$run]}" \
            "$a" "$(echo "$a / ${secs[$run]}" | bc -l)" "$(echo "${mem[$run]} / 1024" | bc -l)"
    done
    printf '  ours j1 / program: %.2fx the wall time, %.2fx the CPU time\n' \
        "$(echo "${secs[j1]} / ${secs[program]}" | bc -l)" "$(echo "${cpus[j1]} / ${cpus[program]}" | bc -l)"
    printf '  j2 over j1: %.2fx faster (wall); CPU time j2 / j1: %.2f\n' \
        "$(echo "${secs[j1]} / ${secs[j2]}" | bc -l)" "$(echo "${cpus[j2]} / ${cpus[j1]}" | bc -l)"
    echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the cores skews wall times)"
    first=$(basename "${songs[0]}" .mid)
    /usr/bin/python3 bench/compare_wav.py "$work/ours-j1/$first.wav" "$work/program/$first.wav"
done
