#!/bin/sh
# Checks `kdb2mid serve` through HTTP with readers kdb2mid did not write
# (check_serve.py: http.client, json, base64, mido): the song data against
# the .mid convert writes and mido's times, paths that climb out, the
# soundfont, memory, a port in use and a stop by SIGTERM.
#
#   tests/scripts/check-serve.sh BUILD_DIR DBDIR SONG...
set -eu

if [ $# -lt 3 ]; then
    echo "usage: $0 BUILD_DIR DBDIR SONG..." >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
[ -x "$build/kdb2mid" ] || { echo "$build/kdb2mid is not built" >&2; exit 2; }
"$build/kdb2mid" serve --help >/dev/null 2>&1 || {
    echo "this build has no serve (KDB2MID_SERVE is off): nothing to check" >&2; exit 0; }
/usr/bin/python3 -c 'import mido' 2>/dev/null || {
    echo "python3-mido is missing (apt-get install -y python3-mido)" >&2; exit 2; }
exec /usr/bin/python3 "$here/check_serve.py" "$build/kdb2mid" "$@"
