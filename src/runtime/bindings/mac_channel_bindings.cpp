// Adapter registering the MAC slot by name.
#include <string>

#include "base/diagnostics.hpp"
#include "onex/mac_channel.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// A real input (complex values are refused rather than cut to their real part).
std::vector<double> realInput(const Call& c, std::size_t i) {
    if (c.in(i).isComplex()) throw Error("\"" + inputName(c, i) + "\" must be real.");
    return argReal(c, i);
}

double realScalar(const Call& c, std::size_t i) {
    const std::vector<double> v = realInput(c, i);
    if (v.size() != 1)
        throw Error("\"" + inputName(c, i) + "\" must be a scalar, not " + numberText(static_cast<double>(v.size())) +
                    " elements.");
    return v[0];
}

}  // namespace

void registerMacChannel(Registry& reg) {
    define(reg, "OneX_FwdMACslot", 4, 1, {"RPCbits", "RPCgains", "RAbit", "RAgain"}, {"output"}, [](Call& c) {
        const std::vector<double> bits = realInput(c, 0);
        const std::vector<double> gains = realInput(c, 1);
        const double raBit = realScalar(c, 2);
        const double raGain = realScalar(c, 3);
        c.setOut(0, complexResult(fwdMacSlot(bits, gains, raBit, raGain)));
    });
}

}  // namespace tolvane
