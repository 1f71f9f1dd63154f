// The exported C entries: library life cycle, calls by name and a small
// value API over opaque handles. No exception crosses this boundary: each
// entry turns a failure into its status and the text of tolvane_last_error.
#include <tolvane/tolvane.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/diagnostics.hpp"
#include "base/version.hpp"
#include "runtime/library.hpp"
#include "runtime/value.hpp"

struct tolvane_value {
    tolvane::Value v;
};

namespace {

using tolvane::Value;

std::string& lastError() {
    static std::string text;
    return text;
}

std::string& lastWarnings() {
    static std::string text;
    return text;
}

int fail(std::string message) {
    lastError() = std::move(message);
    return 1;
}

int succeed() {
    lastError().clear();
    return 0;
}

// Runs `body`, turning any exception into a failure status.
template <typename Body>
int guarded(Body body) {
    try {
        return body();
    } catch (const std::exception& e) {
        return fail(e.what());
    } catch (...) {
        return fail("An unknown error occurred.");
    }
}

// Value constructors return NULL instead of throwing (for example when
// memory runs out), with the reason kept as the last error.
template <typename Make>
tolvane_value* made(Make make) {
    try {
        return new tolvane_value{make()};
    } catch (const std::exception& e) {
        fail(e.what());
    } catch (...) {
        fail("An unknown error occurred.");
    }
    return nullptr;
}

const Value& unsetValue() {
    static const Value none;
    return none;
}

const Value& valueOf(const tolvane_value* v) { return v ? v->v : unsetValue(); }

}  // namespace

