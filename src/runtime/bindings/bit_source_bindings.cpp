// Adapters registering the data bit source by name.
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "onex/bit_source.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/chain_values.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// Longest register lfsr runs by name.
constexpr long long kMaxRegisterOrder = 1024;

// An optional input of the PN generator: absent when not given or empty. A
// single number is read as a setting (a complex one is refused).
std::optional<std::vector<double>> optionalVector(const Call& c, std::size_t i) {
    if (!c.has(i) || c.in(i).numel() == 0) return std::nullopt;
    if (c.in(i).numel() == 1) return std::vector<double>{argScalar(c, i)};
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
        const std::optional<DataSource> source = dataSourceOf(valueScalar(typeValue, "type"));
        if (!source) return;
        const auto len = static_cast<long long>(valueCount(args[1], "len", kMaxSamples));
        Bits pattern;
        if (*source == DataSource::UserPattern || *source == DataSource::UserPatternAlt) {
            if (args.size() < 3) throw RuntimeError(uninitialisedMessage("pattern", "GenerateBitStream"));
            pattern = valueReal(args[2], "pattern");
        }
        c.setOut(0, Value::row(generateBitStream(*source, len, pattern)));
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
        const long long order = argWhole(c, 0, 0, kMaxRegisterOrder);
        const std::vector<double> taps = argReal(c, 1);
        // Each output takes `order` steps of the general register, so the
        // longest output shrinks as the register grows.
        const std::size_t m = argCount(c, 2, kMaxSamples);
        const std::size_t most = order > 0 ? kMaxRegisterSteps / static_cast<std::size_t>(order) : kMaxSamples;
        if (m > most)
            throw Error("\"m\" = " + numberText(static_cast<double>(m)) + " exceeds the limit of " +
                        numberText(static_cast<double>(most)) + " outputs for a register of order " +
                        numberText(static_cast<double>(order)) + " (" +
                        numberText(static_cast<double>(kMaxRegisterSteps)) + " register steps).");
        c.setOut(0, Value::row(lfsr(static_cast<int>(order), taps, static_cast<long long>(m), argReal(c, 3))));
    });

    define(reg, "extendVector", 2, 1, {"data", "reqLength"}, {"output"}, [](Call& c) {
        const Value& data = c.in(0);
        chain::requireVector(data, "data");
        const auto length = static_cast<long long>(argCount(c, 1, kMaxSamples));
        if (data.isComplex())
            c.setOut(0, chain::complexLike(data, extendVector(data.complexData(), length)));
        else
            c.setOut(0, chain::realLike(data, extendVector(argReal(c, 0), length)));
    });
}

}  // namespace tolvane
