// The exchange follows the classic Parks-McClellan-Rabiner program: the same
// dense grid, initial extremal guess, barycentric Lagrange evaluation,
// extremal search (including its tie-breaking at the ends of the grid) and
// inverse-DFT coefficient computation, so that constant-band designs agree
// with other implementations of that program to rounding. Arrays are 1-based
// as in the program's description, to keep its index arithmetic readable.
#include "numerics/remez.hpp"

#include <cmath>
#include <limits>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = kPi + kPi;

// Weights of the barycentric Lagrange formula over the nodes x[1..n]; the
// product is taken in m interleaved passes to keep it within range.
double lagrangeWeight(int k, int n, int m, const std::vector<double>& x) {
    double d = 1.0;
    const double q = x[k];
    for (int l = 1; l <= m; ++l)
        for (int j = l; j <= n; j += m)
            if (j != k) d *= 2.0 * (q - x[j]);
    return 1.0 / d;
}

// The current approximation at abscissa xf = cos(2 pi f). At a node the
// formula is 0/0; the result is then NaN, which no comparison accepts.
double barycentric(double xf, int n, const std::vector<double>& x, const std::vector<double>& y,
                   const std::vector<double>& ad) {
    double p = 0.0, d = 0.0;
    for (int j = 1; j <= n; ++j) {
        const double diff = xf - x[j];
        if (diff == 0.0) return std::numeric_limits<double>::quiet_NaN();
        const double c = ad[j] / diff;
        d += c;
        p += c * y[j];
    }
    return p / d;
}

struct Grid {
    std::vector<double> f;    // frequencies, cycles per sample
    std::vector<double> cf;   // cos(2 pi f)
    std::vector<double> des;  // desired response (transformed for type II)
    std::vector<double> wt;   // weight (transformed for type II)
    int size = 0;
};

struct Exchange {
    int nfcns = 0;
    std::vector<int> iext;
    std::vector<double> x, y, ad, alpha;
    double dev = 0.0;
    int iterations = 0;
    bool converged = false;
};

