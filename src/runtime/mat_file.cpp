#include "runtime/mat_file.hpp"

#include "instrument/atomic_file.hpp"

#include <hdf5.h>
#include <matio.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "numerics/diagnostics.hpp"

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
    std::call_once(once, [] {
        Mat_LogInitFunc("tolvane", matLog);
        // HDF5 would print its own error stack; failures are reported with
        // our errors instead.
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    });
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

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
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

// ---- Reading -------------------------------------------------------------------------

template <typename T>
void widen(const void* data, std::size_t n, std::vector<double>& out) {
    const T* p = static_cast<const T*>(data);
    out.resize(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<double>(p[i]);
}

// Numeric data of any stored type as doubles.
std::vector<double> asDoubles(const void* data, matio_types type, std::size_t n, const std::string& where) {
    std::vector<double> out;
    if (n == 0) return out;
    if (!data) throw Error(where + " has no data");
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

const char* className(matio_classes c) {
    switch (c) {
        case MAT_C_SPARSE: return "a sparse matrix";
        case MAT_C_OBJECT: return "an object";
        case MAT_C_FUNCTION: return "a function handle";
        case MAT_C_OPAQUE: return "an opaque object";
        default: return "of an unsupported class";
    }
}

Value fromMatVar(matvar_t* v, const std::string& where);

Value charFromMatVar(matvar_t* v, std::size_t rows, std::size_t cols, const std::string& where) {
    std::vector<std::string> lines(rows);
    if (rows * cols > 0) {
        std::vector<std::uint32_t> units(rows * cols);
        if (v->data_type == MAT_T_UTF8 && v->nbytes != rows * cols) {
            // UTF-8 with characters of several bytes: the bytes are the text.
            if (rows != 1) throw Error(where + " is a multi-row UTF-8 char array, which is not supported");
            const char* bytes = static_cast<const char*>(v->data);
            return Value::text(std::string(bytes, bytes ? v->nbytes : 0));
        }
        auto codes = asDoubles(v->data, v->data_type, rows * cols, where);
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
            if (!v->isComplex) return Value::matrix(rows, cols, asDoubles(v->data, v->data_type, n, where));
            if (n == 0) return Value::complexMatrix(rows, cols, {});
            const auto* split = static_cast<const mat_complex_split_t*>(v->data);
            if (!split) throw Error(where + " has no data");
            auto re = asDoubles(split->Re, v->data_type, n, where);
            auto im = asDoubles(split->Im, v->data_type, n, where);
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
        default: throw Error(where + " is " + className(v->class_type) + ", which is not supported");
    }
}

// ---- Checks before the MAT library reads a file ----------------------------------

// The MAT library reads a truncated file without complaint (a format 5 file
// yields damaged values, a format 7.3 file no variables), so the layout is
// checked first: a format 5 file is a 128-byte header followed by data
// elements whose sizes must fit the file; a format 7.3 file must open as
// HDF5.
std::string layoutFault(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "it cannot be opened";
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};

    unsigned char header[128];
    if (std::fread(header, 1, sizeof header, f) != sizeof header) return {};  // too short for format 5 or 7.3
    const bool swapped = header[126] == 'M' && header[127] == 'I';
    if (!swapped && !(header[126] == 'I' && header[127] == 'M')) return {};  // not format 5/7.3: left to the library
    auto u16 = [&](const unsigned char* p) {
        return swapped ? static_cast<unsigned>(p[0] << 8 | p[1]) : static_cast<unsigned>(p[1] << 8 | p[0]);
    };
    auto u32 = [&](const unsigned char* p) {
        return swapped ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]
                       : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    };
    const unsigned version = u16(header + 124);

    if (version == 0x0200) {
        const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        if (file < 0) return "it is a format 7.3 file that is truncated or damaged";
        H5Fclose(file);
        return {};
    }
    if (version != 0x0100) return {};

    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return "its size cannot be read";
    std::uintmax_t offset = sizeof header;
    while (offset < size) {
        unsigned char tag[8];
        if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 || std::fread(tag, 1, 8, f) != 8)
            return "it is truncated at byte " + std::to_string(offset);
        const std::uint32_t type = u32(tag);
        std::uintmax_t next;
        if (type >> 16) {
            next = offset + 8;  // a small element: its data sits in the tag
        } else {
            const std::uintmax_t bytes = u32(tag + 4);
            next = offset + 8 + bytes;
            // Uncompressed elements are padded to a multiple of 8 bytes.
            if (type != MAT_T_COMPRESSED) next = offset + 8 + (bytes + 7) / 8 * 8;
            if (offset + 8 + bytes > size)
                return "it is truncated: the data at byte " + std::to_string(offset) + " needs " +
                       std::to_string(bytes) + " bytes but only " + std::to_string(size - offset - 8) +
                       " remain";
        }
        offset = next;
    }
    return {};
}

}  // namespace

