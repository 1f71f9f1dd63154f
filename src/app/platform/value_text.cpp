#include "app/platform/value_text.hpp"

#include <cmath>

#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

std::string numberOrComplex(const Value& v, std::size_t i) {
    if (!v.isComplex()) return numberText(v.realAt(i));
    const cplx c = v.complexAt(i);
    std::string im = numberText(std::abs(c.imag()));
    return numberText(c.real()) + (c.imag() < 0 ? "-" : "+") + im + "i";
}

}  // namespace

std::string displayText(const Value& value) {
    switch (value.kind()) {
        case Kind::Unset:
            return "";
        case Kind::Char:
            return value.str();
        case Kind::Handle:
            return numberText(value.handleValue());
        case Kind::Real:
        case Kind::Complex: {
            if (value.numel() == 0) return "";
            if (value.isScalar()) return numberOrComplex(value, 0);
            std::string out = "[";
            for (std::size_t r = 0; r < value.rows(); ++r) {
                if (r > 0) out += "; ";
                for (std::size_t c = 0; c < value.cols(); ++c) {
                    if (c > 0) out += ' ';
                    out += numberOrComplex(value, c * value.rows() + r);
                }
            }
            return out + "]";
        }
        case Kind::Cell: {
            std::string out;
            bool first = true;
            for (const Value& item : value.cells()) {
                if (!first) out += '|';
                first = false;
                out += displayText(item);
            }
            return out;
        }
        case Kind::Record:
            return "<record>";
    }
    return "";
}

std::string oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else
            out += ch;
    }
    return out;
}

}  // namespace tolvane::app
