#!/usr/bin/env python3
"""Clicks in a capture of the sound server's monitor (raw float32 stereo, as parec records it):
each click's first sample above a threshold after a quiet stretch, then how far the clicks lie
from an exact grid of `period` samples laid from the first click, in samples.

    onsets.py capture.raw period [threshold]

Prints the number of clicks, the largest distance from the grid (0.5 is pure rounding of a
fractional period), the largest spacing error and the tempo against the period in ppm. Used to
measure another metronome the same way as Ticova's own captures."""

import array
import sys


def onsets(samples, threshold, quiet):
    found, last_loud = [], -quiet
    for i, value in enumerate(samples):
        if abs(value) >= threshold:
            if i - last_loud >= quiet:
                found.append(i)
            last_loud = i
    return found


def main():
    path, period = sys.argv[1], float(sys.argv[2])
    threshold = float(sys.argv[3]) if len(sys.argv) > 3 else 0.05
    data = array.array("f")
    with open(path, "rb") as capture:
        data.frombytes(capture.read())
    left = data[0::2]
    # Quiet for a third of the period before a click counts as a new one.
    clicks = onsets(left, threshold, int(period / 3))
    if len(clicks) < 3:
        print("clicks %d: too few to measure" % len(clicks))
        return 1
    grid = max(abs((c - clicks[0]) - k * period) for k, c in enumerate(clicks))
    spacing = max(abs((b - a) - period) for a, b in zip(clicks, clicks[1:]))
    ppm = ((clicks[-1] - clicks[0]) / ((len(clicks) - 1) * period) - 1) * 1e6
    print("clicks %d, grid max %.2f samples, spacing max %.2f samples, tempo %+.2f ppm" % (len(clicks), grid, spacing, ppm))
    return 0


if __name__ == "__main__":
    sys.exit(main())
