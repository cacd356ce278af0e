#!/usr/bin/env python3
"""Reads a karaoke video or MP3+G back through FFmpeg and checks what a singer
sees, against our own timed lyrics (the .lrc) and the song's own sound.

    check_karaoke_frames.py video SONG.mp4 WIDTHxHEIGHT SONG.lrc ALONE.wav
    check_karaoke_frames.py cdg SONG.cdg SONG.mp3 SONG.lrc ALONE.wav
    check_karaoke_frames.py break SONG.ass WIDTHxHEIGHT SONG.lrc
    check_karaoke_frames.py offset SOUND ALONE.wav    (prints the lead-in's seconds)

ALONE.wav is the same song from `--audio wav`, which keeps the song's timing:
where the picture's sound starts later (the title's lead-in), the .lrc's
times move by as much. Checked, each on frames FFmpeg decodes:
- sync: the first word's wipe starts within 50 ms of its time in the
  picture's own sound (for the video, extrapolated from how far the colour
  has moved across the word in two frames; for the CD+G, the first 1/100 s
  frame with the sung colour);
- the title screen at 1.5 s: tesseract (-l vie) reads the song's title;
- while a mid-song line ends, two lyric lines are on screen: one with sung
  letters, one without any;
- the text's size and place: every row of text at least 8 % of the picture
  tall (its capitals are), all of it inside a 5 % margin and around the
  middle;
- (break) a moment into an instrumental break of 8 s or more, drawn by
  FFmpeg's ass filter from the .ass alone: not blank, the bar drawn.
"""
import difflib
import re
import subprocess
import sys
import unicodedata

GOLD, WHITE = "gold", "white"


def ffmpeg(args):
    return subprocess.run(["ffmpeg", "-nostdin", "-v", "error", *args], check=True,
                          capture_output=True).stdout


def lrc(path):
    """The title and, per line, the times of its words, from an .lrc."""
    title, lines = "", []
    for raw in open(path, encoding="utf-8"):
        raw = raw.rstrip("\n")
        if raw.startswith("[ti:"):
            title = raw[4:-1]
        times = [int(m) * 60 + float(s) for m, s in re.findall(r"<(\d+):(\d+\.\d+)>", raw)]
        if times:
            lines.append(times)
    return title, lines


def onset(path):
    """Seconds to the first sample above -40 dBFS, as FFmpeg decodes the file."""
    raw = ffmpeg(["-i", path, "-ac", "1", "-ar", "8000", "-f", "s16le", "-"])
    for i in range(0, len(raw) - 1, 2):
        if abs(int.from_bytes(raw[i:i + 2], "little", signed=True)) > 328:
            return i / 2 / 8000
    sys.exit(f"{path}: silent")


