#!/usr/bin/python3
"""Writes a loud MIDI file: fifteen instruments and the drums playing
six-note chords at full velocity and full volume on every beat for 20 s,
far louder than a song should be written.

    make_loud_song.py OUT.mid
"""
import struct
import sys

PROGRAMS = [0, 16, 19, 24, 29, 30, 33, 48, 50, 56, 61, 62, 65, 73, 81]
CHORDS = [[48, 52, 55, 60, 64, 67], [45, 48, 52, 57, 60, 64],
          [41, 45, 48, 53, 57, 60], [43, 47, 50, 55, 59, 62]]
BEAT = 480  # ticks; the default tempo is 120 beats a minute


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def main(path):
    channels = [c for c in range(16) if c != 9]
    events = bytearray()
    for channel, program in zip(channels, PROGRAMS):
        events += vlq(0) + bytes([0xC0 | channel, program])
        events += vlq(0) + bytes([0xB0 | channel, 7, 127])
    for beat in range(40):
        keys = [(c, k + 12 * (c % 3 - 1)) for c in channels for k in CHORDS[beat // 4 % 4]]
        for channel, key in keys:
            events += vlq(0) + bytes([0x90 | channel, key, 127])
        for drum in (49, 36, 38):
            events += vlq(0) + bytes([0x99, drum, 127])
        for i, (channel, key) in enumerate(keys):
            events += vlq(BEAT if i == 0 else 0) + bytes([0x80 | channel, key, 0])
    events += vlq(0) + bytes([0xFF, 0x2F, 0])
    with open(path, "wb") as out:
        out.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, BEAT))
        out.write(b"MTrk" + struct.pack(">I", len(events)) + bytes(events))


if __name__ == "__main__":
    main(sys.argv[1])
