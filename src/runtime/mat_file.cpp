#include "runtime/mat_file.hpp"

#include <matio.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/atomic_file.hpp"
#include "base/diagnostics.hpp"
#include "base/utf8.hpp"
#include "runtime/input_limits.hpp"
#include "runtime/mat_layout_check.hpp"

namespace tolvane {

namespace {

// ---- The MAT library's messages --------------------------------------------------

// The library reports its problems through a log function; they are kept
// here and added to our error text instead of being printed.
std::string& matMessages() {
    static std::string text;
    return text;
}

void matLog(int level, char* message) {
    if (level & MATIO_LOG_LEVEL_DEBUG) return;
    std::string& text = matMessages();
    if (!text.empty()) text += "; ";
    text += message;
}

void installMatLog() {
    static std::once_flag once;
    std::call_once(once, [] { Mat_LogInitFunc("tolvane", matLog); });
    matMessages().clear();
}

std::string matDetail() {
    const std::string& text = matMessages();
    return text.empty() ? std::string() : " (" + text + ")";
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

struct VarDeleter {
    void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using VarPtr = std::unique_ptr<matvar_t, VarDeleter>;

struct MatCloser {
    void operator()(mat_t* m) const { Mat_Close(m); }
};
using MatPtr = std::unique_ptr<mat_t, MatCloser>;

// ---- Text as 16-bit code units ---------------------------------------------------

std::vector<std::uint16_t> utf8ToUtf16(const std::string& s) {
    std::vector<std::uint16_t> out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = b;
        std::size_t len = 1;
        if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F;
        else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F;
        else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07;
        bool ok = len == 1 || i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            // A byte that does not start valid UTF-8 stands for itself.
            len = 1;
            cp = b;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<std::uint16_t>(cp));
        }
        i += len;
    }
    return out;
}


std::string utf16ToUtf8(const std::vector<std::uint32_t>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, u);
    }
    return out;
}

// ---- Writing -------------------------------------------------------------------------

bool validName(const std::string& name) {
    if (name.empty() || name.size() > 63) return false;
    if (!std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    for (char ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_') return false;
    return true;
}

VarPtr created(matvar_t* v, const std::string& where) {
    if (!v) throw Error("could not store " + where + matDetail());
    return VarPtr(v);
}

VarPtr toMatVar(const Value& v, const std::string& varName, const std::string& where) {
    size_t dims[2] = {v.rows(), v.cols()};
    // Items of a cell carry no name.
    const char* name = varName.empty() ? nullptr : varName.c_str();
    switch (v.kind()) {
        case Kind::Unset: {
            size_t none[2] = {0, 0};
            return created(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, none, nullptr, 0), where);
        }
        case Kind::Real: {
            auto data = v.realData();
            return created(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims,
                                         data.empty() ? nullptr : data.data(), 0),
                           where);
        }
        case Kind::Handle: {
            double h = v.handleValue();
            size_t one[2] = {1, 1};
            return created(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, one, &h, 0), where);
        }
        case Kind::Complex: {
            const auto& z = v.complexData();
            std::vector<double> re(z.size()), im(z.size());
            for (std::size_t i = 0; i < z.size(); ++i) re[i] = z[i].real(), im[i] = z[i].imag();
            mat_complex_split_t split{re.data(), im.data()};
            return created(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &split, MAT_F_COMPLEX),
                           where);
        }
        case Kind::Char: {
            auto units = utf8ToUtf16(v.str());
            size_t textDims[2] = {units.empty() ? 0u : 1u, units.size()};
            return created(Mat_VarCreate(name, MAT_C_CHAR, MAT_T_UINT16, 2, textDims,
                                         units.empty() ? nullptr : units.data(), 0),
                           where);
        }
        case Kind::Record: {
            const auto& fields = v.rec().fields();
            std::vector<const char*> names;
            for (const auto& [field, value] : fields) {
                if (!validName(field))
                    throw Error("the field name " + quoted(field) + " in " + where + " is not a valid identifier");
                names.push_back(field.c_str());
            }
            size_t one[2] = {1, 1};
            VarPtr s = created(Mat_VarCreateStruct(name, 2, one, names.empty() ? nullptr : names.data(),
                                                   static_cast<unsigned>(names.size())),
                               where);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                VarPtr child = toMatVar(fields[i].second, fields[i].first, where + "." + fields[i].first);
                Mat_VarSetStructFieldByIndex(s.get(), i, 0, child.release());
            }
            return s;
        }
        case Kind::Cell: {
            const auto& items = v.cells();
            std::vector<matvar_t*> slots(items.size(), nullptr);
            VarPtr c = created(Mat_VarCreate(name, MAT_C_CELL, MAT_T_CELL, 2, dims,
                                             slots.empty() ? nullptr : slots.data(), 0),
                               where);
            for (std::size_t i = 0; i < items.size(); ++i) {
                VarPtr child = toMatVar(items[i], std::string(), where + "{" + std::to_string(i + 1) + "}");
                Mat_VarSetCell(c.get(), static_cast<int>(i), child.release());
            }
            return c;
        }
    }
    throw Error("cannot store " + where);
}

