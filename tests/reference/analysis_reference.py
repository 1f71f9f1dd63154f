#!/usr/bin/python3
"""Independent NumPy model of the receiver's modulation-quality figures.

Reads a recording and the clean frame it was made from (complex128,
interleaved, little-endian, as the receiver test writes them) and computes,
without any of the receiver's code:

- rho over the pilot bursts and over the whole frame, and the SNR in the
  1.2288 MHz channel: both signals band-limited to the channel through their
  spectra, sampled at the chip instants, one complex gain fitted;
- with FilterType 4 and no equaliser (so that every chip is one sample), the
  EVM of the data portions: per slot a complex gain fitted over the data
  chips, the error against the clean chips. The Walsh cover and the PN
  sequence are orthogonal transforms of equal gain, so the chip-domain ratio
  is the symbol-domain one.

Usage: analysis_reference.py CLEAN RECORDING OVERSAMPLING [evm]
Prints "name value" lines.
"""
import sys

import numpy as np

SLOT = 2048
PILOT = [(464, 560), (1488, 1584)]
DATA = [(0, 400), (624, 1424), (1648, 2048)]


def load(path):
    raw = np.fromfile(path, dtype="<f8")
    return raw[0::2] + 1j * raw[1::2]


def channel_chips(x, os):
    """The signal band-limited to |f| < chip rate / 2, at the chip instants."""
    n = len(x)
    chips = n // os
    spectrum = np.fft.fft(x)
    freqs = np.fft.fftfreq(n, d=1.0 / n)  # signed bin numbers
    keep = np.abs(freqs) < chips / 2
    kept = np.zeros(chips, dtype=complex)
    kept[(freqs[keep].astype(int)) % chips] = spectrum[keep]
    return np.fft.ifft(kept) / os


def positions(slots, parts):
    idx = []
    for s in range(slots):
        for a, b in parts:
            idx.extend(range(s * SLOT + a, s * SLOT + b))
    return np.array(idx)


def rho(z, r):
    return abs(np.vdot(r, z)) ** 2 / (np.vdot(z, z).real * np.vdot(r, r).real)


def main():
    clean, recording, os = load(sys.argv[1]), load(sys.argv[2]), int(sys.argv[3])
    z, r = channel_chips(recording, os), channel_chips(clean, os)
    slots = len(z) // SLOT
    pilot = positions(slots, PILOT)
    gain = np.vdot(r, z) / np.vdot(r, r)
    noise = np.mean(np.abs(z[pilot] - gain * r[pilot]) ** 2)
    signal = np.mean(np.abs(z) ** 2) - noise
    print("rho_pilot %.9f" % rho(z[pilot], r[pilot]))
    print("rho_overall %.9f" % rho(z, r))
    print("snr_db %.6f" % (10 * np.log10(signal / noise)))
    if len(sys.argv) > 4 and sys.argv[4] == "evm":
        zc, rc = recording[0::os], clean[0::os]
        err = ref = 0.0
        for s in range(slots):
            idx = positions(1, DATA) + s * SLOT
            a = np.vdot(rc[idx], zc[idx]) / np.vdot(rc[idx], rc[idx])
            err += np.sum(np.abs(zc[idx] - a * rc[idx]) ** 2)
            ref += np.sum(np.abs(a * rc[idx]) ** 2)
        print("evm_percent %.9f" % (100 * np.sqrt(err / ref)))


if __name__ == "__main__":
    main()