extern "C" {

int TolvaneInitialize(void) {
    return guarded([] {
        tolvane::library().initialize();
        return succeed();
    });
}

void TolvaneTerminate(void) {
    try {
        tolvane::library().terminate();
        lastError().clear();
    } catch (const std::exception& e) {
        fail(e.what());
    } catch (...) {
        fail("An unknown error occurred.");
    }
}

int OneX_Fwd_c(void) {
    return guarded([] {
        tolvane::Library& lib = tolvane::library();
        if (!lib.initialised()) return fail("The library is not initialised: call TolvaneInitialize first.");
        // The desktop front end registers the application entry when it is
        // part of the build.
        if (!lib.registry().contains("OneX_Fwd_c")) return fail("The desktop front end is not built.");
        lib.registry().call("OneX_Fwd_c", 0, {});
        return succeed();
    });
}

int tolvane_call(const char* name, int nlhs, tolvane_value** lhs, int nrhs, tolvane_value* const* rhs) {
    const std::size_t places = static_cast<std::size_t>(std::max(nlhs, 1));
    if (lhs)
        for (std::size_t i = 0; i < places; ++i) lhs[i] = nullptr;
    lastWarnings().clear();
    return guarded([&] {
        if (!name) return fail("tolvane_call: the function name is NULL.");
        if (!lhs) return fail("tolvane_call: the output list is NULL.");
        if (nrhs < 0 || (nrhs > 0 && !rhs)) return fail("tolvane_call: the input list is invalid.");
        tolvane::Library& lib = tolvane::library();
        if (!lib.initialised()) return fail("The library is not initialised: call TolvaneInitialize first.");

        std::vector<Value> inputs;
        inputs.reserve(static_cast<std::size_t>(nrhs));
        for (int i = 0; i < nrhs; ++i) inputs.push_back(valueOf(rhs[i]));

        // Warnings of this call are collected rather than printed.
        auto previous = tolvane::setWarningSink([](const std::string& w) { lastWarnings() += w + "\n"; });
        std::vector<Value> outputs;
        try {
            outputs = lib.registry().call(name, nlhs, std::move(inputs));
        } catch (...) {
            tolvane::setWarningSink(std::move(previous));
            throw;
        }
        tolvane::setWarningSink(std::move(previous));

        std::vector<tolvane_value*> results;
        try {
            for (std::size_t i = 0; i < places; ++i)
                results.push_back(new tolvane_value{i < outputs.size() ? std::move(outputs[i]) : Value{}});
        } catch (...) {
            for (auto* v : results) delete v;
            throw;
        }
        std::copy(results.begin(), results.end(), lhs);
        return succeed();
    });
}

const char* tolvane_version(void) { return tolvane::versionText(); }

const char* tolvane_last_error(void) { return lastError().c_str(); }

const char* tolvane_last_warnings(void) { return lastWarnings().c_str(); }

// ---- Values ---------------------------------------------------------------------

tolvane_value* tolvane_unset(void) {
    return made([] { return Value{}; });
}

tolvane_value* tolvane_scalar(double x) {
    return made([=] { return Value::scalar(x); });
}

tolvane_value* tolvane_real_matrix(size_t rows, size_t cols, const double* data) {
    return made([=] {
        std::vector<double> d(rows * cols, 0.0);
        if (data) std::copy(data, data + d.size(), d.begin());
        return Value::matrix(rows, cols, std::move(d));
    });
}

tolvane_value* tolvane_complex_matrix(size_t rows, size_t cols, const double* re, const double* im) {
    return made([=] {
        std::vector<tolvane::cplx> d(rows * cols);
        for (std::size_t i = 0; i < d.size(); ++i) d[i] = {re ? re[i] : 0.0, im ? im[i] : 0.0};
        return Value::complexMatrix(rows, cols, std::move(d));
    });
}

tolvane_value* tolvane_text(const char* text) {
    return made([=] { return Value::text(text ? text : ""); });
}

tolvane_value* tolvane_record(void) {
    return made([] { return Value::record(); });
}

tolvane_value* tolvane_cell(size_t n, tolvane_value* const* items) {
    return made([=] {
        std::vector<Value> v;
        v.reserve(n);
        for (std::size_t i = 0; i < n; ++i) v.push_back(items ? valueOf(items[i]) : Value{});
        return Value::cell(std::move(v));
    });
}

tolvane_value* tolvane_copy(const tolvane_value* value) {
    return made([=] { return valueOf(value); });
}

void tolvane_free(tolvane_value* value) { delete value; }

tolvane_kind tolvane_kind_of(const tolvane_value* value) {
    switch (valueOf(value).kind()) {
        case tolvane::Kind::Unset: return TOLVANE_UNSET;
        case tolvane::Kind::Real: return TOLVANE_REAL;
        case tolvane::Kind::Complex: return TOLVANE_COMPLEX;
        case tolvane::Kind::Char: return TOLVANE_CHAR;
        case tolvane::Kind::Record: return TOLVANE_RECORD;
        case tolvane::Kind::Cell: return TOLVANE_CELL;
        case tolvane::Kind::Handle: return TOLVANE_HANDLE;
    }
    return TOLVANE_UNSET;
}

int tolvane_is_unset(const tolvane_value* value) { return valueOf(value).isSet() ? 0 : 1; }

size_t tolvane_rows(const tolvane_value* value) { return valueOf(value).rows(); }

size_t tolvane_cols(const tolvane_value* value) { return valueOf(value).cols(); }

size_t tolvane_numel(const tolvane_value* value) { return valueOf(value).numel(); }

const double* tolvane_real_data(const tolvane_value* value) {
    const Value& v = valueOf(value);
    if (!v.isReal() || v.numel() == 0) return nullptr;
    return v.realData().data();
}

long tolvane_get_numbers(const tolvane_value* value, double* re, double* im, size_t n) {
    const Value& v = valueOf(value);
    if (!v.isNumeric() && !v.isHandle()) return -1;
    const std::size_t count = std::min(n, v.numel());
    for (std::size_t i = 0; i < count; ++i) {
        const tolvane::cplx z = v.complexAt(i);
        if (re) re[i] = z.real();
        if (im) im[i] = z.imag();
    }
    return static_cast<long>(count);
}

const char* tolvane_text_data(const tolvane_value* value) {
    const Value& v = valueOf(value);
    return v.isText() ? v.str().c_str() : nullptr;
}

size_t tolvane_field_count(const tolvane_value* record) {
    const Value& v = valueOf(record);
    return v.isRecord() ? v.rec().size() : 0;
}

const char* tolvane_field_name(const tolvane_value* record, size_t index) {
    const Value& v = valueOf(record);
    if (!v.isRecord() || index >= v.rec().size()) return nullptr;
    return v.rec().fields()[index].first.c_str();
}

tolvane_value* tolvane_field(const tolvane_value* record, const char* name) {
    const Value& v = valueOf(record);
    if (!name || !v.hasField(name)) return nullptr;
    return made([&] { return v.field(name); });
}

int tolvane_set_field(tolvane_value* record, const char* name, const tolvane_value* field) {
    return guarded([&] {
        if (!record || !record->v.isRecord()) return fail("tolvane_set_field: the value is not a record.");
        if (!name || !*name) return fail("tolvane_set_field: the field name is empty.");
        record->v.setField(name, valueOf(field));
        return succeed();
    });
}

tolvane_value* tolvane_cell_item(const tolvane_value* cell, size_t index) {
    const Value& v = valueOf(cell);
    if (!v.isCell() || index >= v.cells().size()) return nullptr;
    return made([&] { return v.cells()[index]; });
}

}  // extern "C"
