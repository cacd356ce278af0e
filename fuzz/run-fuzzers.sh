#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for SECONDS each (default
# 60), starting from a scratch copy of its committed seed corpus (the
# committed corpus is never written). Fails on any finding: a crash, a broken
# check, a leak, an input slower than 5 s, more than 2 GiB resident or a
# single allocation over 64 MiB (no input here is near that large, so such an
# allocation trusts a size the input merely claims). Findings are kept under
# build/fuzz/findings/<target>/; each belongs in fuzz/regressions/<target>/
# once fixed.
#   fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true

scripts/ensure-deps.sh clang libclang-rt-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for fuzzer in build/fuzz/fuzz/kdb2mid_fuzz_*; do
        targets+=("${fuzzer##*/kdb2mid_fuzz_}")
    done
fi


max_len_for() {
    case "$1" in
        record) echo 16384 ;;       # one song record
        song_files) echo 16385 ;;   # an option byte and one song record
        serve_router) echo 20000 ;; # a request: the body bound (16 KB) and more
        night_file) echo 65536 ;;   # a state file: a full queue and some history
        *) echo 65536 ;;            # several files in one input
    esac
}

# The conversion target writes a small database and its outputs for every
# input into the temporary folder; a memory-backed one keeps that from
# waiting on the disk, and removing it here cleans up after fuzzers that
# stopped without their own cleanup.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch=$(mktemp -d /dev/shm/kdb2mid-fuzz.XXXXXX)
else
    scratch=$(mktemp -d)
fi
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch/tmp"
mkdir -p "$TMPDIR"
status=0
for target in "${targets[@]}"; do
    fuzzer="$root/build/fuzz/fuzz/kdb2mid_fuzz_$target"
    findings="$root/build/fuzz/findings/$target"
    corpus="$scratch/$target"
    mkdir -p "$corpus" "$findings"
    cp "$root/fuzz/corpus/$target/"* "$corpus/"
    echo "== fuzzing $target for ${seconds}s"
    if (cd "$scratch" && "$fuzzer" "$corpus" \
            -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -malloc_limit_mb=64 \
            -max_len="$(max_len_for "$target")" -artifact_prefix="$findings/" \
            -print_final_stats=1 >"$scratch/$target.log" 2>&1); then
        grep -E '^stat::number_of_executed_units' "$scratch/$target.log" || true
    else
        status=1
        tail -n 60 "$scratch/$target.log"
        echo "FINDING in $target; inputs kept in build/fuzz/findings/$target/" >&2
    fi
done
exit $status
