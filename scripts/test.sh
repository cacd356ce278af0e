#!/usr/bin/env bash
# Builds kdb2mid with its tests and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh
cmake --preset default -DKDB2MID_BUILD_TESTS=ON >/dev/null
cmake --build --preset default
ctest --preset default
