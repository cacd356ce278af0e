#!/usr/bin/env bash
# Times song search on a generated database: the first search (no cache:
# every record decoded) and repeated searches (through the cache).
#
#   bench/search.sh [SONGS] [RUNS]      (defaults: 30000 songs, 5 runs)
#
# Generates (once) a database of SONGS synthetic songs with names, then RUNS
# times each times one whole `kdb2mid search` process with the cache removed
# and with the cache in place, and prints the medians. The page cache is warm for
# both: the first run reads the database once before timing starts.
# KDB2MID_BENCH_DIR chooses the folder (default $TMPDIR/kdb2mid-search).
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-30000}
runs=${2:-5}
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-search}

scripts/ensure-deps.sh libbenchmark-dev nlohmann-json3-dev bc
cmake --preset bench >/dev/null
cmake --build --preset bench --target make_search_database kdb2mid >/dev/null
kdb2mid="$PWD/build/bench/kdb2mid"
generate="$PWD/build/bench/make_search_database"
[ -x "$generate" ] || generate="$PWD/build/bench/bench/make_search_database"

db="$work/db-$songs"
if [ ! -f "$db/name.tab" ]; then
    echo "generating $songs songs into $db ..." >&2
    mkdir -p "$db"
    "$generate" "$db" "$songs"
fi
echo "database: $songs songs, SONG.DAT $(du -m "$db/SONG.DAT" | cut -f1) MB" >&2
cat "$db/SONG.DAT" >/dev/null

# The search cache goes to $XDG_CACHE_HOME/kdb2mid: here, not the user's.
cache="$work/cache"
export XDG_CACHE_HOME="$cache"
now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs one search and prints its seconds; the matches go to $work/matches.
timed() {
    local start end
    start=$(now)
    "$kdb2mid" search "$@" -C "$db" >"$work/matches" 2>>"$work/log" || true
    end=$(now)
    echo "$end - $start" | bc -l
}

first="" repeat=""
: >"$work/log"
for run in $(seq "$runs"); do
    rm -rf "$cache"
    f=$(timed trong com)
    r=$(timed trong com)
    first+="$f "
    repeat+="$r "
    printf 'run %d: first %.3f s, repeated %.3f s\n' "$run" "$f" "$r" >&2
done
if [ -s "$work/log" ]; then tail -2 "$work/log" >&2; fi
echo "matches for 'trong com': $(wc -l <"$work/matches"), first: $(head -1 "$work/matches")" >&2
echo "cache file: $(du -k "$cache"/kdb2mid/* | cut -f1) KB" >&2

printf 'median over %d runs (%d songs, %d cores)\n' "$runs" "$songs" "$(nproc)"
printf '  first search (builds the cache): %8.3f s\n' "$(printf '%s\n' $first | median)"
printf '  repeated search (reads it):      %8.3f s\n' "$(printf '%s\n' $repeat | median)"
