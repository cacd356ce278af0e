#!/usr/bin/env bash
# Times writing the lyric files: `convert --all` against
# `convert --all --lrc --ass` on bench/batch.sh's generated database.
#
#   bench/lyrics.sh [SONGS] [RUNS]      (defaults: 5000 songs, 5 runs)
#
# Both run -j1 into a fresh folder, after `sync`, with the page cache warm,
# taking turns at going first. Prints the medians, their ratio (the goal is
# at most 1.3) and the load average. Outputs are deleted only at the end,
# as in batch.sh (ext4 creates files slowly for a while after many were
# deleted). KDB2MID_BENCH_DIR chooses the folder (default $TMPDIR/kdb2mid-batch,
# batch.sh's, so its database is reused).
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-5000}
runs=${2:-5}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-batch}

scripts/ensure-deps.sh libbenchmark-dev bc
cmake --preset bench >/dev/null
cmake --build --preset bench --target kdb2mid make_large_database >/dev/null
tool="$PWD/build/bench/kdb2mid"

db="$work/db-$songs"
if [ ! -f "$db/SONG.DAT" ]; then
    echo "generating $songs songs into $db ..." >&2
    mkdir -p "$db"
    build/bench/make_large_database "$db" "$songs"
fi
cat "$db"/* >/dev/null

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

timed() {
    local out="$work/lyrics-$1-$2"
    rm -rf "$out"
    sync
    local start
    start=$(now)
    case "$1" in
        plain) "$tool" convert --all -C "$db" -o "$out" -j1 -q >/dev/null ;;
        lyrics) "$tool" convert --all -C "$db" -o "$out" -j1 -q --lrc --ass >/dev/null ;;
    esac
    echo "$(now) - $start" | bc -l
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
declare -A times=([plain]="" [lyrics]="")
order=(plain lyrics)
for run in $(seq "$runs"); do
    line="run $run:"
    for i in 0 1; do
        what=${order[$(((i + run - 1) % 2))]}
        seconds=$(timed "$what" "$run")
        times[$what]+="$seconds "
        line+=" $what $(printf '%.3f' "$seconds") s"
    done
    echo "$line" >&2
done
files=$(find "$work/lyrics-lyrics-1" -type f | wc -l)
for run in $(seq "$runs"); do rm -rf "$work/lyrics-plain-$run" "$work/lyrics-lyrics-$run"; done

mp=$(printf '%s\n' ${times[plain]} | median)
ml=$(printf '%s\n' ${times[lyrics]} | median)
printf 'median over %d runs (%d songs, -j1; %d files with lyric files)\n' "$runs" "$songs" "$files"
printf '  convert --all:              %8.3f s\n' "$mp"
printf '  convert --all --lrc --ass:  %8.3f s   %.2fx\n' "$ml" "$(echo "$ml / $mp" | bc -l)"
echo "  load average: $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after"