// A 1 x N struct array; the records' fields were checked by the caller.
VarPtr recordArrayVar(const MatRecordArray& array) {
    std::vector<const char*> names;
    for (const std::string& field : array.fields) names.push_back(field.c_str());
    size_t dims[2] = {1, array.records.size()};
    VarPtr s = created(Mat_VarCreateStruct(array.name.c_str(), 2, dims, names.empty() ? nullptr : names.data(),
                                           static_cast<unsigned>(names.size())),
                       array.name);
    for (std::size_t r = 0; r < array.records.size(); ++r) {
        const auto& fields = array.records[r].fields();
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const std::string where = array.name + "(" + std::to_string(r + 1) + ")." + fields[f].first;
            VarPtr child = toMatVar(fields[f].second, fields[f].first, where);
            Mat_VarFree(Mat_VarSetStructFieldByIndex(s.get(), f, r, child.release()));
        }
    }
    return s;
}

// ---- Reading -------------------------------------------------------------------------

template <typename T>
void widen(const void* data, std::size_t n, std::vector<double>& out) {
    const T* p = static_cast<const T*>(data);
    out.resize(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<double>(p[i]);
}

// Numeric data of any stored type as doubles. `bytes` is the size of the
// block at `data`; it must hold the n elements.
std::vector<double> asDoubles(const void* data, matio_types type, std::size_t n, std::size_t bytes,
                              const std::string& where) {
    std::vector<double> out;
    if (n == 0) return out;
    if (!data) throw Error(where + " has no data");
    const std::size_t size = mat::typeSize(type);
    if (size == 0) throw Error(where + " has an unsupported element type");
    if (bytes / size < n)
        throw Error(where + " is damaged: it declares " + std::to_string(n) + " elements but holds " +
                    std::to_string(bytes / size));
    switch (type) {
        case MAT_T_DOUBLE: widen<double>(data, n, out); break;
        case MAT_T_SINGLE: widen<float>(data, n, out); break;
        case MAT_T_INT8: widen<std::int8_t>(data, n, out); break;
        case MAT_T_UINT8: widen<std::uint8_t>(data, n, out); break;
        case MAT_T_UTF8: widen<std::uint8_t>(data, n, out); break;
        case MAT_T_INT16: widen<std::int16_t>(data, n, out); break;
        case MAT_T_UINT16: widen<std::uint16_t>(data, n, out); break;
        case MAT_T_UTF16: widen<std::uint16_t>(data, n, out); break;
        case MAT_T_INT32: widen<std::int32_t>(data, n, out); break;
        case MAT_T_UINT32: widen<std::uint32_t>(data, n, out); break;
        case MAT_T_UTF32: widen<std::uint32_t>(data, n, out); break;
        case MAT_T_INT64: widen<std::int64_t>(data, n, out); break;
        case MAT_T_UINT64: widen<std::uint64_t>(data, n, out); break;
        default: throw Error(where + " has an unsupported element type");
    }
    return out;
}

Value fromMatVar(matvar_t* v, const std::string& where);

Value charFromMatVar(matvar_t* v, std::size_t rows, std::size_t cols, const std::string& where) {
    std::vector<std::string> lines(rows);
    if (rows * cols > 0) {
        if (v->data_type == MAT_T_UTF8 && v->nbytes != rows * cols) {
            // UTF-8 with characters of several bytes: the bytes are the text.
            if (rows != 1) throw Error(where + " is a multi-row UTF-8 char array, which is not supported");
            if (v->nbytes < cols)
                throw Error(where + " is damaged: it declares " + std::to_string(cols) + " characters but holds " +
                            std::to_string(v->nbytes) + " bytes");
            const char* bytes = static_cast<const char*>(v->data);
            return Value::text(std::string(bytes, bytes ? v->nbytes : 0));
        }
        auto codes = asDoubles(v->data, v->data_type, rows * cols, v->nbytes, where);
        for (std::size_t r = 0; r < rows; ++r) {
            std::vector<std::uint32_t> row(cols);
            for (std::size_t c = 0; c < cols; ++c) row[c] = static_cast<std::uint32_t>(codes[c * rows + r]);
            lines[r] = utf16ToUtf8(row);
        }
    }
    if (rows <= 1) return Value::text(rows == 0 ? std::string() : lines[0]);
    std::vector<Value> cells;
    for (auto& line : lines) cells.push_back(Value::text(std::move(line)));
    return Value::cellMatrix(rows, 1, std::move(cells));
}

Value fromMatVar(matvar_t* v, const std::string& where) {
    if (!v) throw Error(where + " could not be read" + matDetail());
    if (v->rank > 2) {
        for (int d = 2; d < v->rank; ++d)
            if (v->dims[d] != 1) throw Error(where + " has more than two dimensions, which is not supported");
    }
    const std::size_t rows = v->rank >= 1 ? v->dims[0] : 0;
    const std::size_t cols = v->rank >= 2 ? v->dims[1] : (rows ? 1 : 0);
    if (cols != 0 && rows > limits::kMaxElements / cols)
        throw Error(where + " declares " + std::to_string(rows) + " x " + std::to_string(cols) +
                    " elements, more than the " + std::to_string(limits::kMaxElements) + " allowed");
    const std::size_t n = rows * cols;

    switch (v->class_type) {
        case MAT_C_EMPTY: return Value::empty();
        case MAT_C_DOUBLE:
        case MAT_C_SINGLE:
        case MAT_C_INT8:
        case MAT_C_UINT8:
        case MAT_C_INT16:
        case MAT_C_UINT16:
        case MAT_C_INT32:
        case MAT_C_UINT32:
        case MAT_C_INT64:
        case MAT_C_UINT64: {
            if (!v->isComplex)
                return Value::matrix(rows, cols, asDoubles(v->data, v->data_type, n, v->nbytes, where));
            if (n == 0) return Value::complexMatrix(rows, cols, {});
            const auto* split = static_cast<const mat_complex_split_t*>(v->data);
            if (!split) throw Error(where + " has no data");
            // Each part is a block of nbytes.
            auto re = asDoubles(split->Re, v->data_type, n, v->nbytes, where);
            auto im = asDoubles(split->Im, v->data_type, n, v->nbytes, where);
            std::vector<cplx> z(n);
            for (std::size_t i = 0; i < n; ++i) z[i] = cplx(re[i], im[i]);
            return Value::complexMatrix(rows, cols, std::move(z));
        }
        case MAT_C_CHAR: return charFromMatVar(v, rows, cols, where);
        case MAT_C_STRUCT: {
            const unsigned nfields = Mat_VarGetNumberOfFields(v);
            char* const* names = Mat_VarGetStructFieldnames(v);
            auto recordAt = [&](std::size_t index) {
                Record r;
                for (unsigned f = 0; f < nfields; ++f) {
                    const std::string field = names && names[f] ? names[f] : "field" + std::to_string(f + 1);
                    matvar_t* fv = Mat_VarGetStructFieldByIndex(v, f, index);
                    // A field never assigned in the file holds an empty matrix.
                    r.set(field, fv ? fromMatVar(fv, where + "." + field) : Value::empty());
                }
                return Value::record(std::move(r));
            };
            if (n == 1) return recordAt(0);
            std::vector<Value> records;
            for (std::size_t i = 0; i < n; ++i) records.push_back(recordAt(i));
            return Value::cellMatrix(rows, cols, std::move(records));
        }
        case MAT_C_CELL: {
            std::vector<Value> items;
            for (std::size_t i = 0; i < n; ++i) {
                matvar_t* item = Mat_VarGetCell(v, static_cast<int>(i));
                items.push_back(item ? fromMatVar(item, where + "{" + std::to_string(i + 1) + "}") : Value::empty());
            }
            return Value::cellMatrix(rows, cols, std::move(items));
        }
        default: throw Error(where + " is " + mat::className(v->class_type) + ", which is not supported");
    }
}

// Refuses to write a value that could not be read back.
void checkWriteDepth(const Value& v, std::size_t depth, const std::string& where) {
    const bool holdsValues = (v.isRecord() && v.rec().size() > 0) || (v.isCell() && !v.cells().empty());
    if (!holdsValues) return;
    if (depth + 1 > limits::kMaxMatDepth)
        throw Error(where + " nests records and cells more than " + std::to_string(limits::kMaxMatDepth) +
                    " levels deep, more than a MAT-file may hold to be read back");
    if (v.isRecord())
        for (const auto& [name, field] : v.rec().fields()) checkWriteDepth(field, depth + 1, where + "." + name);
    else
        for (std::size_t i = 0; i < v.cells().size(); ++i)
            checkWriteDepth(v.cells()[i], depth + 1, where + "{" + std::to_string(i + 1) + "}");
}

}  // namespace

