// Adapters registering the turbo encoder's functions by name.
#include <cmath>
#include <string>

#include "base/diagnostics.hpp"
#include "onex/turbo.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

void checkPacketLength(const std::vector<double>& input, const std::string& name) {
    if (input.size() < kTurboMinBits || input.size() > kTurboMaxBits)
        throw Error("\"" + name + "\" holds " + numberText(static_cast<double>(input.size())) +
                    " bits; the turbo interleaver takes " + numberText(static_cast<double>(kTurboMinBits)) + " to " +
                    numberText(static_cast<double>(kTurboMaxBits)) + ".");
}

}  // namespace

std::vector<double> turboCodeByName(const std::vector<double>& input, double rate, const std::string& inputName) {
    const std::optional<CodeRate> codeRate = codeRateOf(rate);
    if (codeRate == CodeRate::One) return input;
    checkPacketLength(input, inputName);
    if (!codeRate) return {};
    return turboCoder(input, *codeRate);
}

void registerTurbo(Registry& reg) {
    define(reg, "OneX_TurboCoder", 2, 1, {"input", "rate"}, {"output"}, [](Call& c) {
        const double rate = argScalar(c, 1);
        // Rate 1 hands the input back exactly as given.
        if (rate == 1.0) {
            c.setOut(0, c.in(0));
            return;
        }
        c.setOut(0, realRow(turboCodeByName(argReal(c, 0), rate, inputName(c, 0))));
    });

    define(reg, "OneX_ConstituentEncoder", 1, 3, {"input"}, {"x", "y0", "y1"}, [](Call& c) {
        ConstituentOutput out = constituentEncoder(argReal(c, 0));
        c.setOut(0, realRow(std::move(out.x)));
        c.setOut(1, realRow(std::move(out.y0)));
        c.setOut(2, realRow(std::move(out.y1)));
    });

    define(reg, "OneX_TurboInterleaver", 1, 1, {"input"}, {"output"}, [](Call& c) {
        const std::vector<double> input = argReal(c, 0);
        checkPacketLength(input, inputName(c, 0));
        c.setOut(0, realRow(turboInterleaver(input)));
    });

    // A rate that is none of the five punctures nothing: an empty result.
    define(reg, "OneX_TurboPuncturing", 7, 1, {"x", "y0", "y1", "xp", "y0p", "y1p", "rate"}, {"output"},
           [](Call& c) {
               ConstituentOutput first{argReal(c, 0), argReal(c, 1), argReal(c, 2)};
               ConstituentOutput second{argReal(c, 3), argReal(c, 4), argReal(c, 5)};
               const std::optional<CodeRate> rate = codeRateOf(argScalar(c, 6));
               c.setOut(0, realRow(rate ? turboPuncturing(first, second, *rate) : std::vector<double>{}));
           });

    define(reg, "reverseBits", 2, 1, {"n", "len"}, {"output"}, [](Call& c) {
        const int len = static_cast<int>(argWhole(c, 1, 0, 62));
        // Every whole double below 2^len, also beyond 2^53.
        const double n = argScalar(c, 0);
        if (!(n >= 0 && n < std::ldexp(1.0, len)) || std::floor(n) != n)
            throw Error("\"n\" = " + numberText(n) + " must be a whole number from 0 to 2^" + numberText(len) +
                        " - 1.");
        c.setOut(0, Value::scalar(static_cast<double>(reverseBits(static_cast<long long>(n), len))));
    });
}

}  // namespace tolvane
