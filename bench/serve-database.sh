# Sourced by bench/serve.sh and bench/party.sh, with songs set: the kdb2mid
# to time (KDB2MID_BUILD's, else the bench preset's, built here) in build,
# and bench/search.sh's database of that many songs (make_search_database),
# generated once into KDB2MID_BENCH_DIR (default $TMPDIR/kdb2mid-search),
# in db; work is that folder.
work=${KDB2MID_BENCH_DIR:-${TMPDIR:-/tmp}/kdb2mid-search}
build=${KDB2MID_BUILD:-}

if [ -z "$build" ]; then
    scripts/ensure-deps.sh libbenchmark-dev nlohmann-json3-dev
    cmake --preset bench >/dev/null
    cmake --build --preset bench --target make_search_database kdb2mid >/dev/null
    build=$PWD/build/bench
fi
generate=$build/make_search_database
[ -x "$generate" ] || generate=$build/bench/make_search_database
db="$work/db-$songs"
if [ ! -f "$db/name.tab" ]; then
    echo "generating $songs songs into $db ..." >&2
    mkdir -p "$db"
    "$generate" "$db" "$songs"
fi
