#!/usr/bin/python3
"""Independent NumPy model of the chip-level forward-link frame.

Builds the frame chip by chip from the configuration record stored in a
MAT-file written by `tolvane generate` (pilot, MAC, traffic, idle zeros,
layout, PN spreading) and compares it with the waveform in the same file.
The waveform must have been generated with no baseband filter (FilterType 4),
no phase equaliser and no spectrum mirroring, and with idle noise off, so
that every sample is exact: sample 2k is chip k and sample 2k+1 is zero at
oversampling 2.

A second set of cases checks the shaped waveform: the standard baseband
filter designed by SciPy's remez, applied circularly by the direct form with
the wrapped samples in front, the all-pass phase equaliser from SciPy's
bilinear transform with its warm-up, and the conjugation of the default
spectrum orientation. These agree to the design's precision, not bit for bit.

Usage: chip_frame_reference.py TOLVANE_PROGRAM WORK_DIR
Runs several random configurations and exits non-zero on the first mismatch.
"""
import math
import os
import subprocess
import sys

import numpy as np
import scipy.io
import scipy.signal


def lfsr(order, taps, m, seed):
    a = np.zeros(max(m, order), dtype=np.int64)
    a[:order] = seed
    t = np.array(taps[:order], dtype=np.int64)
    for i in range(order, m):
        a[i] = int(np.dot(t, a[i - order:i])) % 2
    return a


def pn_sequence(poly):
    a = lfsr(15, poly, 32767, [0] * 14 + [1])
    p = np.concatenate(([0], a))[::-1]
    return np.roll(p, 15)


PN_I = pn_sequence([1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1])
PN_Q = pn_sequence([1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1])


def walsh(n):
    h = np.array([[1.0]])
    while h.shape[0] < n:
        h = np.block([[h, h], [h, -h]])
    return h


def pn15_bits(n):
    x = np.ones(max(n, 15), dtype=np.int64)
    for i in range(15, n):
        x[i] = x[i - 15] ^ x[i - 14]
    return 1 - x[:n]


def modulate(bits, fmt):
    b = {1: 2, 2: 3, 3: 4}[fmt]
    bits = np.concatenate((bits, np.zeros((-len(bits)) % b)))
    g = bits.reshape(-1, b)
    a = lambda x: 1 - 2 * x
    if fmt == 1:
        return a(g[:, 0]) + 1j * a(g[:, 1])
    if fmt == 2:
        c, s = 0.9238795325112867, 0.3826834323650898  # cos(pi/8), sin(pi/8) rounded to double
        bi = np.where(g[:, 0] == 0, c, s)
        bq = np.where(g[:, 0] == 0, s, c)
        return a(g[:, 1]) * bi + 1j * a(g[:, 2]) * bq
    i = a(g[:, 1]) * (3 - 2 * g[:, 0])
    q = a(g[:, 3]) * (3 - 2 * g[:, 2])
    return (i + 1j * q) / np.sqrt(10)


def traffic_chips(bits, fmt):
    sym = modulate(bits, fmt)
    sym = np.resize(sym, 1600)  # whole-sequence repetition, cut to length
    w = walsh(16)
    cols = sym.reshape(-1, 16)  # column n holds symbols 16n .. 16n+15
    # Chip t of column n: the sum over streams i = 1..16, in that order, of
    # sym_i * W_i[t] / 4 (scaling by 1/4 and by +-1 is exact).
    chips = np.zeros((cols.shape[0], 16), dtype=complex)
    for i in range(16):
        chips = chips + (cols[:, i:i + 1] / 4) * w[i]
    return chips.reshape(-1)


