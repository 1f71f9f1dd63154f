// Adapters registering repetition, demultiplexing, Walsh cover, gain and
// summer by name.
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "onex/walsh.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/chain_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// Values are copied unchanged: a real input gives a real result.
Value keepKind(const Value& like, cvec data) {
    Value v = Value::complexRow(std::move(data));
    if (like.isReal()) v.simplify();
    return v;
}

}  // namespace

void registerWalsh(Registry& reg) {
    define(reg, "OneX_FwdTrfRepSeq", 2, 1, {"data", "reqLength"}, {"output"}, [](Call& c) {
        const Value& data = c.in(0);
        chain::requireVector(data, "data");
        const auto length = static_cast<long long>(argCount(c, 1, kMaxSamples));
        c.setOut(0, keepKind(data, fwdTrfRepSeq(argComplex(c, 0), length)));
    });

    define(reg, "OneX_Repeat", 2, 1, {"input", "factor"}, {"output"}, [](Call& c) {
        const Value& input = c.in(0);
        chain::requireRow(input, "input");
        const auto factor = static_cast<long long>(argCount(c, 1, kMaxSamples));
        checkResultSize(static_cast<double>(input.numel()) * static_cast<double>(factor), inputName(c, 1));
        if (input.isReal())
            c.setOut(0, Value::row(repeatSequence(input.realData(), factor)));
        else
            c.setOut(0, Value::complexRow(repeatSequence(argComplex(c, 0), factor)));
    });

    define(reg, "OneX_FwdTrfDemux", 1, 1, {"data"}, {"output"}, [](Call& c) {
        const Value& data = c.in(0);
        const RowMatrix<cplx> m = fwdTrfDemux(argComplex(c, 0));
        Value out = chain::fromRowMatrix(m);
        // Copies with zero padding: a complex input stays complex.
        if (data.isComplex() && out.isReal()) out = Value::complexMatrix(out.rows(), out.cols(), out.toComplex());
        c.setOut(0, std::move(out));
    });

    define(reg, "OneX_FwdTrfWalshCover", 1, 1, {"input"}, {"output"}, [](Call& c) {
        argComplex(c, 0);  // numeric check
        checkResultSize(16.0 * static_cast<double>(c.in(0).numel()), inputName(c, 0));
        c.setOut(0, chain::fromRowMatrix(fwdTrfWalshCover(chain::toRowMatrix(c.in(0)))));
    });

    define(reg, "OneX_WalshCover", 2, 1, {"signal", "code"}, {"output"}, [](Call& c) {
        chain::requireRow(c.in(0), "signal");
        chain::requireVector(c.in(1), "code");
        checkResultSize(static_cast<double>(c.in(0).numel()) * static_cast<double>(c.in(1).numel()), "code");
        c.setOut(0, complexResult(walshCover(argComplex(c, 0), argReal(c, 1))));
    });

    define(reg, "OneX_WalshMatrix", 1, 1, {"index"}, {"output"}, [](Call& c) {
        RowMatrix<double> h = walshMatrix(argScalar(c, 0));
        // The table is symmetric: its row-major data is also column-major.
        c.setOut(0, Value::matrix(h.rows, h.cols, std::move(h.data)));
    });

    define(reg, "OneX_FwdTrfChnGain", 1, 1, {"input"}, {"output"}, [](Call& c) {
        Value out = c.in(0);
        if (out.isReal()) {
            for (double& x : out.realData()) x /= 4.0;
        } else if (out.isComplex()) {
            for (cplx& z : out.complexData()) z /= 4.0;
            out.simplify();
        } else {
            throw Error("\"input\" must be numeric, not " + std::string(kindName(out.kind())) + ".");
        }
        c.setOut(0, std::move(out));
    });

    define(reg, "OneX_FwdTrfSummer", 1, 1, {"input"}, {"output"}, [](Call& c) {
        argComplex(c, 0);  // numeric check
        c.setOut(0, complexResult(fwdTrfSummer(chain::toRowMatrix(c.in(0)))));
    });
}

}  // namespace tolvane
