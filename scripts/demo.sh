#!/usr/bin/env bash
# Builds kdb2mid and converts every song of the bundled sample database into
# out/sample, then lists what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kdb2mid >/dev/null

tool="$PWD/build/default/kdb2mid"
out="$PWD/out/sample"
rm -rf "$out"
mkdir -p "$out"
cd "$out"
cp ../../examples/sample-db/* .
for song in 50001 50002 50003 50004 50005; do
    "$tool" "$song"
done
rm -f SONG.IDX SONG.DAT 'CRS&TCK.IDX' CHORUS.DAT name.idx name.tab
echo "kdb2mid wrote into out/sample:"
ls -l
