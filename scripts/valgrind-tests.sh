#!/usr/bin/env bash
# Runs the whole test suite under valgrind memcheck on a Debug build: any
# invalid read or write, use of uninitialised memory or leak fails the run.
# The kdb2mid processes that the command-line tests start run under memcheck
# too, and the suite replays every committed fuzz input. The command-line
# audio tests (ConvertAudioCommand) are left out: a kdb2mid rendering songs
# under memcheck takes minutes; the renderer is tested in process instead. Logs, one per
# process, are kept in build/debug/valgrind/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh valgrind
cmake --preset debug -DKDB2MID_BUILD_TESTS=ON >/dev/null
cmake --build --preset debug -j2

# Rendering audio runs FluidSynth (the outputs table's test renders every
# output), whose own one-time set-up valgrind reports as leaks and whose
# synthesis runs fifty times slower under it; the
# hardening tests run the tool under address-space limits that valgrind
# itself cannot start in. The song book's PDF and its Vietnamese order
# load Pango, fontconfig and ICU, whose caches memcheck reports as leaks;
# ASan runs them. The video tests and the CD+G read-back run
# ffmpeg, and FFmpeg's and x264's vector code reads the padding of its own
# buffers, which memcheck reports. Those run under ASan instead (the asan
# preset). The fuzzers' grown corpora (about 2,400 inputs) took over six
# minutes here and are replayed under ASan + UBSan by the asan suite and
# by the fuzzers themselves; their regression inputs stay.
filter=${KDB2MID_VALGRIND_FILTER:--SongRenderer*:*Render*:*Audio*:BookPdf.*:SongbookCommand.*:TitleOrder.*:Hardening.*:KaraokeVideo.*:ConvertVideoCommand.*:CdgReadBack.*:OutputsTable.*:Targets/FuzzInputs.SeedCorpus*}

logs=$PWD/build/debug/valgrind
rm -rf "$logs"
mkdir -p "$logs"
status=0
valgrind --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite,indirect,possible \
    --show-leak-kinds=definite,indirect,possible \
    --trace-children=yes --log-file="$logs/%p.log" \
    build/debug/kdb2mid_tests --gtest_brief=1 --gtest_filter="$filter" || status=$?

# A child's errors show only in its own log (its exit status is the test's
# to judge), so every log is read.
if grep -L "ERROR SUMMARY: 0 errors" "$logs"/*.log | grep -q .; then
    for log in $(grep -L "ERROR SUMMARY: 0 errors" "$logs"/*.log); do
        echo "== $log"
        cat "$log"
    done
    status=1
fi
if [ "$status" -ne 0 ]; then
    echo "valgrind found errors (logs in $logs)" >&2
    exit 1
fi
echo "valgrind: no errors in $(ls "$logs" | wc -l) processes"
