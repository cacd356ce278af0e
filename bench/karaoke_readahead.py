#!/usr/bin/env python3
"""How far ahead a karaoke document lets the singer read, from its .ass files.

    bench/karaoke_readahead.py SONG.ass...

For each lyric line (the Upper and Lower events), when it shows, when its
first word starts and when its last word ends (the {\\k}/{\\kf} times). Prints
per file and over all: the share of singing time (first word to last word's
end, leaving out the first and the last line and a line an instrumental break
of 8 s or more follows) during which another lyric line is on screen, and the
median time a line shows before its first word.
"""
import re
import statistics
import sys

BREAK = 8.0


def clock(text):
    h, m, s = text.split(":")
    return int(h) * 3600 + int(m) * 60 + float(s)


def lines_of(path):
    lines = []
    for raw in open(path, encoding="utf-8"):
        if not raw.startswith("Dialogue:"):
            continue
        fields = raw.rstrip("\n").split(",", 9)
        if fields[3] not in ("Upper", "Lower"):
            continue
        start, end = clock(fields[1]), clock(fields[2])
        t, first = start, None
        for tag, value in re.findall(r"\{\\(kf|k)(\d+)\}", fields[9]):
            if tag == "kf" and first is None:
                first = t
            t += int(value) / 100
        lines.append((start, end, first, t))
    return lines


def measure(lines):
    sung = shown_two = 0.0
    for i, (_, _, first, last) in enumerate(lines):
        if i == 0 or i == len(lines) - 1 or lines[i + 1][2] - last >= BREAK:
            continue
        sung += last - first
        # The other lines' time on screen within this line's singing (they never overlap).
        covered = [(max(s, first), min(e, last)) for j, (s, e, _, _) in enumerate(lines) if j != i]
        shown_two += sum(b - a for a, b in covered if b > a)
    ahead = [first - start for start, _, first, _ in lines]
    return sung, min(shown_two, sung), ahead


def main():
    total_sung = total_two = 0.0
    all_ahead = []
    for path in sys.argv[1:]:
        sung, two, ahead = measure(lines_of(path))
        total_sung += sung
        total_two += two
        all_ahead += ahead
        share = 100 * two / sung if sung else 100
        print(f"{path}: two lines shown {share:.1f} % of {sung:.1f} s sung, "
              f"median {statistics.median(ahead):.2f} s ahead")
    print(f"all: two lines shown {100 * total_two / total_sung:.1f} % of {total_sung:.1f} s sung, "
          f"median {statistics.median(all_ahead):.2f} s ahead over {len(all_ahead)} lines")


main()
