#!/usr/bin/python3
"""Helpers for make-notes.sh; standard library only, so nothing beyond
Debian's python3 is needed.

  notes.py midi KEY OUT.mid      one piano note, held HOLD seconds
  notes.py analyse KEY < samples for the raw mono float32 samples (44.1 kHz,
                                 native endian) on stdin, prints where the
                                 note starts (a sample index) and how far its
                                 fundamental is from equal temperament (cents)
"""
import array
import cmath
import math
import struct
import sys

RATE = 48000
TICKS_PER_SECOND = 960          # 480 ticks a quarter at 120 bpm
HOLD = 1.7                      # a little longer than the 1.5 s we keep
LENGTH = 2.0


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def midi(key, path):
    hold = round(HOLD * TICKS_PER_SECOND)
    rest = round(LENGTH * TICKS_PER_SECOND) - hold
    track = b"".join([
        vlq(0), b"\xff\x51\x03\x07\xa1\x20",     # 500000 us a quarter
        vlq(0), b"\xc0\x00",                     # acoustic grand piano
        vlq(0), bytes([0x90, key, 100]),
        vlq(hold), bytes([0x80, key, 0]),
        vlq(rest), b"\xff\x2f\x00",
    ])
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480)
    with open(path, "wb") as f:
        f.write(header + b"MTrk" + struct.pack(">I", len(track)) + track)


def equal_tempered(key):
    return 440.0 * 2.0 ** ((key - 69) / 12.0)


def fundamental(samples, guess):
    """Frequency of the strongest spectral peak within 40 cents of guess.

    A piano's partials are stretched, so anything period-based (autocorrelation)
    is pulled sharp by the upper partials; the peak of the fundamental's own
    line in a long Hann-windowed spectrum is not. With a one-second window the
    next partial is hundreds of bins away and leaks nothing measurable."""
    n = len(samples)
    win = [x * (0.5 - 0.5 * math.cos(2 * math.pi * (i + 0.5) / n))
           for i, x in enumerate(samples)]

    def power(f):
        step = cmath.exp(-2j * math.pi * f / RATE)
        z = 1 + 0j
        acc = 0j
        for x in win:
            acc += x * z
            z *= step
        return abs(acc) ** 2

    def at_cents(c):
        return power(guess * 2.0 ** (c / 1200.0))

    # Coarse scan, then golden-section search on the best bracket; the main
    # lobe is at least 14 cents wide (at B4), so 4-cent steps cannot skip it.
    grid = [c * 4.0 for c in range(-10, 11)]
    values = [at_cents(c) for c in grid]
    best = max(range(len(grid)), key=values.__getitem__)
    lo, hi = grid[max(best - 1, 0)], grid[min(best + 1, len(grid) - 1)]
    g = (math.sqrt(5) - 1) / 2
    a, b = hi - g * (hi - lo), lo + g * (hi - lo)
    fa, fb = at_cents(a), at_cents(b)
    while hi - lo > 1e-4:
        if fa > fb:
            hi, b, fb = b, a, fa
            a = hi - g * (hi - lo)
            fa = at_cents(a)
        else:
            lo, a, fa = a, b, fb
            b = lo + g * (hi - lo)
            fb = at_cents(b)
    return guess * 2.0 ** (((lo + hi) / 2) / 1200.0)


def analyse(key):
    samples = array.array("f")
    samples.frombytes(sys.stdin.buffer.read())
    # -60 dB under the peak: the hammer is audible from there on, and the
    # synthesiser's output before it is digital silence anyway.
    floor = max(map(abs, samples)) * 1e-3
    onset = next(i for i, x in enumerate(samples) if abs(x) > floor)
    # Skip the hammer's attack, where the pitch is not yet settled, and stop
    # before the fade-out. A sampled piano's pitch wanders a little, so the
    # result moves by a few tenths of a cent with the stretch chosen; the
    # test measures this same stretch.
    stretch = samples[int(0.15 * RATE):int(1.35 * RATE)]
    if len(stretch) < int(1.2 * RATE):
        sys.exit("notes.py: need at least 1.35 s of samples")
    f = fundamental(stretch, equal_tempered(key))
    print("%d %.4f" % (onset, 1200.0 * math.log2(f / equal_tempered(key))))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "midi":
        midi(int(sys.argv[2]), sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "analyse":
        analyse(int(sys.argv[2]))
    else:
        sys.exit(__doc__)