// The exchange proper: moves the nfcns + 1 extremals until none changes.
void exchange(Exchange& s, const Grid& g, int maxIterations) {
    const int nfcns = s.nfcns;
    const int nz = nfcns + 1;
    const int nzz = nfcns + 2;
    const int ngrid = g.size;
    auto& iext = s.iext;
    auto& x = s.x;
    auto& y = s.y;
    auto& ad = s.ad;

    auto error = [&](int l) { return (barycentric(g.cf[l], nz, x, y, ad) - g.des[l]) * g.wt[l]; };

    int j = 0, k = 0, l = 0, nu = 0, nut = 0, nut1 = 0, jchnge = 0, klow = 0, kup = 0, k1 = 0, knz = 0;
    int luck = 0, kn = 0;
    double devl = -1.0, comp = 0.0, ynz = 0.0, y1 = 0.0, err = 0.0;

    for (;;) {
    iterate:
        iext[nzz] = ngrid + 1;
        ++s.iterations;
        if (s.iterations > maxIterations) return;  // not converged

        for (j = 1; j <= nz; ++j) x[j] = g.cf[iext[j]];
        {
            const int jet = (nfcns - 1) / 15 + 1;
            for (j = 1; j <= nz; ++j) ad[j] = lagrangeWeight(j, nz, jet, x);
        }
        {
            double dnum = 0.0, dden = 0.0;
            k = 1;
            for (j = 1; j <= nz; ++j) {
                l = iext[j];
                dnum += ad[j] * g.des[l];
                dden += static_cast<double>(k) * ad[j] / g.wt[l];
                k = -k;
            }
            s.dev = dnum / dden;
        }
        nu = 1;
        if (s.dev > 0.0) nu = -1;
        s.dev = -static_cast<double>(nu) * s.dev;
        k = nu;
        for (j = 1; j <= nz; ++j) {
            l = iext[j];
            y[j] = g.des[l] + static_cast<double>(k) * s.dev / g.wt[l];
            k = -k;
        }
        // The deviation must grow from one iteration to the next; when it
        // does not, rounding has taken over and the current set is kept.
        if (s.dev <= devl) return;
        devl = s.dev;
        jchnge = 0;
        k1 = iext[1];
        knz = iext[nz];
        klow = 0;
        nut = -nu;
        j = 1;

        // Search each extremal's neighbourhood for a larger error of the
        // right sign: first to the right, then to the left.
    next_extremal:
        if (j == nzz) ynz = comp;
        if (j >= nzz) goto ends;
        kup = iext[j + 1];
        l = iext[j] + 1;
        nut = -nut;
        if (j == 2) y1 = comp;
        comp = s.dev;
        if (l >= kup) goto try_left;
        err = error(l);
        if (nut * err - comp <= 0.0) goto try_left;
        comp = nut * err;
    climb_right:
        if (++l >= kup) goto moved_right;
        err = error(l);
        if (nut * err - comp <= 0.0) goto moved_right;
        comp = nut * err;
        goto climb_right;
    moved_right:
        iext[j++] = l - 1;
        klow = l - 1;
        ++jchnge;
        goto next_extremal;

    try_left:
        --l;
    scan_left:
        if (--l <= klow) goto left_exhausted;
        err = error(l);
        if (nut * err - comp > 0.0) goto found_left;
        if (jchnge <= 0) goto scan_left;
        goto unchanged;
    found_left:
        comp = nut * err;
    climb_left:
        if (--l <= klow) goto moved_left;
        err = error(l);
        if (nut * err - comp <= 0.0) goto moved_left;
        comp = nut * err;
        goto climb_left;
    moved_left:
        klow = iext[j];
        iext[j] = l + 1;
        ++j;
        ++jchnge;
        goto next_extremal;

    left_exhausted:
        l = iext[j] + 1;
        if (jchnge > 0) goto moved_right;
    scan_right:
        if (++l >= kup) goto unchanged;
        err = error(l);
        if (nut * err - comp <= 0.0) goto scan_right;
        comp = nut * err;
        goto climb_right;
    unchanged:
        klow = iext[j++];
        goto next_extremal;

        // Beyond the first and the last extremal: a larger error there
        // enters the set and the extremal at the other end leaves it.
    ends:
        if (j > nzz) goto after_left_end;
        if (k1 > iext[1]) k1 = iext[1];
        if (knz < iext[nz]) knz = iext[nz];
        nut1 = nut;
        nut = -nu;
        l = 0;
        kup = k1;
        comp = ynz * 1.00001;
        luck = 1;
    scan_left_end:
        if (++l >= kup) goto no_left_end;
        err = error(l);
        if (nut * err - comp <= 0.0) goto scan_left_end;
        comp = nut * err;
        j = nzz;
        goto climb_right;
    no_left_end:
        luck = 6;
        goto scan_right_end_start;
    after_left_end:
        if (luck > 9) goto drop_first;
        if (comp > y1) y1 = comp;
        k1 = iext[nzz];
    scan_right_end_start:
        l = ngrid + 1;
        klow = knz;
        nut = -nut1;
        comp = y1 * 1.00001;
    scan_right_end:
        if (--l <= klow) goto no_right_end;
        err = error(l);
        if (nut * err - comp <= 0.0) goto scan_right_end;
        j = nzz;
        comp = nut * err;
        luck += 10;
        goto climb_left;
    no_right_end:
        if (luck == 6) goto iteration_done;
        for (j = 1; j <= nfcns; ++j) iext[nzz - j] = iext[nz - j];
        iext[1] = k1;
        goto iterate;
    drop_first:
        kn = iext[nzz];
        for (j = 1; j <= nfcns; ++j) iext[j] = iext[j + 1];
        iext[nz] = kn;
        goto iterate;
    iteration_done:
        if (jchnge <= 0) {
            s.converged = true;
            return;
        }
    }
}

