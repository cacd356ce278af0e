#!/usr/bin/env bash
# Times `kdb2mid songbook` on a generated database against its goals: a
# 30,000-song book in at most 10 s and 200 MB, the PDF at most 4 MB.
#
#   bench/songbook.sh [SONGS] [RUNS]      (defaults: 30000 songs, 3 runs)
#
# Generates (once, with make_search_database: Vietnamese names, titles from
# the records) a database of SONGS songs, then RUNS times makes the PDF
# (sections by title and by second title) and the HTML page, and prints each
# one's median wall time, CPU time, peak memory and file size. The page cache
# is warm: the database is read once before timing starts.
# KDB2MID_BENCH_DIR chooses the folder (default $TMPDIR/kdb2mid-search, shared
# with bench/search.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-30000}
runs=${2:-3}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-search}

scripts/ensure-deps.sh libbenchmark-dev time
cmake --preset bench >/dev/null
cmake --build --preset bench --target make_search_database kdb2mid >/dev/null
kdb2mid="$PWD/build/bench/kdb2mid"
generate="$PWD/build/bench/make_search_database"

db="$work/db-$songs"
if [ ! -f "$db/name.tab" ]; then
    echo "generating $songs songs into $db ..." >&2
    mkdir -p "$db"
    "$generate" "$db" "$songs"
fi
cat "$db/SONG.DAT" >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for format in pdf html; do
    : >"$out/times"
    for run in $(seq "$runs"); do
        /usr/bin/time -f '%e %U %S %M' -o "$out/time" "$kdb2mid" songbook -C "$db" -o "$out/book.$format"
        read -r wall user system kb <"$out/time"
        echo "$wall $(echo "$user + $system" | bc -l) $kb" >>"$out/times"
        printf '%s run %d: %.2f s wall, %.2f s CPU, %d MB\n' "$format" "$run" "$wall" \
            "$(echo "$user + $system" | bc -l)" $((kb / 1024)) >&2
    done
    printf '%s, %d songs, median of %d runs on %d cores: %.2f s wall, %.2f s CPU, %d MB peak, file %.2f MB\n' \
        "$format" "$songs" "$runs" "$(nproc)" "$(cut -d' ' -f1 "$out/times" | median)" \
        "$(cut -d' ' -f2 "$out/times" | median)" "$(( $(cut -d' ' -f3 "$out/times" | median | cut -d. -f1) / 1024 ))" \
        "$(echo "$(stat -c %s "$out/book.$format") / 1048576" | bc -l)"
done
echo "goals for the PDF: at most 10 s, 200 MB, 4 MB"
