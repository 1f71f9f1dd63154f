#!/usr/bin/python3
"""Independent NumPy model of the impairment chain, applied to the clean frame
that `tolvane generate` wrote with the same seed, against the impaired frame
it wrote.

The model is written from the definitions of the stages, in their order:
  I/Q imbalance: g = 10^(G/40), I' = g I, Q' = (Q cos(phi) + I sin(phi)) / g;
  origin offset: c = 10^(D/20) * rms(waveform) added to I;
  clipping: magnitudes above rms * 10^(P/20) set to that limit, phase kept;
  frequency offset: sample n times exp(j 2 pi f n / sampleRate);
  noise: complex white Gaussian noise whose power in the 1.2288 MHz channel
  is the mean power entering the clipping stage less C/N.
Without noise the frames must agree to the rounding of the arithmetic; with
noise, the impaired frame less the model without noise is the noise, whose
channel power, flatness, mean and I/Q balance are checked. The parameters
record of the MAT-file and the SigMF metadata must name every impairment.

Usage: impair_reference.py TOLVANE_PROGRAM WORK_DIR
"""
import json
import os
import subprocess
import sys

import numpy as np
import scipy.io

CHIP_RATE = 1.2288e6
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def generate(tolvane, out, sets, extra=()):
    cmd = [tolvane, "generate", "--seed", "7", "--out", out]
    for s in sets:
        cmd += ["--set", s]
    cmd += list(extra)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    m = scipy.io.loadmat(out)
    return m["waveform"].reshape(-1).astype(complex), m


def model(x, rate, gain_db=0.0, phi_deg=0.0, origin_dbc=None, clip_db=None, freq_hz=0.0):
    x = x.copy()
    g = 10 ** (gain_db / 40)
    phi = np.deg2rad(phi_deg)
    i, q = x.real, x.imag
    x = g * i + 1j * (q * np.cos(phi) + i * np.sin(phi)) / g
    if origin_dbc is not None:
        x = x + 10 ** (origin_dbc / 20) * np.sqrt(np.mean(np.abs(x) ** 2))
    carrier = np.mean(np.abs(x) ** 2)
    if clip_db is not None:
        limit = np.sqrt(carrier) * 10 ** (clip_db / 20)
        mag = np.abs(x)
        over = mag > limit
        x[over] = x[over] / mag[over] * limit
    n = np.arange(len(x))
    x = x * np.exp(2j * np.pi * freq_hz * n / rate)
    return x, carrier


def channel_power(x, rate):
    s = np.fft.fft(x)
    f = np.fft.fftfreq(len(x), 1 / rate)
    return np.sum(np.abs(s[np.abs(f) <= CHIP_RATE / 2]) ** 2) / len(x) ** 2