def mac_chips(rpc_bits, rpc_gains, ra_bit, ra_gain):
    w = walsh(64)
    burst = (1 - 2 * ra_bit) * ra_gain * w[2]
    for i in range(59):
        m = i + 5
        code = w[m // 2 + 32 * (m % 2)]
        r = (1 - 2 * rpc_bits[i]) * rpc_gains[i] * code
        burst = burst + (1j * r if m % 2 else r)
    return np.tile(burst, 4)


def db_to_amplitude(db):
    # The C library's pow, element by element: NumPy's vectorised power may
    # differ from it in the last bit.
    return np.vectorize(lambda x: math.pow(10.0, x / 20.0))(db)


def expected_chips(p):
    s = p["slot"]
    mac_on = p["MACchnActive"]
    data_on = p["DATAchnActive"] * s["DATAslotActive"]
    ra_active = mac_on * s["RAslotActive"]
    rpc_chn = mac_on * s["RPCslotActiveChn"]
    ra_gain = ra_active * db_to_amplitude(s["RAslotGain"])
    rpc_gain = s["RPCslotActive"] * db_to_amplitude(s["RPCslotGain"])
    bits = pn15_bits(int(np.sum((s["DATAslotMod"] + 1) * 1600)))
    frame = np.zeros((16, 2048), dtype=complex)
    counter = 0
    for k in range(16):
        if rpc_chn[k] + ra_active[k] >= 1:
            mac = mac_chips(s["RPCslotValue"][k], rpc_gain[k] * rpc_chn[k], s["RAslotValue"][k], ra_gain[k])
        else:
            mac = np.zeros(256)
        if data_on[k] == 1:
            fmt = int(s["DATAslotMod"][k])
            n = (fmt + 1) * 1600
            data = traffic_chips(bits[counter:counter + n], fmt)
            counter += n
        else:
            data = np.zeros(1600)
        pilot = np.ones(96)
        frame[k] = np.concatenate((data[:400], mac[:64], pilot, mac[64:128], data[400:1200], mac[128:192], pilot,
                                   mac[192:256], data[1200:]))
    chips = frame.reshape(-1)
    shift = 64 * int(p["PilotOffsetIndex"])
    pn = (1 - 2 * np.roll(PN_I, shift)) + 1j * (1 - 2 * np.roll(PN_Q, shift))
    return chips * pn


def record(obj):
    """scipy's struct view -> plain dict of numpy values (squeezed)."""
    out = {}
    for name in obj.dtype.names:
        v = obj[name][0, 0]
        if v.dtype.names:
            out[name] = record(v)
        elif v.dtype.kind in "fiu" and v.size == 1:
            out[name] = float(v.reshape(-1)[0])
        elif v.dtype.kind in "fiu" and v.ndim == 2 and v.shape[1] == 1:
            out[name] = v[:, 0].astype(float)
        else:
            out[name] = v
    return out


def literal(m):
    m = np.atleast_2d(m)
    return "[" + ";".join(" ".join(repr(float(x)) for x in row) for row in m) + "]"


def circular_direct_form(b, a, x, record, advance):
    """Wraps the last record-1 samples in front, filters from zero state,
    keeps the last len(x) outputs and rotates them left by `advance`."""
    ext = np.concatenate((x[len(x) - record + 1:], x))
    y = scipy.signal.lfilter(b, a, ext)[record - 1:]
    return np.roll(y, -advance)


def shaped_waveform(chips, os_rate):
    fs = 1228800.0 * os_rate
    h = scipy.signal.remez(12 * os_rate, [0, 590000, 740000, fs / 2], [1, 0], weight=[1, 20], fs=fs)
    up = np.zeros(len(chips) * os_rate, dtype=complex)
    up[::os_rate] = chips
    w = circular_direct_form(h, [1.0], up, len(h), len(h) // 2)
    w0, alpha = 2 * math.pi * 315000, 1.36
    k = 2 * math.pi * 500000 / math.tan(math.pi * 500000 / fs)
    b, a = scipy.signal.bilinear([1, -alpha * w0, w0 ** 2], [1, alpha * w0, w0 ** 2], fs=k / 2)
    w = circular_direct_form(b, a, w, 25 * os_rate, 2 * os_rate - 1)
    return np.conj(w)


def random_settings(rng):
    return {
        "IdleSlotGainActive": "0", "MACchnActive": "1", "DATAchnActive": "1", "DATAsourceType": "6",
        "PilotOffsetIndex": str(int(rng.integers(0, 512))),
        "slot.DATAslotMod": literal(rng.integers(1, 4, 16)),
        "slot.DATAslotActive": literal(rng.integers(0, 2, 16)),
        "slot.RAslotActive": literal(rng.integers(0, 2, 16)),
        "slot.RAslotValue": literal(rng.integers(0, 2, 16)),
        "slot.RAslotGain": literal(rng.integers(-30, 31, 16)),
        "slot.RPCslotActiveChn": literal(rng.integers(0, 2, 16)),
        "slot.RPCslotActive": literal(rng.integers(0, 2, (16, 59))),
        "slot.RPCslotValue": literal(rng.integers(0, 2, (16, 59))),
        "slot.RPCslotGain": literal(rng.uniform(-30, 30, (16, 59)).round(3)),
    }


def generate(program, out, sets):
    cmd = [program, "generate", "--out", out]
    for k, v in sets.items():
        cmd += ["--set", f"{k}={v}"]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    m = scipy.io.loadmat(out)
    return record(m["parameters"]), m["waveform"].reshape(-1)


def main():
    program, work = sys.argv[1], sys.argv[2]
    rng = np.random.default_rng(20261210)
    for case, os_rate in enumerate((2, 3, 5)):
        sets = random_settings(rng)
        sets.update({"FilterType": "2", "PhaseEq": "1", "MirrorSpectrum": "0", "OverSampling": str(os_rate)})
        p, got = generate(program, os.path.join(work, f"shaped_case{case}.mat"), sets)
        want = shaped_waveform(expected_chips(p), os_rate)
        err = np.max(np.abs(got - want)) / np.max(np.abs(want))
        if not err < 1e-9:
            sys.exit(f"shaped case {case} (oversampling {os_rate}): relative error {err}")
        print(f"shaped case {case}: {len(got)} samples agree (relative error {err:.1e})")
    for case in range(4):
        sets = random_settings(rng)
        sets.update({"FilterType": "4", "PhaseEq": "0", "MirrorSpectrum": "1", "OverSampling": "2"})
        p, got = generate(program, os.path.join(work, f"reference_case{case}.mat"), sets)
        want = expected_chips(p)
        if got.shape != (65536,):
            sys.exit(f"case {case}: waveform has shape {got.shape}")
        # The chain is exact here: the same products summed in the same order.
        err = max(np.max(np.abs(got[0::2] - want)), np.max(np.abs(got[1::2])))
        if err != 0:
            bad = int(np.argmax(np.abs(got[0::2] - want)))
            sys.exit(f"case {case}: chip {bad} differs: got {got[2 * bad]} want {want[bad]} (max error {err})")
        print(f"case {case}: 32768 chips agree bit for bit")


if __name__ == "__main__":
    main()
