// Adapters registering the numeric helpers by name: interpolation, the
// bilinear transform, least-squares FIR design and white noise.
#include <cmath>
#include <optional>

#include "numerics/bilinear.hpp"
#include "base/diagnostics.hpp"
#include "numerics/freq2fir.hpp"
#include "numerics/interp.hpp"
#include "base/limits.hpp"
#include "base/text.hpp"
#include "numerics/noise.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// wgn(m, n, p[, imp[, state]][, powertype][, outputtype]): white Gaussian
// noise, m x n, of power p ("dBW" by default, "dBm" or "linear") into the
// load impedance imp (1 ohm by default); "real" (default) or "complex".
void whiteNoise(Call& c) {
    const Value& m = c.in(0);
    const Value& n = c.in(1);
    const Value& p = c.in(2);
    std::vector<double> dims;
    for (const Value* v : {&m, &n})
        if (v->isNumeric())
            for (std::size_t i = 0; i < v->numel(); ++i) dims.push_back(v->realAt(i));
    checkNoiseDimensions(dims, m.isReal() && n.isReal() && m.numel() == 1 && n.numel() == 1);
    if (dims[0] * dims[1] > static_cast<double>(kMaxSamples))
        throw Error("\"m\" x \"n\" = " + numberText(dims[0]) + " x " + numberText(dims[1]) + " exceeds the limit of " +
                    numberText(static_cast<double>(kMaxSamples)) + " elements.");
    checkNoisePower(p.numel(), p.isReal());

    double impedance = 1.0;
    std::string powerType = "dbw";
    bool complex = false;
    std::size_t numeric = 0;
    for (const Value& option : c.varargin()) {
        if (option.isText()) {
            const std::string o = asciiLower(option.str());
            if (o == "dbw" || o == "dbm" || o == "linear") {
                powerType = o;
            } else if (o == "real" || o == "complex") {
                complex = o == "complex";
            } else {
                throw Error("Unknown option \"" + option.str() +
                            "\" of wgn: the options are \"dBW\", \"dBm\", \"linear\", \"real\" and \"complex\".");
            }
        } else if (option.isReal() && option.numel() == 1) {
            if (numeric == 0) {
                impedance = option.realAt(0);
                if (!(impedance > 0.0)) throw Error("The load impedance must be a positive real scalar.");
            } else if (numeric == 1) {
                seedNoise(static_cast<std::uint64_t>(std::llround(std::fabs(option.realAt(0)))));
            } else {
                throw Error("Too many numeric arguments to wgn.");
            }
            ++numeric;
        } else {
            throw Error("The options of wgn must be real scalars or texts.");
        }
    }

    const double value = p.realAt(0);
    double watts = 0.0;
    if (powerType == "linear") {
        if (value < 0.0) throw Error("The power value must not be negative in linear units.");
        watts = value;
    } else {
        watts = std::pow(10.0, (powerType == "dbm" ? value - 30.0 : value) / 10.0);
    }
    const double variance = watts * impedance;
    const std::size_t rows = static_cast<std::size_t>(dims[0]);
    const std::size_t cols = static_cast<std::size_t>(dims[1]);
    if (complex) {
        c.setOut(0, Value::complexMatrix(rows, cols, complexWhiteNoise(rows * cols, 10.0 * std::log10(variance))));
    } else {
        std::vector<double> data(rows * cols);
        const double sigma = std::sqrt(variance);
        for (double& v : data) v = sigma * standardNormal();
        c.setOut(0, Value::matrix(rows, cols, std::move(data)));
    }
}

}  // namespace

void registerNumerics(Registry& reg) {
    define(reg, "interp", 4, 2, {"x", "r", "l", "alpha"}, {"y", "b"}, [](Call& c) {
        const Value& x = c.in(0);
        const double r = argScalar(c, 1);
        const int l = c.has(2) ? static_cast<int>(argWhole(c, 2, 1, kMaxInterpNeighbours)) : 4;
        const double alpha = c.has(3) ? argScalar(c, 3) : 0.5;
        Interpolation result = interpolate(argReal(c, 0), r, l, alpha);
        const bool column = x.cols() == 1 && x.rows() != 1;
        const std::size_t count = result.y.size();
        c.setOut(0, column ? Value::column(std::move(result.y)) : Value::matrix(1, count, std::move(result.y)));
        c.setOut(1, Value::column(std::move(result.filter)));
    });
    define(reg, "bilinear", 4, 2, {"num", "den", "fs", "fp"}, {"numd", "dend"}, [](Call& c) {
        std::optional<double> fp;
        if (c.has(3)) fp = argScalar(c, 3);
        const DigitalFilter f = bilinear(argReal(c, 0), argReal(c, 1), argScalar(c, 2), fp);
        c.setOut(0, realRow(f.b));
        c.setOut(1, realRow(f.a));
    });
    define(reg, "freq2fir", 4, 1, {"n", "F", "H", "SR"}, {"h"}, [](Call& c) {
        if (c.nargin() != 4) throw Error("You must have 4 inputs.");
        const Value& F = c.in(1);
        const Value& H = c.in(2);
        if (F.numel() != H.numel()) throw Error("F must be the same size as H");
        if (!F.isVector()) throw Error("F must be either a 1xN or a Nx1 matrix.");
        if (!H.isVector()) throw Error("H must be either a 1xN or a Nx1 matrix.");
        const long long n = argWhole(c, 0, kWholeMin, kMaxLeastSquaresTaps);
        c.setOut(0, complexResult(freq2fir(n, argReal(c, 1), argComplex(c, 2), argScalar(c, 3))));
    });
    define(reg, "wgn", -4, 1, {"m", "n", "p", "varargin"}, {"y"}, whiteNoise);
}

}  // namespace tolvane
