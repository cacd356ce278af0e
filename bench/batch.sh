#!/usr/bin/env bash
# Times a whole-database conversion against the floor no converter can beat.
#
#   bench/batch.sh [SONGS] [RUNS]      (defaults: 20000 songs, 5 runs)
#
# Generates (once) a database of SONGS synthetic songs with records of about
# 5 to 60 KB, then, RUNS times each, times:
#   j1     kdb2mid convert --all -o OUT -j1
#   jN     the same on all cores
#   floor  reading SONG.DAT once (cat > /dev/null) plus copying a finished
#          output folder into a fresh one (cp -r)
# and prints the medians and the ratios to the floor. Every run writes into a
# fresh folder; the page cache is warm for all of them alike.
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-20000}
runs=${2:-5}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-batch}
cores=$(nproc)

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
echo "database: $songs songs, SONG.DAT $(du -m "$db/SONG.DAT" | cut -f1) MB" >&2

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

j1=() jn=() floor=()
for run in $(seq "$runs"); do
    rm -rf "$work/out-j1" "$work/out-jn" "$work/out-copy"
    start=$(now); "$tool" convert --all -C "$db" -o "$work/out-j1" -j1 -q >/dev/null; end=$(now)
    j1+=("$(elapsed "$start" "$end")")
    start=$(now); "$tool" convert --all -C "$db" -o "$work/out-jn" -j"$cores" -q >/dev/null; end=$(now)
    jn+=("$(elapsed "$start" "$end")")
    start=$(now); cat "$db/SONG.DAT" >/dev/null; cp -r "$work/out-j1" "$work/out-copy"; end=$(now)
    floor+=("$(elapsed "$start" "$end")")
    echo "run $run: j1 ${j1[-1]} s, j$cores ${jn[-1]} s, floor ${floor[-1]} s" >&2
done

m1=$(printf '%s\n' "${j1[@]}" | median)
mn=$(printf '%s\n' "${jn[@]}" | median)
mf=$(printf '%s\n' "${floor[@]}" | median)
printf 'median over %d runs (%d songs, %d cores)\n' "$runs" "$songs" "$cores"
printf '  convert --all -j1:      %8.3f s   %.2fx the floor\n' "$m1" "$(echo "$m1 / $mf" | bc -l)"
printf '  convert --all -j%-2d:     %8.3f s   %.2fx the floor\n' "$cores" "$mn" "$(echo "$mn / $mf" | bc -l)"
printf '  floor (cat + cp -r):    %8.3f s\n' "$mf"
