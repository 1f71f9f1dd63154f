// Values for tests: a one-line record builder, and comparison by exact
// equality except that NaN equals NaN.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "runtime/value.hpp"

namespace tolvane::testing_support {

// A record with the given fields, in the given order.
inline Value rec(std::vector<std::pair<std::string, Value>> fields) {
    Record r;
    for (auto& [name, v] : fields) r.set(name, std::move(v));
    return Value::record(std::move(r));
}

// Equality of kind, shape and contents, NaN equal to NaN element by element.
inline bool sameValue(const Value& a, const Value& b) {
    if (a.kind() != b.kind() || a.rows() != b.rows() || a.cols() != b.cols()) return false;
    auto same = [](double x, double y) { return (std::isnan(x) && std::isnan(y)) || x == y; };
    switch (a.kind()) {
        case Kind::Real:
            for (std::size_t i = 0; i < a.numel(); ++i)
                if (!same(a.realAt(i), b.realAt(i))) return false;
            return true;
        case Kind::Complex:
            for (std::size_t i = 0; i < a.numel(); ++i)
                if (!same(a.complexAt(i).real(), b.complexAt(i).real()) ||
                    !same(a.complexAt(i).imag(), b.complexAt(i).imag()))
                    return false;
            return true;
        case Kind::Record: {
            const auto& fa = a.rec().fields();
            const auto& fb = b.rec().fields();
            if (fa.size() != fb.size()) return false;
            for (std::size_t i = 0; i < fa.size(); ++i)
                if (fa[i].first != fb[i].first || !sameValue(fa[i].second, fb[i].second)) return false;
            return true;
        }
        case Kind::Cell:
            for (std::size_t i = 0; i < a.numel(); ++i)
                if (!sameValue(a.cells()[i], b.cells()[i])) return false;
            return true;
        default: return a == b;
    }
}

}  // namespace tolvane::testing_support
