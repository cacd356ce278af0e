#!/usr/bin/env bash
# Makes the song book of the sample database as a PDF and reads it back with
# programs we did not write: poppler's pdftotext (every song's number and
# title, in Vietnamese alphabetical order), pdffonts (every font embedded)
# and one page rendered by pdftoppm and read by tesseract's Vietnamese model
# (a title with its marks).
#
#   tests/scripts/check-songbook.sh BUILD_DIR [DBDIR]
set -euo pipefail

build=${1:?usage: check-songbook.sh BUILD_DIR [DBDIR]}
cd "$(dirname "$0")/../.."
db=${2:-examples/sample-db}
kdb2mid=$build/kdb2mid
[ -x "$kdb2mid" ] || { echo "$kdb2mid is not built" >&2; exit 2; }
scripts/ensure-deps.sh poppler-utils tesseract-ocr tesseract-ocr-vie fonts-dejavu-core

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-songbook: $*" >&2; exit 1; }

"$kdb2mid" songbook -C "$db" -o "$work/book.pdf" --title "Sổ bài hát" --by title,artist,number

# The title section's lines, "NUMBER TITLE SECOND-TITLE", against the order
# written by hand from the alphabet: B, F, O, then TRỐNG before TWINKLE.
pdftotext -layout "$work/book.pdf" "$work/book.txt"
sed -n '/Songs by title$/,/Songs by composer/p' "$work/book.txt" |
    grep -oE '^ *[0-9]{5} +.*' | sed -E 's/^ *([0-9]+) +/\1 /' >"$work/titles.txt"
expected=("50005 BÈO DẠT MÂY TRÔI" "50003 FRERE JACQUES" "50002 ODE TO JOY" "50004 TRỐNG CƠM"
          "50001 TWINKLE TWINKLE LITTLE STAR")
mapfile -t lines <"$work/titles.txt"
[ ${#lines[@]} -eq ${#expected[@]} ] || { cat "$work/titles.txt" >&2; fail "not 5 songs by title"; }
for i in "${!expected[@]}"; do
    [[ ${lines[i]} == "${expected[i]}"* ]] || fail "line $((i + 1)) is \"${lines[i]}\", not \"${expected[i]}\""
done
grep -q "Sổ bài hát" "$work/book.txt" || fail "the book's title is missing"
grep -q "^ *5 songs" "$work/book.txt" || fail "the cover does not count 5 songs"

# Every font embedded: pdffonts' "emb" column says yes on every line.
pdffonts "$work/book.pdf" | tail -n +3 >"$work/fonts.txt"
[ -s "$work/fonts.txt" ] || fail "pdffonts lists no font"
if awk '{ if ($(NF-4) != "yes") bad = 1 } END { exit !bad }' "$work/fonts.txt"; then
    cat "$work/fonts.txt" >&2
    fail "a font is not embedded"
fi

# Page 2 (the first of the titles) as a picture, read by OCR.
pdftoppm -r 300 -f 2 -l 2 -gray -png "$work/book.pdf" "$work/page"
tesseract "$work"/page*.png "$work/ocr" -l vie >/dev/null 2>&1
grep -q "TRỐNG CƠM" "$work/ocr.txt" || { cat "$work/ocr.txt" >&2; fail "OCR does not find TRỐNG CƠM"; }
echo "check-songbook: order, fonts and OCR of the sample song book pass"