// Coefficients of the cosine series from the best approximation, by
// sampling it at equally spaced points and an inverse DFT.
void cosineCoefficients(Exchange& s, Grid& g, const std::vector<double>& edge, int nbands) {
    const int nfcns = s.nfcns;
    const int nz = nfcns + 1;
    const int nzz = nfcns + 2;
    const int nm1 = nfcns - 1;
    auto& x = s.x;
    auto& alpha = s.alpha;
    std::vector<double> a(nfcns + 3, 0.0), p(nfcns + 3, 0.0), q(nfcns + 3, 0.0);

    const double fsh = 1.0e-06;
    x[nzz] = -2.0;
    const int cn = 2 * nfcns - 1;
    const double delf = 1.0 / cn;
    int l = 1;
    bool wholeBand = (edge[1] == 0.0 && edge[2 * nbands] == 0.5) || nfcns <= 3;
    double aa = 0.0, bb = 0.0;
    if (!wholeBand) {
        const double dtemp = std::cos(kTwoPi * g.f[1]);
        const double dnum = std::cos(kTwoPi * g.f[g.size]);
        aa = 2.0 / (dtemp - dnum);
        bb = -(dtemp + dnum) / (dtemp - dnum);
    }

    for (int j = 1; j <= nfcns; ++j) {
        double ft = (j - 1) * delf;
        double xt = std::cos(kTwoPi * ft);
        if (!wholeBand) {
            xt = (xt - bb) / aa;
            ft = std::acos(xt) / kTwoPi;
        }
        for (;;) {
            const double xe = x[l];
            if (xt > xe) {
                if (xt - xe < fsh) {
                    a[j] = s.y[l];
                } else {
                    a[j] = barycentric(std::cos(kTwoPi * ft), nz, x, s.y, s.ad);
                }
                break;
            }
            if (xe - xt < fsh) {
                a[j] = s.y[l];
                break;
            }
            ++l;
        }
        if (l > 1) l = l - 1;
    }

    const double dden = kTwoPi / cn;
    for (int j = 1; j <= nfcns; ++j) {
        double dtemp = 0.0;
        const double dnum = (j - 1) * dden;
        for (int k = 1; k <= nm1; ++k) dtemp += a[k + 1] * std::cos(dnum * k);
        alpha[j] = 2.0 * dtemp + a[1];
    }
    for (int j = 2; j <= nfcns; ++j) alpha[j] *= 2.0 / cn;
    alpha[1] /= cn;

    if (!wholeBand) {
        p[1] = 2.0 * alpha[nfcns] * bb + alpha[nm1];
        p[2] = 2.0 * aa * alpha[nfcns];
        q[1] = alpha[nfcns - 2] - alpha[nfcns];
        for (int j = 2; j <= nm1; ++j) {
            if (j >= nm1) {
                aa *= 0.5;
                bb *= 0.5;
            }
            p[j + 1] = 0.0;
            for (int k = 1; k <= j; ++k) {
                a[k] = p[k];
                p[k] = 2.0 * bb * a[k];
            }
            p[2] += a[1] * 2.0 * aa;
            for (int k = 1; k <= j - 1; ++k) p[k] += q[k] + aa * a[k + 1];
            for (int k = 3; k <= j + 1; ++k) p[k] += aa * a[k - 1];
            if (j != nm1) {
                for (int k = 1; k <= j; ++k) q[k] = -a[k];
                q[1] += alpha[nfcns - 1 - j];
            }
        }
        for (int j = 1; j <= nfcns; ++j) alpha[j] = p[j];
    }
    if (nfcns <= 3) alpha[nfcns + 1] = alpha[nfcns + 2] = 0.0;
}

std::string count(std::size_t n) { return numberText(static_cast<double>(n)); }

void checkArguments(int order, const std::vector<double>& edges, const std::vector<double>& amplitudes,
                    const std::vector<double>& weights, int gridDensity) {
    if (order < 3) throw Error("Filter order must be 3 or more (was " + numberText(order) + ").");
    if (edges.empty() || edges.size() % 2 != 0)
        throw Error("Band edges must come in pairs (" + count(edges.size()) + " given).");
    if (amplitudes.size() != edges.size())
        throw Error("One desired amplitude is needed per band edge (" + count(edges.size()) + " edges, " +
                    count(amplitudes.size()) + " amplitudes).");
    const std::size_t bands = edges.size() / 2;
    if (!weights.empty() && weights.size() != bands)
        throw Error("One weight is needed per band (" + count(bands) + " bands, " + count(weights.size()) +
                    " weights).");
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (!(edges[i] >= 0.0 && edges[i] <= 1.0))
            throw Error("Band edges must lie between 0 and 1 (edge " + count(i + 1) + ").");
        if (i > 0 && edges[i] < edges[i - 1]) throw Error("Band edges must not decrease.");
        if (!std::isfinite(amplitudes[i])) throw Error("Desired amplitudes must be finite.");
    }
    for (double w : weights)
        if (!(w > 0.0) || !std::isfinite(w)) throw Error("Band weights must be positive.");
    if (gridDensity < 1) throw Error("Grid density must be at least 1.");
}

}  // namespace

