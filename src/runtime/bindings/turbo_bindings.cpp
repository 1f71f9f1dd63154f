// Adapters registering the turbo encoder's functions by name.
#include <cmath>
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/turbo.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {


void registerTurbo(Registry& reg) {
    define(reg, "OneX_TurboCoder", 2, 1, {"input", "rate"}, {"output"}, [](Call& c) {
        const double rate = argScalar(c, 1);
        // Rate 1 hands the input back exactly as given.
        if (rate == 1.0) {
            c.setOut(0, c.in(0));
            return;
        }
        c.setOut(0, realRow(turboCoder(argReal(c, 0), rate)));
    });

    define(reg, "OneX_ConstituentEncoder", 1, 3, {"input"}, {"x", "y0", "y1"}, [](Call& c) {
        ConstituentOutput out = constituentEncoder(argReal(c, 0));
        c.setOut(0, realRow(std::move(out.x)));
        c.setOut(1, realRow(std::move(out.y0)));
        c.setOut(2, realRow(std::move(out.y1)));
    });

    define(reg, "OneX_TurboInterleaver", 1, 1, {"input"}, {"output"},
           [](Call& c) { c.setOut(0, realRow(turboInterleaver(argReal(c, 0)))); });

    define(reg, "OneX_TurboPuncturing", 7, 1, {"x", "y0", "y1", "xp", "y0p", "y1p", "rate"}, {"output"},
           [](Call& c) {
               ConstituentOutput first{argReal(c, 0), argReal(c, 1), argReal(c, 2)};
               ConstituentOutput second{argReal(c, 3), argReal(c, 4), argReal(c, 5)};
               c.setOut(0, realRow(turboPuncturing(first, second, argScalar(c, 6))));
           });

    define(reg, "reverseBits", 2, 1, {"n", "len"}, {"output"}, [](Call& c) {
        const double len = argScalar(c, 1);
        if (!(len >= 0 && len <= 62) || std::floor(len) != len)
            throw Error("\"len\" = " + numberText(len) + " must be a bit count from 0 to 62.");
        const double n = argScalar(c, 0);
        if (!(n >= 0 && n < std::ldexp(1.0, static_cast<int>(len))) || std::floor(n) != n)
            throw Error("\"n\" = " + numberText(n) + " must be a whole number that fits in " +
                        std::to_string(static_cast<int>(len)) + " bits.");
        const long long r = reverseBits(static_cast<long long>(n), static_cast<int>(len));
        c.setOut(0, Value::scalar(static_cast<double>(r)));
    });
}

}  // namespace tolvane
