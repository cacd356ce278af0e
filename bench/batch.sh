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
# and prints the medians and the ratios to the floor, and the peak memory
# of one -j1 and one -jN run.
#
# Every timed command writes into a fresh folder, after `sync`, with the page
# cache warm for all alike, and the three take turns at going first. Outputs
# are deleted only at the end: ext4 creates files far more slowly for a while
# after many were deleted (it skips recently freed inodes one by one), which
# would measure the deletion instead of the run. That needs room for
# 3 x RUNS output folders (about 1.8 GB each for 20000 songs).
# KDB2MID_BENCH_DIR chooses the folder (default $TMPDIR/kdb2mid-batch); put
# it on the disk whose speed you want to know.
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-20000}
runs=${2:-5}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-batch}
cores=$(nproc)

scripts/ensure-deps.sh libbenchmark-dev bc time
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

# The finished output the floor copies, made once; it also warms the cache.
reference="$work/out-reference-$songs"
if [ ! -d "$reference" ]; then
    "$tool" convert --all -C "$db" -o "$reference" -q >/dev/null
fi
echo "output: $(find "$reference" -type f | wc -l) files, $(du -sm "$reference" | cut -f1) MB" >&2

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs one of j1, jn, floor into a fresh folder (out-WHAT-RUN) and prints its seconds.
timed() {
    local out="$work/out-$1-$2"
    rm -rf "$out"
    sync
    local start end
    start=$(now)
    case "$1" in
        j1) "$tool" convert --all -C "$db" -o "$out" -j1 -q >/dev/null ;;
        jn) "$tool" convert --all -C "$db" -o "$out" -j"$cores" -q >/dev/null ;;
        floor) cat "$db/SONG.DAT" >/dev/null; cp -r "$reference" "$out" ;;
    esac
    end=$(now)
    echo "$end - $start" | bc -l
}

declare -A times=([j1]="" [jn]="" [floor]="")
order=(j1 jn floor)
for run in $(seq "$runs"); do
    line="run $run:"
    for i in 0 1 2; do
        what=${order[$(((i + run - 1) % 3))]}
        seconds=$(timed "$what" "$run")
        times[$what]+="$seconds "
        line+=" $what $(printf '%.3f' "$seconds") s"
    done
    echo "$line" >&2
done
for run in $(seq "$runs"); do rm -rf "$work/out-j1-$run" "$work/out-jn-$run" "$work/out-floor-$run"; done

m1=$(printf '%s\n' ${times[j1]} | median)
mn=$(printf '%s\n' ${times[jn]} | median)
mf=$(printf '%s\n' ${times[floor]} | median)

# Peak memory (maximum resident set) of one run each.
peak() {
    local out="$work/out-peak"
    rm -rf "$out"
    /usr/bin/time -f %M "$tool" convert --all -C "$db" -o "$out" -j"$1" -q 2>&1 >/dev/null | tail -1
    rm -rf "$out"
}
p1=$(peak 1)
pn=$(peak "$cores")

printf 'median over %d runs (%d songs, %d cores)\n' "$runs" "$songs" "$cores"
printf '  convert --all -j1:      %8.3f s   %.2fx the floor   peak %d KB\n' "$m1" "$(echo "$m1 / $mf" | bc -l)" "$p1"
printf '  convert --all -j%-5s   %8.3f s   %.2fx the floor   peak %d KB\n' "$cores:" "$mn" "$(echo "$mn / $mf" | bc -l)" "$pn"
printf '  floor (cat + cp -r):    %8.3f s\n' "$mf"
