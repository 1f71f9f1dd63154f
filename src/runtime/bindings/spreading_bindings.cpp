// Adapters registering quadrature spreading, the PN sequences and the
// circular shifts by name.
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "onex/constants.hpp"
#include "onex/spreading.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/chain_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// Repetitions of the short PN period: as many as fit in kMaxSamples bits.
long long periods(const Call& c) {
    return static_cast<long long>(argCount(c, 0, kMaxSamples / kPnPeriodChips));
}

}  // namespace

void registerSpreading(Registry& reg) {
    define(reg, "OneX_FwdQuadSpreading", 2, 1, {"frames", "offsetIndex"}, {"output"}, [](Call& c) {
        const std::vector<cplx> frames = argComplex(c, 0);
        c.setOut(0, complexResult(fwdQuadSpreading(frames, argScalar(c, 1))));
    });

    define(reg, "OneX_PNiSequence", 1, 1, {"reps"}, {"p"},
           [](Call& c) { c.setOut(0, Value::row(pnISequence(periods(c)))); });
    define(reg, "OneX_PNqSequence", 1, 1, {"reps"}, {"p"},
           [](Call& c) { c.setOut(0, Value::row(pnQSequence(periods(c)))); });

    define(reg, "CircularShiftRight", 2, 1, {"input", "count"}, {"output"}, [](Call& c) {
        const Value& input = c.in(0);
        chain::requireVector(input, "input");
        const double count = argScalar(c, 1);
        if (input.isComplex())
            c.setOut(0, chain::complexLike(input, circularShiftRight(input.complexData(), count)));
        else
            c.setOut(0, chain::realLike(input, circularShiftRight(argReal(c, 0), count)));
    });

    define(reg, "circularShift", -1, 1, {"varargin"}, {"output"}, [](Call& c) {
        const std::vector<Value>& args = c.varargin();
        if (args.empty() || args.size() > 4)
            throw Error("Usage: circularShift(matrix, [amount], [position], [ 'r' | 'c' ] ");
        Value out = args[0];
        if (!out.isNumeric())
            throw Error("circularShift: matrix must be numeric, not " + std::string(kindName(out.kind())) + ".");
        const long long amount = args.size() >= 2 ? valueWhole(args[1], "amount", kWholeMin, kWholeMax) : 1;
        const long long position = args.size() >= 3 ? valueWhole(args[2], "position", kWholeMin, kWholeMax) : 1;
        const bool row = args.size() < 4 || (args[3].isText() && args[3].str() == "r");
        if (out.isReal())
            circularShift(out.realData(), out.rows(), out.cols(), amount, position, row);
        else
            circularShift(out.complexData(), out.rows(), out.cols(), amount, position, row);
        c.setOut(0, std::move(out));
    });
}

}  // namespace tolvane
