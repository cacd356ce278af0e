#!/usr/bin/python3
"""Reads a .kar back with mido, a MIDI parser independent of kdb2mid, and
checks its Words track against the titles and lines a player should show.

    check_kar.py SONG.kar EXPECTED.txt [--mid SONG.mid]
    check_kar.py SONG.kar --print

EXPECTED.txt is UTF-8, one entry a line: "@T<title>" for each title, in order;
each lyric line as the file marks it, starting with "\\" (new page) or "/"
(new line); "#" starts a comment; blank lines are ignored.

With --mid, the .kar's data tracks must equal the .mid's, and its lyric
texts (without the line marks) must come at the same times, with the same
text, as the .mid's lyric events (both written with UTF-8 lyrics; the .mid's
line ends left out, one for each line the .kar starts).
--print shows the titles and lines in the EXPECTED.txt form instead.
"""

import argparse
import sys

import mido

MAX_TEXT_BYTES = 999
MARKS = ("/", "\\")


def raw(message):
    # mido decodes meta texts as Latin-1, which keeps every byte.
    return message.text.encode("latin-1")


def absolute(track):
    time = 0
    for message in track:
        time += message.time
        yield time, message


def read_words(kar):
    words = [track for track in kar.tracks if track.name == "Words"]
    if len(words) != 1:
        raise AssertionError(f"expected one track named Words, found {len(words)}")
    if kar.tracks[-1] is not words[0]:
        raise AssertionError("the Words track is not the last track")
    headers, lyrics = [], []
    for time, message in absolute(words[0]):
        if message.type != "text":
            continue
        data = raw(message)
        if len(data) > MAX_TEXT_BYTES:
            raise AssertionError(f"a text event of {len(data)} bytes at {time}")
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError:
            raise AssertionError(f"the text event at {time} is not UTF-8: {data!r}") from None
        if not lyrics and text.startswith("@"):
            if time != 0:
                raise AssertionError(f"header {text!r} at time {time}, not 0")
            headers.append(text)
        else:
            lyrics.append((time, text))
    return headers, lyrics


def lines_of(lyrics):
    lines = []
    for _, text in lyrics:
        if not lines or text.startswith(MARKS):
            lines.append(text)
        else:
            lines[-1] += text
    return lines


def merged(events):
    """(time, text) pairs with consecutive same-time texts joined."""
    out = []
    for time, text in events:
        if out and out[-1][0] == time:
            out[-1] = (time, out[-1][1] + text)
        else:
            out.append((time, text))
    return out


def read_expected(path):
    titles, lines = [], []
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("@T"):
                titles.append(line[2:])
            elif line.startswith(MARKS):
                lines.append(line)
            else:
                raise SystemExit(f"{path}:{number}: neither @T, a / or \\ line, nor a comment")
    return titles, lines


def check_against_mid(kar, lyrics, mid_path):
    mid = mido.MidiFile(mid_path)
    if len(mid.tracks) != len(kar.tracks):
        raise AssertionError(f".mid has {len(mid.tracks)} tracks, .kar {len(kar.tracks)}")
    if mid.ticks_per_beat != kar.ticks_per_beat:
        raise AssertionError("the files' divisions differ")
    for index in range(len(mid.tracks) - 1):
        if list(mid.tracks[index]) != list(kar.tracks[index]):
            raise AssertionError(f"data track {index} differs from the .mid's")
    mid_lyrics = [
        (time, raw(message).decode("utf-8"))
        for time, message in absolute(mid.tracks[-1])
        if message.type == "lyrics"
    ]
    # The .mid ends a line with "\r" (a paragraph with "\n") where the .kar
    # marks the start of the next one.
    ends = sum(1 for _, text in mid_lyrics if text.endswith(("\r", "\n")))
    starts = sum(1 for _, text in lyrics if text.startswith(MARKS))
    if ends != starts:
        raise AssertionError(f".mid ends {ends} lyric lines, .kar starts {starts}")
    expected = merged((time, text.rstrip("\r\n")) for time, text in mid_lyrics)
    unmarked = []
    for time, text in lyrics:
        # A line mark starts the first event of a line only, so a text
        # starting with one is always such a first event.
        unmarked.append((time, text[1:] if text.startswith(MARKS) else text))
    got = merged(unmarked)
    if got != expected:
        for index, (left, right) in enumerate(zip(got, expected)):
            if left != right:
                raise AssertionError(f"lyric {index}: .kar has {left!r}, .mid has {right!r}")
        raise AssertionError(f".kar has {len(got)} timed lyrics, .mid {len(expected)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("kar")
    parser.add_argument("expected", nargs="?")
    parser.add_argument("--mid")
    parser.add_argument("--print", action="store_true", dest="show")
    args = parser.parse_args()
    if not args.show and args.expected is None:
        parser.error("give EXPECTED.txt or --print")

    kar = mido.MidiFile(args.kar)
    try:
        if kar.type != 1:
            raise AssertionError(f"MIDI format {kar.type}, not 1")
        if any(message.type == "lyrics" for track in kar.tracks for message in track):
            raise AssertionError("the .kar holds lyric (FF 05) events")
        headers, lyrics = read_words(kar)
        if headers[:2] != ["@KMIDI KARAOKE FILE", "@V0100"]:
            raise AssertionError(f"the Words track starts with {headers[:2]!r}")
        titles = [header[2:] for header in headers[2:] if header.startswith("@T")]
        lines = lines_of(lyrics)
        if lines and not lines[0].startswith("\\"):
            raise AssertionError(f"the first line {lines[0]!r} does not start a page")
        if args.show:
            for title in titles:
                print(f"@T{title}")
            for line in lines:
                print(line)
            return 0
        expected_titles, expected_lines = read_expected(args.expected)
        if titles != expected_titles:
            raise AssertionError(f"titles {titles!r}, expected {expected_titles!r}")
        if lines != expected_lines:
            for index, (got, want) in enumerate(zip(lines, expected_lines)):
                if got != want:
                    raise AssertionError(f"line {index + 1} is {got!r}, expected {want!r}")
            raise AssertionError(f"{len(lines)} lines, expected {len(expected_lines)}")
        if args.mid:
            check_against_mid(kar, lyrics, args.mid)
    except AssertionError as failure:
        print(f"{args.kar}: {failure}")
        return 1
    print(f"{args.kar}: {len(titles)} titles and {len(lines)} lines as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
