#!/usr/bin/env bash
# Builds the Windows executable build/mingw/kdb2mid.exe with Debian's
# MinGW-w64 cross compiler, installing it first if it is missing. Only the
# tool is built; the tests run on the build machine's own build.
#   KDB2MID_WERROR=ON scripts/cross-windows.sh   treats warnings as errors
set -euo pipefail
cd "$(dirname "$0")/.."

# The cross compiler and the argument parser's headers (header-only, shared
# with the native build).
scripts/ensure-deps.sh g++-mingw-w64-x86-64 nlohmann-json3-dev

cmake --preset mingw -DKDB2MID_WERROR="${KDB2MID_WERROR:-OFF}" >/dev/null
cmake --build --preset mingw -j"${KDB2MID_JOBS:-2}"
file build/mingw/kdb2mid.exe 2>/dev/null || ls -l build/mingw/kdb2mid.exe
