#!/usr/bin/python3
"""Checks a word-timed .lrc against its .mid with mido, a MIDI parser
independent of kdb2mid, and mido's own tempo handling.

    check_lrc.py SONG.mid SONG.lrc

The .mid must carry UTF-8 lyrics (--lyrics utf8), so its letters are the
.lrc's. From the .mid's lyric events (FF 05) every letter gets the time of
the event that holds it; a word starts after a space or control character.
The .lrc's words, read in order, must spell the same letters; each word must
start where the .mid starts one or at a line's start, at its first letter's
time +-0.01 s; every .mid word must start an .lrc word. Also checked: the
tags, the line time equal to its first word's, times that never decrease,
[length:] against mido's length, UTF-8 without byte-order mark, LF only.
"""

import re
import sys
import unicodedata

import mido

TOLERANCE = 0.01 + 1e-9
TIME = r"(\d{2,}):([0-5]\d)\.(\d\d)"
TAG = re.compile(r"^\[(ti|ar|length|re):(.*)\]$")
LINE = re.compile(r"^\[" + TIME + r"\](.*)$")
WORD = re.compile(r"<" + TIME + r">([^ <]+)")


def seconds(minutes, secs, hundredths):
    return int(minutes) * 60 + int(secs) + int(hundredths) / 100


def separates(char):
    return ord(char) <= 0x20 or ord(char) == 0x7F


def midi_letters(path):
    """(letter, seconds, starts_word) for every letter of the lyric events."""
    midi = mido.MidiFile(path)
    letters = []
    now = 0.0
    after_space = True
    for message in midi:  # merged tracks, times in seconds from mido's tempo map
        now += message.time
        if message.type != "lyrics":
            continue
        try:
            text = message.text.encode("latin-1").decode("utf-8")
        except UnicodeDecodeError:
            raise AssertionError(f"lyric {message.text!r} is not UTF-8: use --lyrics utf8")
        for char in text:
            if separates(char):
                after_space = True
                continue
            letters.append((char, now, after_space))
            after_space = False
    return midi, letters


def read_lrc(path):
    data = open(path, "rb").read()
    if data.startswith(b"\xef\xbb\xbf"):
        raise AssertionError("the file starts with a byte-order mark")
    if b"\r" in data:
        raise AssertionError("the file has a carriage return")
    if not data.endswith(b"\n"):
        raise AssertionError("the last line has no line end")
    text = data.decode("utf-8")
    if unicodedata.normalize("NFC", text) != text:
        raise AssertionError("the text is not NFC")
    tags, lines = {}, []
    for number, line in enumerate(text.split("\n")[:-1], 1):
        tag = TAG.match(line)
        if tag and not lines:
            tags[tag.group(1)] = tag.group(2)
            continue
        match = LINE.match(line)
        if not match:
            raise AssertionError(f"line {number} is neither a tag nor a timed line: {line!r}")
        start = seconds(*match.group(1, 2, 3))
        rest = match.group(4)
        words = [(seconds(*w.group(1, 2, 3)), w.group(4)) for w in WORD.finditer(rest)]
        if " ".join(w.group(0) for w in WORD.finditer(rest)) != rest or not words:
            raise AssertionError(f"line {number} is not <time>word separated by spaces: {rest!r}")
        if words[0][0] != start:
            raise AssertionError(f"line {number} starts at {start}, its first word at {words[0][0]}")
        lines.append(words)
    return tags, lines


def check(mid_path, lrc_path):
    midi, letters = midi_letters(mid_path)
    tags, lines = read_lrc(lrc_path)
    for name in ("length", "re"):
        if name not in tags:
            raise AssertionError(f"no [{name}:] tag")
    minutes, secs = tags["length"].split(":")
    length = int(minutes) * 60 + int(secs)
    if abs(length - midi.length) > 0.5 + TOLERANCE:
        raise AssertionError(f"[length:{tags['length']}] but mido plays {midi.length:.2f} s")

    at = 0
    last = 0.0
    starts = set()
    for words in lines:
        for index, (time, word) in enumerate(words):
            if time < last:
                raise AssertionError(f"{word!r} at {time} comes before {last}")
            last = time
            if at + len(word) > len(letters):
                raise AssertionError(f"{word!r}: the .mid has no more letters")
            spelled = "".join(letter for letter, _, _ in letters[at:at + len(word)])
            if spelled != word:
                raise AssertionError(f"{word!r} at {time}: the .mid has {spelled!r}")
            _, expected, starts_word = letters[at]
            if not starts_word and index > 0:
                raise AssertionError(f"{word!r} at {time} starts inside a .mid word")
            if abs(time - expected) > TOLERANCE:
                raise AssertionError(f"{word!r} at {time:.2f}, its first letter at {expected:.4f}")
            starts.add(at)
            at += len(word)
    if at != len(letters):
        raise AssertionError(f"the .lrc ends {len(letters) - at} letters before the .mid")
    missed = [i for i, (_, _, first) in enumerate(letters) if first and i not in starts]
    if missed:
        raise AssertionError(f"{len(missed)} .mid words start no .lrc word")
    return sum(len(words) for words in lines)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        count = check(sys.argv[1], sys.argv[2])
    except (AssertionError, OSError, ValueError) as error:
        print(f"{sys.argv[2]}: {error}")
        return 1
    print(f"{sys.argv[2]}: {count} words on time")
    return 0


if __name__ == "__main__":
    sys.exit(main())