def main(tolvane, work):
    base = ["MACchnActive=1", "DATAchnActive=1", "DATAsourceType=5", "slot.DATAslotMod=[1;2;3;1;2;3;1;2;3;1;2;3;1;2;3;1]"]
    cases = [
        # oversampling, settings, model arguments
        (4, ["IQGainImbalance=1.5", "IQQuadratureError=-3"], dict(gain_db=1.5, phi_deg=-3)),
        (5, ["OriginOffsetActive=1", "OriginOffset=-25"], dict(origin_dbc=-25)),
        (2, ["ClipPAPRActive=1", "ClipPAPR=4"], dict(clip_db=4)),
        (8, ["FrequencyOffset=-1234567.25"], dict(freq_hz=-1234567.25)),
        (6, ["IQGainImbalance=-2", "IQQuadratureError=7", "OriginOffsetActive=1", "OriginOffset=-15",
             "ClipPAPRActive=1", "ClipPAPR=5", "FrequencyOffset=333333.3"],
         dict(gain_db=-2, phi_deg=7, origin_dbc=-15, clip_db=5, freq_hz=333333.3)),
    ]
    for k, (os_, sets, args) in enumerate(cases):
        rate = os_ * CHIP_RATE
        common = base + ["OverSampling=%d" % os_]
        clean, _ = generate(tolvane, os.path.join(work, "clean%d.mat" % k), common)
        impaired, m = generate(tolvane, os.path.join(work, "impaired%d.mat" % k), common + sets)
        expect, carrier = model(clean, rate, **args)
        err = np.max(np.abs(impaired - expect)) / np.sqrt(np.mean(np.abs(expect) ** 2))
        print("case %d %s: largest difference %.2e of rms" % (k, " ".join(sets), err))
        check(err < 1e-9, "case %d: the impaired frame differs from the model by %.3e of rms" % (k, err))

        # The same with noise: the difference is the noise alone.
        for cn in (25.0, 5.0):
            noisy, _ = generate(tolvane, os.path.join(work, "noisy%d.mat" % k),
                                common + sets + ["AWGNActive=1", "CarrierToNoise=%g" % cn])
            noise = noisy - expect
            inband = 10 * np.log10(channel_power(noise, rate))
            total = 10 * np.log10(np.mean(np.abs(noise) ** 2))
            want = 10 * np.log10(carrier) - cn
            print("  C/N %g: channel power %.3f dB (want %.3f), total less channel %.3f dB (want %.3f)"
                  % (cn, inband, want, total - inband, 10 * np.log10(rate / CHIP_RATE)))
            check(abs(inband - want) < 0.1, "case %d C/N %g: noise channel power %.3f dB, want %.3f" % (k, cn, inband, want))
            check(abs(total - inband - 10 * np.log10(rate / CHIP_RATE)) < 0.1, "case %d: noise not flat" % k)
            sigma = np.sqrt(np.mean(np.abs(noise) ** 2))
            check(abs(np.mean(noise)) < 5 * sigma / np.sqrt(len(noise)), "case %d: noise mean" % k)
            balance = np.mean(noise.real ** 2) / np.mean(noise.imag ** 2)
            check(abs(10 * np.log10(balance)) < 0.05, "case %d: noise I/Q balance %.3f dB" % (k, 10 * np.log10(balance)))

    # The record and the SigMF metadata name every impairment and carrier.
    sets = ["OverSampling=8", "AWGNActive=1", "CarrierToNoise=12", "FrequencyOffset=1000", "IQGainImbalance=0.5",
            "IQQuadratureError=1", "OriginOffsetActive=1", "OriginOffset=-33", "ClipPAPRActive=1", "ClipPAPR=9"]
    _, m = generate(tolvane, os.path.join(work, "all.mat"), sets, ["--carriers", "3", "--carrier-spacing", "1.5e6"])
    p = m["parameters"][0, 0]
    for name, want in (("AWGNActive", 1), ("CarrierToNoise", 12), ("FrequencyOffset", 1000), ("IQGainImbalance", 0.5),
                       ("IQQuadratureError", 1), ("OriginOffsetActive", 1), ("OriginOffset", -33),
                       ("ClipPAPRActive", 1), ("ClipPAPR", 9)):
        check(float(p[name].reshape(-1)[0]) == want, "parameters.%s in the MAT-file" % name)
    carriers = p["Carriers"]
    check(carriers.shape == (3, 4) and list(carriers[:, 0]) == [-1.5e6, 0, 1.5e6] and list(carriers[:, 2]) == [0, 4, 8],
          "parameters.Carriers in the MAT-file: %s" % carriers)
    cmd = [tolvane, "generate", "--seed", "7", "--out", os.path.join(work, "all.sigmf-meta"),
           "--carriers", "3", "--carrier-spacing", "1.5e6"]
    for s in sets:
        cmd += ["--set", s]
    summary = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    check("crest factor after clipping" in summary, "the summary reports the crest factor: " + summary)
    with open(os.path.join(work, "all.sigmf-meta")) as f:
        meta = json.load(f)
    imp = meta["global"].get("tolvane:impairments", {})
    want = {"awgn": True, "carrierToNoiseDb": 12, "frequencyOffsetHz": 1000, "iqGainImbalanceDb": 0.5,
            "iqQuadratureErrorDeg": 1, "originOffsetDbc": -33, "clipPaprDb": 9}
    for key, value in want.items():
        check(imp.get(key) == value, "SigMF tolvane:impairments %s = %s, want %s" % (key, imp.get(key), value))
    check([c["pnOffset"] for c in imp.get("carriers", [])] == [0, 4, 8], "SigMF carriers: %s" % imp.get("carriers"))

    if failures:
        print("%d failure(s)" % len(failures))
        sys.exit(1)
    print("impairment chain agrees with the model")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
