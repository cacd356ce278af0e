#!/usr/bin/env bash
# Builds kdb2mid and converts every song of the bundled sample database into
# out/sample, then lists what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kdb2mid >/dev/null

tool=build/default/kdb2mid
rm -rf out/sample
"$tool" convert --all -C examples/sample-db -o out/sample
echo
echo "kdb2mid wrote into out/sample:"
ls -l out/sample
echo
echo "Song 50004 as kdb2mid info shows it:"
"$tool" info 50004 -C examples/sample-db
