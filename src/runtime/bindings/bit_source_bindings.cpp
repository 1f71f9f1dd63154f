// Adapters registering the data bit source by name.
#include <cmath>
#include <limits>
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/bit_source.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/chain_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// A length or count as a whole number: the whole part of a finite value
// (sizes are truncated), saturated far beyond any length the core accepts.
long long wholePart(double x, const std::string& name) {
    if (!std::isfinite(x)) throw Error("\"" + name + "\" must be a finite number.");
    constexpr double limit = static_cast<double>(std::numeric_limits<int>::max());
    return static_cast<long long>(std::floor(std::max(std::min(x, limit), -limit)));
}

// An optional input of the PN generator: absent when not given or empty.
std::optional<std::vector<double>> optionalVector(const Call& c, std::size_t i) {
    if (!c.has(i) || c.in(i).numel() == 0) return std::nullopt;
    return argReal(c, i);
}

std::optional<double> optionalScalar(const Call& c, std::size_t i) {
    if (!c.has(i) || c.in(i).numel() == 0) return std::nullopt;
    return argScalar(c, i);
}

}  // namespace

void registerBitSource(Registry& reg) {
    define(reg, "GenerateBitStream", -1, 1, {"varargin"}, {"bits"}, [](Call& c) {
        const std::vector<Value>& args = c.varargin();
        if (args.size() != 2 && args.size() != 3) {
            c.setOut(0, Value::empty());
            return;
        }
        // A type that is not one of 1..8 matches no case: bits stays unassigned.
        const Value& typeValue = args[0];
        if (!typeValue.isNumeric() || typeValue.numel() != 1) return;
        const double type = typeValue.realAt(0);
        if (type != std::floor(type) || type < 1 || type > 8) return;
        const long long len = wholePart(valueScalar(args[1], "len"), "len");
        Bits pattern;
        if (type == 7 || type == 8) {
            if (args.size() < 3) throw RuntimeError(uninitialisedMessage("pattern", "GenerateBitStream"));
            pattern = valueReal(args[2], "pattern");
        }
        c.setOut(0, Value::row(*generateBitStream(static_cast<int>(type), len, pattern)));
    });

    define(reg, "PNgenerator", 5, 1, {"n", "dataLength", "userInvert", "seed", "zeroSuppresion"}, {"sequence"},
           [](Call& c) {
               PnOptions options;
               options.order = optionalVector(c, 0);
               options.length = optionalVector(c, 1);
               options.userInvert = optionalScalar(c, 2);
               options.seed = optionalVector(c, 3);
               options.zeroSuppression = optionalScalar(c, 4);
               c.setOut(0, Value::row(pnGenerator(options)));
           });

    define(reg, "lfsr", 4, 1, {"order", "taps", "m", "seed"}, {"a"}, [](Call& c) {
        const long long order = argInteger(c, 0);
        if (order < 0 || order > 1024)
            throw Error("\"order\" = " + std::to_string(order) + " must be a register length from 0 to 1024.");
        const std::vector<double> taps = argReal(c, 1);
        const long long m = wholePart(argScalar(c, 2), "m");
        c.setOut(0, Value::row(lfsr(static_cast<int>(order), taps, m, argReal(c, 3))));
    });

    define(reg, "extendVector", 2, 1, {"data", "reqLength"}, {"output"}, [](Call& c) {
        const Value& data = c.in(0);
        chain::requireVector(data, "data");
        const long long length = wholePart(argScalar(c, 1), "reqLength");
        if (data.isComplex())
            c.setOut(0, chain::complexLike(data, extendVector(data.complexData(), length)));
        else
            c.setOut(0, chain::realLike(data, extendVector(argReal(c, 0), length)));
    });
}

}  // namespace tolvane