class Frame:
    def __init__(self, data, width, height):
        self.data, self.width, self.height = data, width, height

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def kind(self, x, y):
        r, g, b = self.pixel(x, y)
        if r > 160 and g > 110 and b < 100 and r - b > 100:
            return GOLD
        if r > 170 and g > 170 and b > 170:
            return WHITE
        return None

    def rows(self, top_share=0.0):
        """Bands of rows holding letters: (top, bottom, kinds seen, left, right)."""
        bands, current = [], None
        for y in range(int(top_share * self.height), self.height):
            kinds, xs = set(), []
            for x in range(self.width):
                k = self.kind(x, y)
                if k:
                    kinds.add(k)
                    xs.append(x)
            if len(xs) >= 2:
                # Marks above or below letters stand a few pixels apart from them.
                if current and y - current[1] <= max(2, self.height // 50):
                    current = (current[0], y, current[2] | kinds, min(current[3], xs[0]),
                               max(current[4], xs[-1]))
                else:
                    if current:
                        bands.append(current)
                    current = (y, y, kinds, xs[0], xs[-1])
        if current:
            bands.append(current)
        return bands

    def gold_columns(self, top_share):
        cols = set()
        for y in range(int(top_share * self.height), self.height):
            for x in range(self.width):
                if self.kind(x, y) == GOLD:
                    cols.add(x)
        return len(cols)


def has_pixel(data, rgb):
    """Whether a pixel of exactly this colour is in packed RGB data."""
    at = data.find(rgb)
    while at >= 0 and at % 3:
        at = data.find(rgb, at + 1)
    return at >= 0


def frames(args, filters, numbers, width, height):
    select = "+".join(f"eq(n\\,{n})" for n in numbers)
    raw = ffmpeg([*args, "-vf", f"{filters}select='{select}',format=rgb24", "-fps_mode",
                  "passthrough", "-f", "rawvideo", "-"])
    size = width * height * 3
    got = [Frame(raw[i:i + size], width, height) for i in range(0, len(raw) - size + 1, size)]
    if len(got) != len(set(numbers)):
        sys.exit(f"frames {numbers} could not all be decoded")
    # FFmpeg gives them in time order.
    by_number = dict(zip(sorted(set(numbers)), got))
    return [by_number[n] for n in numbers]


def letters(text):
    return [c for c in unicodedata.normalize("NFC", text).lower() if c.isalnum()]


def reads_title(frame, title, problems, scale):
    proc = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-f", "rawvideo", "-pix_fmt",
                           "rgb24", "-s", f"{frame.width}x{frame.height}", "-i", "-", "-vf",
                           f"scale=iw*{scale}:ih*{scale}:flags=neighbor", "-f", "image2pipe",
                           "-c:v", "png", "-"], input=frame.data, check=True, capture_output=True)
    png = proc.stdout
    text = subprocess.run(["tesseract", "-", "-", "-l", "vie", "--psm", "6"], input=png,
                          check=True, capture_output=True).stdout.decode("utf-8", "replace")
    # The share of the title's letters found in order in what was read.
    want = letters(title)
    blocks = difflib.SequenceMatcher(None, want, letters(text), autojunk=False).get_matching_blocks()
    ratio = sum(block.size for block in blocks) / max(len(want), 1)
    seen = " / ".join(t.strip() for t in text.splitlines() if t.strip())
    print(f"at 1.5 s tesseract reads '{seen}' for the title '{title}' ({100 * ratio:.0f} % of its letters)")
    if ratio < 0.8:
        problems.append(f"title not read at 1.5 s: '{seen}'")


def check_layout(frame, top_share, problems, what):
    bands = frame.rows(top_share)
    sung = [b for b in bands if GOLD in b[2]]
    unsung = [b for b in bands if GOLD not in b[2]]
    h, w = frame.height, frame.width
    print(f"{what}: rows of text (top, bottom) " +
          ", ".join(f"{b[0]}-{b[1]}{'*' if GOLD in b[2] else ''}" for b in bands) +
          f" of {h}; * has sung letters")
    if not sung or not unsung:
        problems.append(f"{what}: not two lines (one sung, one to come)")
    for top, bottom, _, left, right in bands:
        if bottom - top + 1 < 0.08 * h:
            problems.append(f"{what}: a row {bottom - top + 1} px tall, under 8 % of {h}")
        if top < 0.05 * h or bottom > 0.95 * h or left < 0.05 * w or right > 0.95 * w:
            problems.append(f"{what}: text at {left}-{right} x {top}-{bottom} outside the 5 % margin")
    if bands and not (bands[0][0] < h / 2 < bands[-1][1]):
        problems.append(f"{what}: the lines do not sit about the middle")