void writeMatFile(const std::string& path, const Record& variables, MatFormat format) {
    writeMatFile(path, variables, {}, format);
}

void writeMatFile(const std::string& path, const Record& variables, const std::vector<MatRecordArray>& recordArrays,
                  MatFormat) {
    installMatLog();
    const std::string fail = "Cannot write the MAT-file " + quoted(path) + ": ";
    for (const auto& [name, value] : variables.fields()) {
        if (!validName(name)) throw Error(fail + "the variable name " + quoted(name) + " is not a valid identifier.");
        if (!value.isSet()) throw Error(fail + "the variable " + quoted(name) + " has no value.");
        try {
            checkWriteDepth(value, 1, name);
        } catch (const Error& e) {
            throw Error(fail + e.what() + ".");
        }
    }
    for (const MatRecordArray& array : recordArrays) {
        if (!validName(array.name))
            throw Error(fail + "the variable name " + quoted(array.name) + " is not a valid identifier.");
        for (const std::string& field : array.fields)
            if (!validName(field))
                throw Error(fail + "the field name " + quoted(field) + " in " + array.name +
                            " is not a valid identifier.");
        for (std::size_t r = 0; r < array.records.size(); ++r) {
            const std::string where = array.name + "(" + std::to_string(r + 1) + ")";
            const auto& fields = array.records[r].fields();
            bool same = fields.size() == array.fields.size();
            for (std::size_t f = 0; same && f < fields.size(); ++f) same = fields[f].first == array.fields[f];
            if (!same) throw Error(fail + where + " does not have the fields of the record array.");
            try {
                for (const auto& [field, value] : fields) checkWriteDepth(value, 2, where + "." + field);
            } catch (const Error& e) {
                throw Error(fail + e.what() + ".");
            }
        }
    }

    const std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) throw Error(fail + "it is a folder.");
    replaceFileAtomically(path, [&](const std::string& temp) {
        MatPtr mat(Mat_CreateVer(temp.c_str(), nullptr, MAT_FT_MAT5));
        if (!mat) throw Error(fail + "the file could not be created in its folder" + matDetail() + ".");
        for (const auto& [name, value] : variables.fields()) {
            VarPtr var;
            try {
                var = toMatVar(value, name, name);
            } catch (const Error& e) {
                throw Error(fail + e.what() + ".");
            }
            if (Mat_VarWrite(mat.get(), var.get(), MAT_COMPRESSION_NONE) != 0)
                throw Error(fail + "writing the variable " + quoted(name) + " failed" + matDetail() + ".");
        }
        for (const MatRecordArray& array : recordArrays) {
            VarPtr var;
            try {
                var = recordArrayVar(array);
            } catch (const Error& e) {
                throw Error(fail + e.what() + ".");
            }
            if (Mat_VarWrite(mat.get(), var.get(), MAT_COMPRESSION_NONE) != 0)
                throw Error(fail + "writing the variable " + quoted(array.name) + " failed" + matDetail() + ".");
        }
        if (Mat_Close(mat.release()) != 0) throw Error(fail + "closing the file failed" + matDetail() + ".");
    });
}

Record readMatFile(const std::string& path) {
    installMatLog();
    const std::string fail = "Cannot read the MAT-file " + quoted(path) + ": ";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw Error(fail + "no such file.");
    if (std::filesystem::is_directory(path, ec)) throw Error(fail + "it is a folder.");

    std::size_t count = 0;
    try {
        count = mat::checkLayout(path);
    } catch (const mat::LayoutFault& fault) {
        throw Error(fail + fault.why + ".");
    }
    MatPtr mat(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
    if (!mat) throw Error(fail + "it is not a MAT-file or cannot be opened" + matDetail() + ".");

    // The variables one after another, each read once.
    Record out;
    for (std::size_t k = 0; k < count; ++k) {
        VarPtr var(Mat_VarReadNext(mat.get()));
        if (!var)
            throw Error(fail + "variable " + std::to_string(k + 1) + " could not be read" + matDetail() + ".");
        // An array without a name (such as a subsystem's data) is no variable.
        if (!var->name || !*var->name) continue;
        const std::string name = var->name;
        try {
            out.set(name, fromMatVar(var.get(), name));
        } catch (const Error& e) {
            throw Error(fail + e.what() + ".");
        }
    }
    return out;
}

}  // namespace tolvane