RemezDesign remezDesign(int order, const std::vector<double>& edges, const std::vector<double>& amplitudes,
                        const std::vector<double>& weights, int gridDensity, int maxIterations) {
    checkArguments(order, edges, amplitudes, weights, gridDensity);
    const int nfilt = order + 1;
    const int nbands = static_cast<int>(edges.size() / 2);
    const bool odd = nfilt % 2 == 1;
    const int nfcns = nfilt / 2 + (odd ? 1 : 0);

    // Edges in cycles per sample, 1-based.
    std::vector<double> edge(2 * nbands + 1, 0.0);
    for (int i = 0; i < 2 * nbands; ++i) edge[i + 1] = edges[i] * 0.5;
    auto desired = [&](double f, int band) {
        const double f0 = edge[2 * band - 1], f1 = edge[2 * band];
        const double a0 = amplitudes[2 * band - 2], a1 = amplitudes[2 * band - 1];
        if (f1 == f0) return a0;
        return a0 + (a1 - a0) * (f - f0) / (f1 - f0);
    };
    auto weight = [&](int band) { return weights.empty() ? 1.0 : weights[band - 1]; };

    // Dense grid, band by band.
    Grid g;
    const double delf = 0.5 / (static_cast<double>(gridDensity) * nfcns);
    g.f.push_back(0.0);  // index 0 unused
    g.des.push_back(0.0);
    g.wt.push_back(0.0);
    g.f.push_back(edge[1]);
    for (int band = 1; band <= nbands; ++band) {
        const double fup = edge[2 * band];
        double next;
        do {
            const double temp = g.f.back();
            g.des.push_back(desired(temp, band));
            g.wt.push_back(weight(band));
            next = temp + delf;
            g.f.push_back(next);
        } while (next <= fup);
        // The last point inside the band moves onto its upper edge.
        const std::size_t last = g.f.size() - 2;
        g.f[last] = fup;
        g.des[last] = desired(fup, band);
        g.wt[last] = weight(band);
        if (band < nbands) g.f.back() = edge[2 * band + 1];
    }
    g.f.pop_back();  // the point past the last band
    g.size = static_cast<int>(g.f.size()) - 1;
    // An even length has a zero at Nyquist: leave that point out.
    if (!odd && g.f[g.size] > 0.5 - delf) --g.size;
    if (g.size < nfcns + 1)
        throw Error("The bands are too narrow for a filter of order " + numberText(order) + ".");
    g.f.resize(g.size + 1);
    g.des.resize(g.size + 1);
    g.wt.resize(g.size + 1);
    if (!odd) {
        // Even length: H(f) = cos(pi f) P(f); approximate P instead.
        for (int j = 1; j <= g.size; ++j) {
            const double change = std::cos(kPi * g.f[j]);
            g.des[j] /= change;
            g.wt[j] *= change;
        }
    }
    g.cf.resize(g.size + 1);
    for (int j = 1; j <= g.size; ++j) g.cf[j] = std::cos(kTwoPi * g.f[j]);

    // Initial extremals spread evenly over the grid.
    Exchange s;
    s.nfcns = nfcns;
    s.iext.assign(nfcns + 3, 0);
    s.x.assign(nfcns + 3, 0.0);
    s.y.assign(nfcns + 3, 0.0);
    s.ad.assign(nfcns + 3, 0.0);
    s.alpha.assign(nfcns + 3, 0.0);
    const double spacing = static_cast<double>(g.size - 1) / static_cast<double>(nfcns);
    for (int j = 1; j <= nfcns; ++j) s.iext[j] = static_cast<int>((j - 1) * spacing) + 1;
    s.iext[nfcns + 1] = g.size;

    exchange(s, g, maxIterations);

    RemezDesign result;
    result.deviation = s.dev;
    result.iterations = std::min(s.iterations, maxIterations);
    result.converged = s.converged;
    for (int j = 1; j <= nfcns + 1; ++j) result.extremalFrequencies.push_back(2.0 * g.f[s.iext[j]]);

    cosineCoefficients(s, g, edge, nbands);

    // Impulse response from the cosine coefficients.
    const auto& alpha = s.alpha;
    const int nz = nfcns + 1;
    const int nm1 = nfcns - 1;
    std::vector<double> h(nfilt + 1, 0.0);
    if (odd) {
        for (int j = 1; j <= nm1; ++j) h[j] = 0.5 * alpha[nz - j];
        h[nfcns] = alpha[1];
    } else {
        h[1] = 0.25 * alpha[nfcns];
        for (int j = 2; j <= nm1; ++j) h[j] = 0.25 * (alpha[nz - j] + alpha[nfcns + 2 - j]);
        h[nfcns] = 0.5 * alpha[1] + 0.25 * alpha[2];
    }
    for (int j = 1; j <= nfcns; ++j) h[nfilt + 1 - j] = h[j];
    result.taps.assign(h.begin() + 1, h.end());
    return result;
}

std::vector<double> designTaps(const RemezDesign& design, const std::string& what) {
    if (!design.converged)
        warn(what + ": the equiripple design did not converge (stopped after " + numberText(design.iterations) +
             " iterations); its taps are used as they are.");
    return design.taps;
}

std::vector<double> remez(int order, const std::vector<double>& edges, const std::vector<double>& amplitudes,
                          const std::vector<double>& weights, int gridDensity) {
    return designTaps(remezDesign(order, edges, amplitudes, weights, gridDensity),
                      "Parks-McClellan design of order " + numberText(order));
}

double symmetricAmplitude(const std::vector<double>& h, double f) {
    const double centre = 0.5 * static_cast<double>(h.size() - 1);
    double sum = 0.0;
    for (std::size_t k = 0; k < h.size(); ++k) sum += h[k] * std::cos(kPi * f * (static_cast<double>(k) - centre));
    return sum;
}

}  // namespace tolvane