def video(mp4, size, lrc_path, wav):
    title, lines = lrc(lrc_path)
    width, height = (int(v) for v in size.split("x"))
    fps = 25
    offset = onset(mp4) - onset(wav)
    first = lines[0][0] + offset
    problems = []
    # Sync: the gold edge moves linearly across the first word; two frames into it
    # give where it started.
    n1 = int((first + 0.02) * fps) + 1
    n2 = n1 + 2
    mid = len(lines) // 2
    end_of_mid = lines[mid][-1] + offset + 0.1
    f1, f2, title_frame, sung = frames(["-i", mp4], "", [n1, n2, int(1.5 * fps),
                                                        round(end_of_mid * fps)], width, height)
    w1, w2 = f1.gold_columns(0.2), f2.gold_columns(0.2)
    if w2 <= w1 or w1 == 0:
        problems.append(f"the first word's wipe is not moving at {n1 / fps:.2f}-{n2 / fps:.2f} s")
    else:
        start = n1 / fps - w1 * (n2 - n1) / fps / (w2 - w1)
        print(f"sound starts {offset:.3f} s later than the song's; first word due at {first:.3f} s, "
              f"its wipe starts at {start:.3f} s")
        if abs(start - first) > 0.05:
            problems.append(f"first word's wipe at {start:.3f} s, its note at {first:.3f} s")
    reads_title(title_frame, title, problems, 2)
    check_layout(sung, 0.2, problems, f"{end_of_mid:.2f} s, end of line {mid + 1}")
    return problems


def cdg(path, mp3, lrc_path, wav):
    title, lines = lrc(lrc_path)
    offset = onset(mp3) - onset(wav)
    first = lines[0][0] + offset
    problems = []
    rate = 100
    # The first frame showing the sung colour (yellow), from 0.2 s before the word.
    start_n = int((first - 0.2) * rate)
    scan = frames(["-f", "cdg", "-i", path], f"fps={rate},",
                  list(range(start_n, start_n + 40)), 300, 216)
    seen = next((start_n + i for i, f in enumerate(scan) if has_pixel(f.data, b"\xff\xdd\x00")),
                None)
    if seen is None:
        problems.append(f"no sung colour within 0.2 s of the first word at {first:.2f} s")
    else:
        print(f"sound starts {offset:.3f} s later than the song's; first word due at {first:.3f} s, "
              f"first sung pixels at {seen / rate:.3f} s")
        if abs(seen / rate - first) > 0.05:
            problems.append(f"first word's wipe at {seen / rate:.3f} s, its note at {first:.3f} s")
    mid = len(lines) // 2
    end_of_mid = lines[mid][-1] + offset + 0.1
    title_frame, sung = frames(["-f", "cdg", "-i", path], f"fps={rate},",
                               [int(1.5 * rate), round(end_of_mid * rate)], 300, 216)
    reads_title(title_frame, title, problems, 4)
    check_layout(sung, 0.0, problems, f"{end_of_mid:.2f} s, end of line {mid + 1}")
    return problems


def break_screen(ass, size, lrc_path):
    _, lines = lrc(lrc_path)
    width, height = (int(v) for v in size.split("x"))
    gaps = [(b[0] - a[-1], a[-1]) for a, b in zip(lines, lines[1:])]
    gap, last = max(gaps)
    if gap < 9:
        sys.exit(f"{lrc_path}: no break of 9 s or more to look at (longest {gap:.1f} s)")
    at = last + 1.5
    fps = 25
    frame, = frames(["-f", "lavfi", "-i", f"color=c=black:s={size}:r={fps}:d={at + 1}"],
                    f"format=yuv420p,ass={ass},", [round(at * fps)], width, height)
    bands = frame.rows()
    print(f"{at:.2f} s, 1.5 s into a break of {gap:.1f} s: rows " +
          ", ".join(f"{b[0]}-{b[1]}{'*' if GOLD in b[2] else ''}" for b in bands))
    problems = []
    if not bands:
        problems.append(f"the break is a blank screen at {at:.2f} s")
    elif not any(GOLD in b[2] and b[0] > height / 2 for b in bands):
        problems.append(f"no bar below the middle at {at:.2f} s")
    return problems


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "offset":
        print(f"{onset(args[0]) - onset(args[1]):.3f}")
        return
    problems = {"video": video, "cdg": cdg, "break": break_screen}[mode](*args)
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


main()
