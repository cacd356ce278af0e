#!/usr/bin/python3
"""Compares two 16-bit stereo WAV files of the same song: lengths, the RMS
level of each over the part both cover, the peak, and how far apart they are
(the RMS of the difference relative to the signal, in dB; identical files
show "identical")."""
import array
import math
import sys
import wave


def load(path):
    with wave.open(path) as w:
        return array.array("h", w.readframes(w.getnframes())), w.getframerate()


def db(value):
    return 20 * math.log10(value) if value > 0 else float("-inf")


def main(ours, theirs):
    a, rate = load(ours)
    b, _ = load(theirs)
    n = min(len(a), len(b))
    sa = sb = sd = 0
    peak = 0
    for i in range(n):
        x, y = a[i], b[i]
        sa += x * x
        sb += y * y
        sd += (x - y) * (x - y)
        peak = max(peak, abs(x))
    rms_a = math.sqrt(sa / n) / 32768
    rms_b = math.sqrt(sb / n) / 32768
    apart = "identical" if sd == 0 else "difference %.1f dB below the signal" % db(math.sqrt(sd / max(sb, 1)))
    print("%s: %.2f s vs %.2f s; over the common part RMS %.1f vs %.1f dBFS, peak %.1f dBFS; %s"
          % (ours, len(a) / 2 / rate, len(b) / 2 / rate, db(rms_a), db(rms_b), db(peak / 32768), apart))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
