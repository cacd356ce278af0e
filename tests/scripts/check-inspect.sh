#!/bin/sh
# Reads `kdb2mid info --json` for every song of a database and `list --json`
# with Python's json module, an independent parser: every line one object
# with the expected fields, every string valid UTF-8. Then searches the
# database for a song it holds.
#
#   tests/scripts/check-inspect.sh BUILD_DIR DBDIR [WORDS EXPECTED_LINE]
#
# Defaults: the sample database's "trong com", which finds "50004<TAB>TRỐNG CƠM".
set -eu

if [ $# -ne 2 ] && [ $# -ne 4 ]; then
    echo "usage: $0 BUILD_DIR DBDIR [WORDS EXPECTED_LINE]" >&2
    exit 2
fi
kdb2mid=$1/kdb2mid
db=$2
words=${3:-trong com}
expected=${4:-$(printf '50004\tTRỐNG CƠM')}
python=/usr/bin/python3
[ -x "$kdb2mid" ] || { echo "$kdb2mid is not built" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The search cache goes here, not into the user's home.
export XDG_CACHE_HOME="$work/cache"

"$kdb2mid" list --json -C "$db" >"$work/list.jsonl"
for song in $("$python" -c '
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    song = json.loads(line)
    assert set(song) == {"song", "name"}, song
    assert isinstance(song["song"], int) and isinstance(song["name"], str), song
    print(song["song"])
' "$work/list.jsonl"); do
    "$kdb2mid" info "$song" --json -C "$db" >"$work/$song.json" || true
    [ -s "$work/$song.json" ] && echo "$work/$song.json"
done >"$work/infos"

"$python" - "$work/infos" <<'PY'
import json, sys
keys = {"song", "titles", "tracks", "ticks", "seconds", "lyrics", "chorus", "melody"}
count = 0
for path in open(sys.argv[1]).read().split():
    text = open(path, encoding="utf-8").read()
    assert text.count("\n") == 1, path
    song = json.loads(text)
    assert set(song) == keys, (path, set(song) ^ keys)
    assert all(isinstance(t, str) for t in song["titles"] + song["lyrics"]), path
    assert song["seconds"] >= 0 and song["ticks"] >= 0, path
    melody = song["melody"]
    assert melody["covered"] <= melody["words"], path
    assert melody["track"] is None or 1 <= melody["track"] <= song["tracks"], path
    count += 1
assert count > 0, "no song read"
print(f"info --json: {count} songs parsed")
PY
echo "list --json: $(wc -l <"$work/list.jsonl") lines parsed"

# shellcheck disable=SC2086  # the words are meant to be split
found=$("$kdb2mid" search $words -C "$db")
[ "$found" = "$expected" ] || { echo "search $words: got '$found', expected '$expected'" >&2; exit 1; }
# The second search reads the cache and answers the same.
[ "$("$kdb2mid" search $words -C "$db")" = "$expected" ] || { echo "search from the cache differs" >&2; exit 1; }
ls "$XDG_CACHE_HOME"/kdb2mid/search-*.cache >/dev/null
if "$kdb2mid" search zzzzzz -C "$db" >/dev/null; then echo "search zzzzzz found something" >&2; exit 1; fi
echo "search: '$words' finds $expected"
