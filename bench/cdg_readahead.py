#!/usr/bin/env python3
"""How far ahead an MP3+G lets the singer read, from its .cdg as ffmpeg
decodes it (cdgraphics) and the song's .lrc.

    bench/cdg_readahead.py KDB2MID DBDIR [SONG...] [-- CONVERT OPTIONS...]
                                   (default: every sample song)

Converts each song with `kdb2mid convert --cdg --lrc` (and `--audio wav`
under another name, to find the MP3's lead-in), decodes the .cdg ten frames
a second and, per tile row (12 pixels), keeps a digest of its pixels and its
count of sung (yellow) pixels. A lyric line's rows are those a word's wipe
adds sung pixels to in that word's own time (a line too long for one place
fills two, and its first may be drawn over while its second is sung); it is
shown from the first frame after which each of those rows stays as it is
just before the line's first word there, and until any of them starts to
lose its sung pixels (the next line drawn over it, or a cleared screen).
Prints per song and over all, as karaoke_readahead.py does for the video:
the share of singing time (first word to the last word's wipe end, leaving
out the first and the last line and a line an instrumental break of 8 s or
more follows) during which another lyric line is on screen, and the median
time a line shows before its first word.
"""
import hashlib
import math
import os
import re
import statistics
import subprocess
import sys
import tempfile

from cdg_ocr import onset

RATE = 10
WIDTH, HEIGHT, TILE = 300, 216, 12
YELLOW = b"\xff\xdd\x00"
BREAK = 8.0
MAX_WIPE = 1.0


def lrc_lines(path):
    """Per timed line of an .lrc, the times of its words."""
    lines = []
    for raw in open(path, encoding="utf-8"):
        times = [int(m) * 60 + float(s) for m, s in re.findall(r"<(\d+):(\d+\.\d+)>", raw)]
        if times:
            lines.append(times)
    return lines


def tile_rows(cdg):
    """Per frame, per tile row: (digest, sung pixels)."""
    proc = subprocess.Popen(["ffmpeg", "-nostdin", "-v", "error", "-f", "cdg", "-i", cdg, "-vf",
                             f"fps={RATE},format=rgb24", "-f", "rawvideo", "-"],
                            stdout=subprocess.PIPE)
    size, band = WIDTH * HEIGHT * 3, WIDTH * TILE * 3
    frames = []
    while True:
        data = proc.stdout.read(size)
        if len(data) < size:
            break
        rows = []
        for r in range(HEIGHT // TILE):
            part = data[r * band:(r + 1) * band]
            rows.append((hashlib.blake2b(part, digest_size=8).digest(), part.count(YELLOW)))
        frames.append(rows)
    proc.wait()
    return frames


def line_rows(frames, words, next_first, at):
    """Per tile row a line is sung in, the time of its first word there.

    A line wrapped over two screen lines is sung in both, and its first screen
    line may be drawn over while the second is sung; so a row is found as
    one a word's wipe adds sung pixels to, from just after the word starts
    (the word before it has finished) to just before its wipe ends (the next
    word, maybe the next line's, starts there)."""
    rows = {}
    for j, start in enumerate(words):
        end = min(start + MAX_WIPE, words[j + 1] if j + 1 < len(words) else next_first)
        before, after = at(start + 0.05), at(end - 0.05)
        for r in range(HEIGHT // TILE):
            if frames[after][r][1] > frames[before][r][1]:
                rows.setdefault(r, start)
    # A run of adjacent rows is one screen line, first sung at its first word
    # (a short word's wipe may fall between two frames).
    ordered = sorted(rows)
    for k in range(1, len(ordered)):
        if ordered[k] == ordered[k - 1] + 1:
            rows[ordered[k]] = rows[ordered[k - 1]] = min(rows[ordered[k]], rows[ordered[k - 1]])
    for k in range(len(ordered) - 1, 0, -1):
        if ordered[k] == ordered[k - 1] + 1:
            rows[ordered[k - 1]] = min(rows[ordered[k]], rows[ordered[k - 1]])
    return rows


def measure(frames, lines, lead):
    def at(seconds):
        """The last frame showing the screen at seconds."""
        return max(0, min(len(frames) - 1, math.floor(seconds * RATE)))

    spans = []  # (shown from, first word, sung until, shown until) per line
    for i, times in enumerate(lines):
        words = [t + lead for t in times]
        first = words[0]
        next_first = lines[i + 1][0] + lead if i + 1 < len(lines) else math.inf
        end = min(words[-1] + MAX_WIPE, next_first)
        rows = line_rows(frames, words, next_first, at)
        if not rows:
            spans.append((first, first, end, end))
            continue
        # Shown once every row of it stays as it is until that row's first word.
        shown = 0
        for r, sung_from in rows.items():
            before = at(sung_from - 0.15)  # a frame may show a little after its time
            n = before
            while n > 0 and frames[n - 1][r][0] == frames[before][r][0]:
                n -= 1
            shown = max(shown, n)
        # Shown until any of its rows starts to lose its sung pixels (drawn over or cleared).
        m = at(first)
        while m + 1 < len(frames) and all(frames[m + 1][r][1] >= frames[m][r][1] for r in rows):
            m += 1
        spans.append((shown / RATE, first, end, (m + 1) / RATE))
    sung = two = 0.0
    for i, (_, first, end, _) in enumerate(spans):
        if i == 0 or i == len(spans) - 1 or spans[i + 1][1] - end >= BREAK:
            continue
        sung += end - first
        covered = []
        if spans[i - 1][3] > first:
            covered.append((first, min(end, spans[i - 1][3])))
        if spans[i + 1][0] < end:
            covered.append((max(first, spans[i + 1][0]), end))
        if len(covered) == 2 and covered[0][1] >= covered[1][0]:
            two += end - first
        else:
            two += sum(b - a for a, b in covered)
    ahead = [first - shown for shown, first, _, _ in spans]
    return sung, two, ahead


def main():
    args = sys.argv[1:]
    extra = args[args.index("--") + 1:] if "--" in args else []
    args = args[:args.index("--")] if "--" in args else args
    tool, db = args[:2]
    songs = args[2:] or ["50001", "50002", "50003", "50004", "50005"]
    work = tempfile.mkdtemp()
    total_sung = total_two = 0.0
    all_ahead = []
    for song in songs:
        subprocess.run([tool, "convert", song, "-C", db, "-o", work, "-q", "--cdg", "--lrc", *extra],
                       check=True)
        subprocess.run([tool, "convert", song, "-C", db, "-o", work, "-q", "--audio", "wav",
                        "--name", "{song}-alone", *extra], check=True)
        stem = os.path.join(work, song)
        lead = onset(stem + ".mp3") - onset(stem + "-alone.wav")
        sung, two, ahead = measure(tile_rows(stem + ".cdg"), lrc_lines(stem + ".lrc"), lead)
        total_sung += sung
        total_two += two
        all_ahead += ahead
        print(f"{song}: two lines shown {100 * two / sung if sung else 100:.1f} % of {sung:.1f} s sung, "
              f"median {statistics.median(ahead):.2f} s ahead, least {min(ahead):.2f} s")
    print(f"all: two lines shown {100 * total_two / total_sung:.1f} % of {total_sung:.1f} s sung, "
          f"median {statistics.median(all_ahead):.2f} s ahead over {len(all_ahead)} lines")


main()
