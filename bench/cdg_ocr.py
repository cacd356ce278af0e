#!/usr/bin/env python3
"""How legible the MP3+G's letters are: OCR of CD+G frames against the lyrics.

    bench/cdg_ocr.py KDB2MID DBDIR [SONG...] [--scaler=neighbor|lanczos]
                                     [--verbose]
                                     (default: every sample song, lanczos)

Converts each song with `kdb2mid convert --cdg --lrc`, decodes the .cdg with
ffmpeg's cdgraphics decoder at the moment 0.3 s before each line's first word
(the line is then on screen, not yet sung), scales the frame 4x and reads it
with `tesseract -l vie`. For each line, the OCR text (one screen line, or any two,
as a long line wraps onto two) that matches it best is compared letter by
letter (NFC, so a wrong mark is a wrong letter); prints the share of the
lyrics' letters read right per song and over all (and of the letters with
marks alone), the worst lines and the letters missed most; with --verbose,
each line not read whole and what was read.
"""
import difflib
import os
import re
import subprocess
import sys
import tempfile
import unicodedata


def lrc_lines(path):
    """(first word's seconds, line text) per timed line of an .lrc."""
    lines = []
    for raw in open(path, encoding="utf-8"):
        m = re.match(r"\[(\d+):(\d+\.\d+)\](.*)", raw.rstrip("\n"))
        if not m or not m.group(3).strip():
            continue
        at = int(m.group(1)) * 60 + float(m.group(2))
        text = re.sub(r"<\d+:\d+\.\d+>", "", m.group(3)).strip()
        if text:
            lines.append((at, unicodedata.normalize("NFC", text)))
    return lines


# How the frame is made 4x larger: "neighbor" keeps the screen's pixels as
# blocks, "lanczos" smooths them as a player's scaler does.
VERBOSE = "--verbose" in sys.argv
SCALER = next((a[9:] for a in sys.argv if a.startswith("--scaler=")), "lanczos")


def frame_png(cdg, seconds, out):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "cdg", "-i", cdg,
                    "-vf", f"fps=25,select='gte(t\\,{seconds:.3f})',scale=1200:864:flags={SCALER}",
                    "-frames:v", "1", out], check=True)


def ocr(png):
    text = subprocess.run(["tesseract", png, "-", "-l", "vie", "--psm", "6"],
                          check=True, capture_output=True, text=True).stdout
    return [unicodedata.normalize("NFC", t.strip()) for t in text.splitlines() if t.strip()]


def letters(text):
    return [c for c in text if not c.isspace()]


def best_match(expected, seen):
    """Letters of expected read right in the best reading, and of those the
    letters with marks (outside ASCII); the counts of both in expected."""
    want = letters(expected)
    # A line wrapped onto two screen lines may go on at the top of the screen.
    candidates = seen + [a + " " + b for a in seen for b in seen if a is not b]
    best, missed = (0, 0), want
    for c in candidates:
        matcher = difflib.SequenceMatcher(None, want, letters(c), autojunk=False)
        blocks = matcher.get_matching_blocks()
        right = sum(b.size for b in blocks)
        marked = sum(1 for b in blocks for ch in want[b.a:b.a + b.size] if ord(ch) > 127)
        if (right, marked) > best:
            best = (right, marked)
            matched = {i for b in blocks for i in range(b.a, b.a + b.size)}
            missed = [ch for i, ch in enumerate(want) if i not in matched]
    return best, (len(want), sum(1 for ch in want if ord(ch) > 127)), missed


def main():
    tool, db = sys.argv[1:3]
    songs = [a for a in sys.argv[3:] if not a.startswith("--")] or ["50001", "50002", "50003", "50004", "50005"]
    work = tempfile.mkdtemp()
    right = total = marked_right = marked_total = 0
    worst = []
    all_missed = []
    for song in songs:
        subprocess.run([tool, "convert", song, "-C", db, "-o", work, "-q", "--cdg", "--lrc"],
                       check=True)
        cdg, lrc = os.path.join(work, song + ".cdg"), os.path.join(work, song + ".lrc")
        # The .cdg's lyrics come as much later as its MP3's sound: find that lead-in from
        # the first line's colour change would need our model; ask the two files instead.
        lead = lead_in(work, song)
        song_right = song_total = 0
        for at, text in lrc_lines(lrc):
            png = os.path.join(work, "frame.png")
            frame_png(cdg, max(at + lead - 0.3, 0), png)
            seen = ocr(png)
            (r, mr), (t, mt), missed = best_match(text, seen)
            all_missed += missed
            if VERBOSE and missed:
                print(f"  {song} {at + lead:7.2f} s: '{text}' read as '{' / '.join(seen)}'")
            song_right += r
            song_total += t
            marked_right += mr
            marked_total += mt
            worst.append((r / t if t else 1, song, text))
        print(f"{song}: {song_right}/{song_total} letters read right ({100 * song_right / song_total:.1f} %)")
        right += song_right
        total += song_total
    print(f"all: {right}/{total} letters read right ({100 * right / total:.2f} %); "
          f"with marks: {marked_right}/{marked_total} ({100 * marked_right / max(marked_total, 1):.1f} %)")
    for share, song, text in sorted(worst)[:5]:
        print(f"  worst: {song} {100 * share:.0f} % {text}")
    counts = {}
    for ch in all_missed:
        counts[ch] = counts.get(ch, 0) + 1
    print("letters missed: " + ", ".join(f"{ch} {n}" for ch, n in
                                         sorted(counts.items(), key=lambda kv: (-kv[1], kv[0]))))


def lead_in(work, song):
    """Seconds the MP3+G's sound starts later than the song's: the MP3 beside the
    .cdg against the song rendered alone, compared by where their sound begins."""
    wav = os.path.join(work, song + "-alone.wav")
    subprocess.run([sys.argv[1], "convert", song, "-C", sys.argv[2], "-o", work, "-q",
                    "--audio", "wav", "--name", "{song}-alone"], check=True)
    return onset(os.path.join(work, song + ".mp3")) - onset(wav)


def onset(path):
    """Seconds to the first sample above -40 dBFS, as ffmpeg decodes the file."""
    raw = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-ac", "1", "-ar",
                          "8000", "-f", "s16le", "-"], check=True, capture_output=True).stdout
    for i in range(0, len(raw) - 1, 2):
        if abs(int.from_bytes(raw[i:i + 2], "little", signed=True)) > 328:
            return i / 2 / 8000
    return 0.0


if __name__ == "__main__":
    main()