bool matFormat73Available() {
    static const bool available = [] {
        installMatLog();
        auto dir = std::filesystem::temp_directory_path();
        auto probe = (dir / ("tolvane-mat73-probe-" + std::to_string(::getpid()) + ".mat")).string();
        mat_t* mat = Mat_CreateVer(probe.c_str(), nullptr, MAT_FT_MAT73);
        const bool ok = mat != nullptr;
        if (mat) Mat_Close(mat);
        std::remove(probe.c_str());
        return ok;
    }();
    return available;
}

void writeMatFile(const std::string& path, const Record& variables, MatFormat format) {
    installMatLog();
    const std::string fail = "Cannot write the MAT-file " + quoted(path) + ": ";
    for (const auto& [name, value] : variables.fields()) {
        if (!validName(name)) throw Error(fail + "the variable name " + quoted(name) + " is not a valid identifier.");
        if (!value.isSet()) throw Error(fail + "the variable " + quoted(name) + " has no value.");
    }

    const std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) throw Error(fail + "it is a folder.");
    replaceFileAtomically(path, [&](const std::string& temp) {
        MatPtr mat(Mat_CreateVer(temp.c_str(), nullptr, format == MatFormat::V73 ? MAT_FT_MAT73 : MAT_FT_MAT5));
        if (!mat) {
            const std::string why = format == MatFormat::V73 && !matFormat73Available()
                                        ? "format 7.3 is not available in this build"
                                        : "the file could not be created in its folder";
            throw Error(fail + why + matDetail() + ".");
        }
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
        if (Mat_Close(mat.release()) != 0) throw Error(fail + "closing the file failed" + matDetail() + ".");
    });
}

Record readMatFile(const std::string& path) {
    installMatLog();
    const std::string fail = "Cannot read the MAT-file " + quoted(path) + ": ";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw Error(fail + "no such file.");
    if (std::filesystem::is_directory(path, ec)) throw Error(fail + "it is a folder.");

    if (const std::string fault = layoutFault(path); !fault.empty()) throw Error(fail + fault + ".");
    MatPtr mat(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
    if (!mat) throw Error(fail + "it is not a MAT-file or cannot be opened" + matDetail() + ".");

    size_t count = 0;
    char** dir = Mat_GetDir(mat.get(), &count);
    if (!dir && count != 0) throw Error(fail + "its list of variables is damaged" + matDetail() + ".");
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) names.emplace_back(dir[i] ? dir[i] : "");

    Record out;
    for (const auto& name : names) {
        VarPtr var(Mat_VarRead(mat.get(), name.c_str()));
        if (!var) throw Error(fail + "the variable " + quoted(name) + " could not be read" + matDetail() + ".");
        try {
            out.set(name, fromMatVar(var.get(), name));
        } catch (const Error& e) {
            throw Error(fail + e.what() + ".");
        }
    }
    return out;
}

}  // namespace tolvane
