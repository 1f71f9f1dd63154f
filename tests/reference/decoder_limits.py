#!/usr/bin/python3
"""Finite-blocklength limits for the packet decoder's frame-error-rate test.

The normal approximation of Polyanskiy, Poor and Verdu ("Channel coding rate
in the finite blocklength regime", IEEE Trans. Inf. Theory 56(5), 2010, eq.
(296) and Theorem 54): a code of n channel uses carrying k bits with frame
error rate eps needs, to within O(log n),

    k = sum_i C_i - sqrt(sum_i V_i) * Qinv(eps) + log2(n) / 2

where C_i and V_i are the mean and variance of the information density of
channel use i (independent uses of possibly different quality add up; the
parallel-channel form is their Theorem 78 / Erseghe's extension). This
script finds, by bisection on Eb/N0, where a packet of each case meets it.

The inputs are uniform over the constellation (no shaping). Eb is the
energy of the whole packet over k, N0 the complex noise power per chip.
Each packet's chips carry one unit of energy each on average.

Cases (chip and symbol counts of the forward traffic table):
  DRC 1: k = 1018 (payload and FCS), QPSK (two binary uses per symbol),
         2560 distinct symbols sent 24576 times back to back: 1536 of them
         ten times, 1024 nine times (their copies add up, multiplying the
         SNR of that use).
  DRC 12: k = 4090, 16QAM (two 4-PAM uses per symbol), 1536 symbols each
         sent once (the rest of the code is never sent).

Run: /usr/bin/python3 tests/reference/decoder_limits.py
"""
import math

import numpy as np

NODES, WEIGHTS = np.polynomial.hermite.hermgauss(120)


def qinv(p):
    lo, hi = -10.0, 10.0
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if 0.5 * math.erfc(mid / math.sqrt(2)) > p:
            lo = mid
        else:
            hi = mid
    return 0.5 * (lo + hi)


def pam_density_moments(levels, sigma):
    """Mean and variance (bits) of log2 p(y|x)/p(y) for a real PAM with
    equiprobable `levels` and Gaussian noise of standard deviation sigma."""
    levels = np.asarray(levels, dtype=float)
    m1 = 0.0
    m2 = 0.0
    for x in levels:
        # y = x + sigma * sqrt(2) * t with Gauss-Hermite nodes t
        y = x + sigma * math.sqrt(2.0) * NODES
        log_pyx = -((y - x) ** 2) / (2 * sigma * sigma)
        log_all = -((y[:, None] - levels[None, :]) ** 2) / (2 * sigma * sigma)
        top = log_all.max(axis=1)
        log_py = top + np.log(np.exp(log_all - top[:, None]).mean(axis=1))
        i = (log_pyx - log_py) / math.log(2.0)
        m1 += (WEIGHTS * i).sum() / math.sqrt(math.pi)
        m2 += (WEIGHTS * i * i).sum() / math.sqrt(math.pi)
    m1 /= len(levels)
    m2 /= len(levels)
    return m1, m2 - m1 * m1


def limit_db(k, uses, eps):
    """uses: list of (count, levels, snr_factor); the per-dimension noise is
    chosen from Eb/N0. Returns Eb/N0 in dB where the approximation gives k."""

    def excess(ebn0_db, energy):
        n0 = energy / (k * 10 ** (ebn0_db / 10))
        c_total, v_total, n_total = 0.0, 0.0, 0
        for count, levels, factor in uses:
            # copies added coherently: `factor` times the signal energy
            sigma = math.sqrt(n0 / 2 / factor)
            c, v = pam_density_moments(levels, sigma)
            c_total += count * c
            v_total += count * v
            n_total += count
        return c_total - math.sqrt(v_total) * qinv(eps) + 0.5 * math.log2(n_total) - k

    return excess


def solve(k, uses, energy, eps):
    f = limit_db(k, uses, eps)
    lo, hi = -5.0, 15.0
    for _ in range(60):
        mid = 0.5 * (lo + hi)
        if f(mid, energy) < 0:
            lo = mid
        else:
            hi = mid
    return 0.5 * (lo + hi)


def main():
    bpsk = [math.sqrt(0.5), -math.sqrt(0.5)]  # one axis of unit-energy QPSK
    pam4 = [3 / math.sqrt(10), 1 / math.sqrt(10), -1 / math.sqrt(10), -3 / math.sqrt(10)]
    drc1 = [(2 * 1536, bpsk, 10.0), (2 * 1024, bpsk, 9.0)]
    drc12 = [(2 * 1536, pam4, 1.0)]
    for eps in (0.5, 0.1, 0.01):
        print("eps %.2f: DRC 1 Eb/N0 %.3f dB, DRC 12 Eb/N0 %.3f dB" %
              (eps, solve(1018, drc1, 24576.0, eps), solve(4090, drc12, 1536.0, eps)))


if __name__ == "__main__":
    main()
