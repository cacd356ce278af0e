#!/usr/bin/env bash
# Builds kdb2mid with its tests and runs them, every one: the packages the
# suite reads its outputs back with (ffprobe, from ffmpeg, for the audio and
# video; FluidSynth's own program, which --loudness off must match) are
# installed with the build's own, so a fresh clone skips none.
set -euo pipefail
cd "$(dirname "$0")/.."

# One line a step; the build's own lines only when it fails, and of the
# tests the progress, what failed and ctest's closing totals line.
scripts/ensure-deps.sh ffmpeg fluidsynth
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "== configuring (build/default)"
cmake --preset default -DKDB2MID_BUILD_TESTS=ON >"$log" 2>&1 || { cat "$log"; exit 1; }
echo "== building kdb2mid and its tests (a few minutes the first time)"
cmake --build --preset default >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
echo "== running the tests"
ctest --preset default --progress --output-on-failure
