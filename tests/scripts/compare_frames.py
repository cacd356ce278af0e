#!/usr/bin/env python3
"""Compares frames of a karaoke video at word times with FFmpeg's ass filter
drawing the same .ass over black.

    compare_frames.py VIDEO.mp4 SONG.ass WIDTHxHEIGHT

For three words of the first lyric line (a moment while each is being sung),
both pictures are decoded to RGB (ours from BT.709, as its stream says;
the ass filter draws in BT.601) and compared over the pixels where either
shows lyrics: the mean difference per channel must stay under 4 levels of
255. Frames drawn from the same document at the same moment differ by 1 to
2 (encoding loss, rounding); a frame of the same line 0.24 s later, one
more word lit, differs by 8.
"""
import re
import subprocess
import sys

THRESHOLD = 4.0
INK = 24  # the three channels together: brighter than this is lyrics
FPS = 25


def frames(args, filters, matrix, numbers, width, height):
    select = "+".join(f"eq(n\\,{n})" for n in numbers)
    chain = f"{filters}select='{select}',scale=in_color_matrix={matrix}:in_range=tv,format=rgb24"
    raw = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", *args, "-vf", chain,
                          "-fps_mode", "passthrough", "-f", "rawvideo", "-"],
                         check=True, capture_output=True).stdout
    size = width * height * 3
    return [raw[i:i + size] for i in range(0, len(raw) - size + 1, size)]


def difference(a, b):
    total = count = 0
    for i in range(0, len(a), 3):
        x, y = a[i:i + 3], b[i:i + 3]
        if sum(x) <= INK and sum(y) <= INK:
            continue
        total += abs(x[0] - y[0]) + abs(x[1] - y[1]) + abs(x[2] - y[2])
        count += 3
    return total / count if count else 0.0


def word_times(ass):
    """Start times of the words of the first lyric line, in seconds."""
    for line in open(ass, encoding="utf-8"):
        fields = line.split(",", 9)
        if not line.startswith("Dialogue:") or fields[3] not in ("Upper", "Lower"):
            continue
        h, m, s = fields[1].split(":")
        clock = int(h) * 3600 + int(m) * 60 + float(s)
        times = []
        for tag, value in re.findall(r"\{\\(kf|k)(\d+)\}", fields[9]):
            if tag == "kf":
                times.append(clock)
            clock += int(value) / 100
        return times
    sys.exit(f"{ass}: no lyric line")


def main():
    video, ass, size = sys.argv[1:4]
    width, height = (int(v) for v in size.split("x"))
    times = word_times(ass)[:3]
    # A moment a little into each word, on a frame.
    numbers = [round((t + 0.12) * FPS) for t in times]
    ours = frames(["-i", video], "", "bt709", numbers, width, height)
    ref = frames(["-f", "lavfi", "-i", f"color=c=black:s={size}:r={FPS}:d={max(times) + 2}"],
                 f"format=yuv420p,ass={ass},", "bt601", numbers, width, height)
    if len(ours) != len(numbers) or len(ref) != len(numbers):
        sys.exit(f"{video}: frames {numbers} could not be decoded")
    failed = False
    for n, a, b in zip(numbers, ours, ref):
        apart = difference(a, b)
        print(f"frame {n}: {apart:.2f} from ffmpeg's ass filter (threshold {THRESHOLD})")
        failed |= apart >= THRESHOLD
    sys.exit(1 if failed else 0)


main()
