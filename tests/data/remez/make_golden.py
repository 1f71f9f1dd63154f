#!/usr/bin/python3
"""Writes the reference equiripple designs used by the remez tests.

Each file holds a header of '#' lines (order, edges as fractions of Nyquist,
desired amplitude at each edge, weight per band) and then one tap per line.
Run from this folder with the system Python and SciPy:  /usr/bin/python3 make_golden.py
"""
import numpy as np
import scipy
from scipy.signal import remez

CHIP_RATE = 1228800.0


def write(name, order, edges, amplitudes, weights, taps):
    with open(name, "w") as f:
        f.write("# scipy.signal.remez %s\n" % scipy.__version__)
        f.write("# order %d\n" % order)
        f.write("# edges " + " ".join(repr(float(e)) for e in edges) + "\n")
        f.write("# amplitudes " + " ".join(repr(float(a)) for a in amplitudes) + "\n")
        f.write("# weights " + " ".join(repr(float(w)) for w in weights) + "\n")
        for t in taps:
            f.write("%.17g\n" % t)


def baseband(os_, order, stop, weights, tag):
    fs = os_ * CHIP_RATE
    bands = [0.0, 590000.0, 740000.0, fs / 2]
    taps = remez(order + 1, bands, [1.0, stop], weight=weights, fs=fs)
    edges = [b / (fs / 2) for b in bands]
    write("remez_order%d_%s_os%d.txt" % (order, tag, os_), order, edges, [1, 1, stop, stop], weights, taps)


# The standard pulse-shaping design: even length, zero forced at Nyquist.
for os_ in (2, 4, 5, 8, 30):
    baseband(os_, 12 * os_ - 1, 0.0, [1.0, 20.0], "std")
# Odd length with the same bands.
baseband(4, 14 * 4, 0.0, [1.0, 2.0], "lowpass")

# Bands that neither start at 0 nor end at Nyquist, three bands, odd length.
edges = [0.1, 0.3, 0.4, 0.6, 0.7, 0.9]
taps = remez(41, [e / 2 for e in edges], [0.0, 1.0, 0.0], weight=[2.0, 1.0, 3.0], fs=1.0)
write("remez_order40_bandpass.txt", 40, edges, [0, 0, 1, 1, 0, 0], [2.0, 1.0, 3.0], taps)
