#!/usr/bin/env bash
# Converts every song of the bundled sample database with a built kdb2mid and
# reads each MIDI file back with midicsv (Debian package midicsv). Fails on any
# conversion error and on any error or warning from midicsv.
#
#   examples/check-sample-midi.sh BUILD_DIR     e.g. build/default
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
tool="$(cd "$1" && pwd)/kdb2mid"
sample_db="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/sample-db"
if [[ ! -x "$tool" ]]; then
    echo "no kdb2mid in $1: build it first" >&2
    exit 1
fi
if ! command -v midicsv >/dev/null; then
    echo "midicsv not found: apt-get install -y midicsv" >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The converter reads the database from, and writes into, its working folder.
cp "$sample_db"/SONG.IDX "$sample_db"/SONG.DAT "$sample_db"/'CRS&TCK.IDX' "$sample_db"/CHORUS.DAT "$work"/

# SONG.IDX holds one big-endian 32-bit entry per song from 21090 on; a song
# has a record when its entry differs from the next one.
mapfile -t songs < <(od -An -v -tu4 --endian=big "$work/SONG.IDX" |
    awk '{ for (i = 1; i <= NF; i++) v[n++] = $i }
         END { for (i = 0; i + 1 < n; i++) if (v[i] != v[i + 1]) print 21090 + i }')
if [[ ${#songs[@]} -eq 0 ]]; then
    echo "no songs in $sample_db" >&2
    exit 1
fi

for song in "${songs[@]}"; do
    if ! output="$(cd "$work" && "$tool" "$song" 2>&1)"; then
        echo "song $song: kdb2mid failed: $output" >&2
        exit 1
    fi
    if [[ -n "$output" ]]; then
        echo "song $song: kdb2mid printed: $output" >&2
        exit 1
    fi
    if ! midicsv "$work/$song.mid" >"$work/$song.csv" 2>"$work/$song.err"; then
        echo "song $song: midicsv failed: $(cat "$work/$song.err")" >&2
        exit 1
    fi
    if [[ -s "$work/$song.err" ]]; then
        echo "song $song: midicsv complained: $(cat "$work/$song.err")" >&2
        exit 1
    fi
    tracks=$(awk -F', ' '$3 == "Header" { print $5 }' "$work/$song.csv")
    lyrics=$(grep -a -c ', Lyric_t, ' "$work/$song.csv" || true)
    chorus=$(find "$work" -maxdepth 1 -name "${song}_*.mp3" | wc -l)
    echo "song $song: $song.mid $tracks tracks, $lyrics lyric events, $chorus chorus files, midicsv ok"
done
