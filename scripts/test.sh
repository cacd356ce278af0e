#!/usr/bin/env bash
# Builds kdb2mid with its tests and runs them, every one: the packages the
# suite reads its outputs back with (ffprobe, from ffmpeg, for the audio and
# video; FluidSynth's own program, which --loudness off must match) are
# installed with the build's own, so a fresh clone skips none.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh ffmpeg fluidsynth
cmake --preset default -DKDB2MID_BUILD_TESTS=ON >/dev/null
cmake --build --preset default
ctest --preset default
