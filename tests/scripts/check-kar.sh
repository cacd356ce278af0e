#!/bin/sh
# Converts songs of a database to .kar and reads each back with mido, a MIDI
# parser independent of kdb2mid, checking its titles and lines against the
# expected ones and its timing and data tracks against the song's .mid.
#
#   tests/scripts/check-kar.sh BUILD_DIR DBDIR [EXPECTED_DIR]
#
# EXPECTED_DIR (default tests/scripts/kar-expected/<name of DBDIR>) holds one
# SONG.txt per song to check (format: see check_kar.py).
set -eu

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 BUILD_DIR DBDIR [EXPECTED_DIR]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$1
db=$2
expected=${3:-$here/kar-expected/$(basename "$(cd "$db" && pwd)")}
writer=$build/kdb2mid_write_karaoke
python=/usr/bin/python3

[ -x "$writer" ] || { echo "$writer is not built" >&2; exit 2; }
"$python" -c 'import mido' 2>/dev/null || {
    echo "python3-mido is missing (apt-get install -y python3-mido)" >&2; exit 2; }

songs=$(cd "$expected" 2>/dev/null && ls -- *.txt 2>/dev/null | sed 's/\.txt$//') || true
[ -n "$songs" ] || { echo "no expected lines in $expected" >&2; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# shellcheck disable=SC2086  # one argument per song number
"$writer" convert "$db" "$out" --lyrics utf8 $songs

status=0
for song in $songs; do
    "$python" "$here/check_kar.py" "$out/$song.kar" "$expected/$song.txt" \
        --mid "$out/$song.mid" || status=1
done
exit $status
