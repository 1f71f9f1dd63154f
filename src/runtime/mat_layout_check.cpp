#include "runtime/mat_layout_check.hpp"

#include <matio.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "runtime/input_limits.hpp"

namespace tolvane::mat {

std::size_t typeSize(std::uint32_t type) {
    switch (type) {
        case MAT_T_INT8:
        case MAT_T_UINT8:
        case MAT_T_UTF8: return 1;
        case MAT_T_INT16:
        case MAT_T_UINT16:
        case MAT_T_UTF16: return 2;
        case MAT_T_INT32:
        case MAT_T_UINT32:
        case MAT_T_UTF32:
        case MAT_T_SINGLE: return 4;
        case MAT_T_INT64:
        case MAT_T_UINT64:
        case MAT_T_DOUBLE: return 8;
        default: return 0;
    }
}

const char* className(unsigned cls) {
    switch (cls) {
        case MAT_C_SPARSE: return "a sparse matrix";
        case MAT_C_OBJECT: return "an object";
        case MAT_C_FUNCTION: return "a function handle";
        case MAT_C_OPAQUE: return "an opaque object";
        default: return "of an unsupported class";
    }
}

namespace {

[[noreturn]] void refuse(std::string why) { throw LayoutFault{std::move(why)}; }

// Bytes read one after another: a stretch of the file, or the expanded
// content of one compressed variable.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads exactly n bytes; false when the source ends first.
    virtual bool read(unsigned char* out, std::size_t n) = 0;
    // Passes over n bytes; false when the source ends first.
    virtual bool skip(std::uint64_t n) = 0;
    std::uint64_t position() const { return position_; }

protected:
    std::uint64_t position_ = 0;
};

// The file from `start` to `size`; positions are file offsets.
class FileBytes final : public ByteSource {
public:
    FileBytes(std::FILE* f, std::uint64_t start, std::uint64_t size) : f_(f), size_(size) {
        position_ = start;
        if (::fseeko(f_, static_cast<off_t>(start), SEEK_SET) != 0) refuse("it cannot be read");
    }
    bool read(unsigned char* out, std::size_t n) override {
        if (n > size_ - position_) return false;
        if (std::fread(out, 1, n, f_) != n) refuse("it cannot be read");
        position_ += n;
        return true;
    }
    bool skip(std::uint64_t n) override {
        if (n > size_ - position_) return false;
        position_ += n;
        if (::fseeko(f_, static_cast<off_t>(position_), SEEK_SET) != 0) refuse("it cannot be read");
        return true;
    }

private:
    std::FILE* f_;
    std::uint64_t size_;
};

// The zlib-expanded content of the compressed element whose data lies at
// `start` (`length` bytes) in the file; positions count expanded bytes from
// 0. Every byte expanded is taken from `budget`, shared by the whole file.
class ExpandedBytes final : public ByteSource {
public:
    ExpandedBytes(std::FILE* f, std::uint64_t start, std::uint64_t length, std::uint64_t offset,
                  std::uint64_t& budget)
        : f_(f), next_(start), left_(length), offset_(offset), budget_(budget) {
        if (inflateInit(&z_) != Z_OK) refuse("its compressed data cannot be expanded (out of memory)");
    }
    ~ExpandedBytes() override { inflateEnd(&z_); }
    ExpandedBytes(const ExpandedBytes&) = delete;
    ExpandedBytes& operator=(const ExpandedBytes&) = delete;

    bool read(unsigned char* out, std::size_t n) override {
        while (n > 0) {
            if (used_ == have_ && !refill()) return false;
            const std::size_t step = std::min(n, have_ - used_);
            std::memcpy(out, out_.data() + used_, step);
            out += step, n -= step, used_ += step, position_ += step;
        }
        return true;
    }
    bool skip(std::uint64_t n) override {
        while (n > 0) {
            if (used_ == have_ && !refill()) return false;
            const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(n, have_ - used_));
            n -= step, used_ += step, position_ += step;
        }
        return true;
    }

private:
    // Expands the next stretch into out_; false at the end of the stream.
    bool refill() {
        if (ended_) return false;
        z_.next_out = out_.data();
        z_.avail_out = kChunk;
        while (z_.avail_out == kChunk && !ended_) {
            if (z_.avail_in == 0 && left_ > 0) {
                const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kChunk));
                if (::fseeko(f_, static_cast<off_t>(next_), SEEK_SET) != 0 ||
                    std::fread(in_.data(), 1, step, f_) != step)
                    refuse("it cannot be read");
                next_ += step, left_ -= step;
                z_.next_in = in_.data();
                z_.avail_in = static_cast<uInt>(step);
            }
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z_.avail_in == 0 && left_ == 0)) {
                ended_ = true;  // the end of the stream, or of its data
            } else if (rc != Z_OK) {
                refuse("the compressed variable at byte " + std::to_string(offset_) + " is damaged (" +
                       (z_.msg ? z_.msg : "zlib error " + std::to_string(rc)) + ")");
            }
        }
        have_ = kChunk - z_.avail_out;
        used_ = 0;
        if (have_ > budget_)
            refuse("its compressed data expands to more than " + std::to_string(limits::kMaxMatBytes) +
                   " bytes, the most allowed");
        budget_ -= have_;
        return have_ > 0;
    }

    std::FILE* f_;
    std::uint64_t next_;    // file offset of the compressed bytes not yet read
    std::uint64_t left_;    // compressed bytes not yet read
    std::uint64_t offset_;  // file offset of the element, for messages
    std::uint64_t& budget_;
    z_stream z_{};
    bool ended_ = false;
    static constexpr std::size_t kChunk = 1 << 16;
    std::vector<unsigned char> in_ = std::vector<unsigned char>(kChunk);
    std::vector<unsigned char> out_ = std::vector<unsigned char>(kChunk);
    std::size_t have_ = 0;
    std::size_t used_ = 0;
};

class LayoutScan {
public:
    LayoutScan(std::FILE* f, std::uint64_t size, bool swapped) : f_(f), size_(size), swapped_(swapped) {}

    // Walks every top-level element; returns how many variables there are.
    std::size_t run() {
        std::size_t count = 0;
        std::uint64_t offset = 128;
        while (offset < size_) {
            if (size_ - offset < 8) refuse("it is truncated at byte " + std::to_string(offset));
            FileBytes file(f_, offset, size_);
            unsigned char raw[8];
            file.read(raw, 8);
            const std::uint32_t type = u32(raw);
            const std::uint64_t bytes = u32(raw + 4);
            const std::string where = "the variable at byte " + std::to_string(offset);
            if (type >> 16 || (type != MAT_T_MATRIX && type != MAT_T_COMPRESSED))
                refuse("it is damaged: the data at byte " + std::to_string(offset) + " is not a variable");
            if (bytes > size_ - offset - 8)
                refuse("it is truncated: the data at byte " + std::to_string(offset) + " needs " +
                       std::to_string(bytes) + " bytes but only " + std::to_string(size_ - offset - 8) +
                       " remain");
            if (type == MAT_T_MATRIX) {
                if (bytes == 0) refuse(where + " is empty");
                arraySize(bytes, where);
                array(file, offset + 8 + bytes, 1, where, false);
            } else {
                ExpandedBytes expanded(f_, offset + 8, bytes, offset, expandBudget_);
                const Tag inner = tag(expanded, std::numeric_limits<std::uint64_t>::max(), where, "content");
                if (inner.small || inner.type != MAT_T_MATRIX || inner.bytes == 0)
                    refuse(where + " is damaged: its compressed data holds no array");
                if (inner.bytes > expandBudget_)
                    refuse(where + " expands to " + std::to_string(inner.bytes) + " bytes, more than the " +
                           std::to_string(limits::kMaxMatBytes) + " allowed");
                arraySize(inner.bytes, where);
                array(expanded, 8 + inner.bytes, 1, where, false);
            }
            ++count;
            offset += 8 + bytes;
        }
        return count;
    }

private:
    struct Tag {
        std::uint32_t type = 0;
        std::uint32_t bytes = 0;
        bool small = false;
        unsigned char inlineData[4] = {};
    };

    std::uint32_t u32(const unsigned char* p) const {
        return swapped_ ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]
                        : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }

    [[noreturn]] static void endsEarly(const std::string& where) {
        refuse(where + " is damaged: its compressed data ends early");
    }

    // The size of an array element must be a multiple of 8: the library
    // finds the next element by it without padding.
    static void arraySize(std::uint64_t bytes, const std::string& where) {
        if (bytes % 8 != 0)
            refuse(where + " is damaged: its size of " + std::to_string(bytes) + " bytes is not a multiple of 8");
    }

    // Reads the tag of an element (`what` of `where`) that must end by `end`.
    Tag tag(ByteSource& src, std::uint64_t end, const std::string& where, const char* what) const {
        if (end - src.position() < 8) refuse(where + " is damaged: it ends before its " + what);
        unsigned char raw[8];
        if (!src.read(raw, 8)) endsEarly(where);
        Tag t;
        const std::uint32_t word = u32(raw);
        if (word >> 16) {
            t.small = true;
            t.type = word & 0xFFFF;
            t.bytes = word >> 16;
            std::memcpy(t.inlineData, raw + 4, 4);
            if (t.bytes > 4) refuse(where + " is damaged: the tag of its " + what + " is malformed");
        } else {
            t.type = word;
            t.bytes = u32(raw + 4);
            if (t.bytes > end - src.position())
                refuse(where + " is damaged: " + std::to_string(t.bytes) + " bytes are declared for its " + what +
                       " but only " + std::to_string(end - src.position()) + " remain");
        }
        return t;
    }

    // Passes the padding after `bytes` of element data, up to `end`.
    static void pad(ByteSource& src, std::uint64_t bytes, std::uint64_t end, const std::string& where) {
        const std::uint64_t padding = std::min<std::uint64_t>((8 - bytes % 8) % 8, end - src.position());
        if (!src.skip(padding)) endsEarly(where);
    }

    // The data of an element, with its padding passed.
    static std::vector<unsigned char> data(ByteSource& src, const Tag& t, std::uint64_t end,
                                           const std::string& where) {
        if (t.small) return {t.inlineData, t.inlineData + t.bytes};
        std::vector<unsigned char> out(t.bytes);
        if (!src.read(out.data(), out.size())) endsEarly(where);
        pad(src, t.bytes, end, where);
        return out;
    }

    static void skipData(ByteSource& src, const Tag& t, std::uint64_t end, const std::string& where) {
        if (t.small) return;
        if (!src.skip(t.bytes)) endsEarly(where);
        pad(src, t.bytes, end, where);
    }

    void countNumbers(std::uint64_t n) {
        numbers_ += n;
        if (numbers_ > limits::kMaxElements)
            refuse("it holds more than " + std::to_string(limits::kMaxElements) + " numbers, the most allowed");
    }

    // An item of a cell or a field of a record: an array element of its own.
    void item(ByteSource& src, std::uint64_t end, std::size_t depth, const std::string& where) {
        const Tag t = tag(src, end, where, "content");
        if (t.small || t.type != MAT_T_MATRIX) refuse(where + " is damaged: it is not an array");
        arraySize(t.bytes, where);
        array(src, src.position() + t.bytes, depth, where, true);
    }

    // The content of one array, from the source's position to `end`; `depth`
    // counts the arrays around it and itself.
    void array(ByteSource& src, std::uint64_t end, std::size_t depth, std::string where, bool nested) {
        if (++arrays_ > limits::kMaxValueCount)
            refuse("it holds more than " + std::to_string(limits::kMaxValueCount) + " arrays, the most allowed");
        if (src.position() == end) return;  // an empty array: a tag without content

        const Tag flagsTag = tag(src, end, where, "array flags");
        if (flagsTag.small || flagsTag.type != MAT_T_UINT32 || flagsTag.bytes != 8)
            refuse(where + " is damaged: its array flags are malformed");
        const auto flags = data(src, flagsTag, end, where);
        const unsigned cls = u32(flags.data()) & 0xFF;
        const bool complex = (u32(flags.data()) & MAT_F_COMPLEX) != 0;

        const Tag dimsTag = tag(src, end, where, "dimensions");
        if (dimsTag.small || dimsTag.type != MAT_T_INT32 || dimsTag.bytes % 4 != 0 || dimsTag.bytes < 8)
            refuse(where + " is damaged: its dimensions are malformed");
        if (dimsTag.bytes / 4 > limits::kMaxMatRank)
            refuse(where + " has " + std::to_string(dimsTag.bytes / 4) + " dimensions; at most " +
                   std::to_string(limits::kMaxMatRank) + " are allowed");
        const auto dimBytes = data(src, dimsTag, end, where);

        const Tag nameTag = tag(src, end, where, "name");
        if (nested) {
            // The library takes the name of a nested array to be empty: it
            // passes over the name's tag and nothing more.
            if (!nameTag.small && nameTag.bytes != 0) refuse(where + " is damaged: it carries a name");
        } else {
            constexpr std::uint32_t longest = 4096;
            if (nameTag.bytes > longest)
                refuse(where + " has a name of " + std::to_string(nameTag.bytes) + " bytes; at most " +
                       std::to_string(longest) + " are allowed");
            const auto name = data(src, nameTag, end, where);
            std::string text(name.begin(), name.end());
            text.resize(std::strlen(text.c_str()));
            if (!text.empty()) where = text;
        }

        // The dimensions are checked once the array's name is known.
        std::uint64_t numel = 1;
        bool over = false;  // the product passed the ceiling (unless a later size is 0)
        std::string shape;
        for (std::size_t k = 0; k < dimBytes.size(); k += 4) {
            const auto d = static_cast<std::int32_t>(u32(dimBytes.data() + k));
            if (d < 0) refuse(where + " is damaged: it has a negative size");
            shape += (k ? " x " : "") + std::to_string(d);
            if (d == 0) {
                numel = 0, over = false;
            } else if (numel != 0 && !over) {
                numel *= static_cast<std::uint64_t>(d);  // both below 2^31: no overflow
                if (numel > limits::kMaxElements) over = true, numel = 1;
            }
        }
        if (over)
            refuse(where + " declares " + shape + " elements, more than the " +
                   std::to_string(limits::kMaxElements) + " allowed");

        switch (cls) {
            case MAT_C_DOUBLE:
            case MAT_C_SINGLE:
            case MAT_C_INT8:
            case MAT_C_UINT8:
            case MAT_C_INT16:
            case MAT_C_UINT16:
            case MAT_C_INT32:
            case MAT_C_UINT32:
            case MAT_C_INT64:
            case MAT_C_UINT64:
                for (int part = 0; part < (complex ? 2 : 1); ++part) {
                    if (numel == 0 && src.position() == end) break;  // an empty array may store no data
                    const char* what = part == 0 ? "data" : "imaginary data";
                    const Tag t = tag(src, end, where, what);
                    const std::size_t size = t.type == MAT_T_UTF8 || t.type == MAT_T_UTF16 || t.type == MAT_T_UTF32
                                                 ? 0
                                                 : typeSize(t.type);
                    if (size == 0)
                        refuse(where + " is damaged: its " + what + " is of unknown type " + std::to_string(t.type));
                    if (t.bytes % size != 0 || t.bytes / size != numel)
                        refuse(where + " is damaged: it declares " + shape + " numbers but holds " +
                               std::to_string(t.bytes / size));
                    skipData(src, t, end, where);
                }
                countNumbers(numel);
                break;
            case MAT_C_CHAR: {
                if (numel == 0 && src.position() == end) break;
                const Tag t = tag(src, end, where, "data");
                const std::size_t size = typeSize(t.type);
                if (size == 0) refuse(where + " is damaged: its data is of unknown type " + std::to_string(t.type));
                // UTF-8 may take up to 4 bytes per character.
                const bool fits = t.type == MAT_T_UTF8 ? t.bytes >= numel && t.bytes <= 4 * numel
                                                       : t.bytes % size == 0 && t.bytes / size == numel;
                if (!fits)
                    refuse(where + " is damaged: it declares " + shape + " characters but holds " +
                           std::to_string(t.bytes / size));
                skipData(src, t, end, where);
                countNumbers(numel);
                break;
            }
            case MAT_C_CELL:
                if (numel > 0) deeper(depth, where);
                for (std::uint64_t i = 0; i < numel; ++i) item(src, end, depth + 1, where + "{" + std::to_string(i + 1) + "}");
                break;
            case MAT_C_STRUCT: {
                const Tag lengthTag = tag(src, end, where, "field name length");
                const std::uint32_t length = u32(lengthTag.inlineData);
                if (!lengthTag.small || lengthTag.type != MAT_T_INT32 || lengthTag.bytes != 4 || length == 0)
                    refuse(where + " is damaged: the length of its field names is malformed");
                const Tag namesTag = tag(src, end, where, "field names");
                if (namesTag.type != MAT_T_INT8 || namesTag.bytes % length != 0)
                    refuse(where + " is damaged: its field names are malformed");
                const std::uint64_t nfields = namesTag.bytes / length;
                if (nfields > limits::kMaxValueCount || (nfields != 0 && numel > limits::kMaxValueCount / nfields))
                    refuse(where + " declares " + shape + " records of " + std::to_string(nfields) +
                           " fields, more than the " + std::to_string(limits::kMaxValueCount) + " arrays allowed");
                const auto names = data(src, namesTag, end, where);
                std::vector<std::string> fields;
                for (std::uint64_t k = 0; k < nfields; ++k) {
                    const char* p = reinterpret_cast<const char*>(names.data()) + k * length;
                    fields.emplace_back(p, strnlen(p, length));
                }
                if (nfields * numel > 0) deeper(depth, where);
                for (std::uint64_t e = 0; e < numel; ++e) {
                    const std::string element = numel == 1 ? where : where + "(" + std::to_string(e + 1) + ")";
                    for (const auto& field : fields) item(src, end, depth + 1, element + "." + field);
                }
                break;
            }
            default: refuse(where + " is " + className(cls) + ", which is not supported");
        }
        // The library goes on after the array's declared end; so does the walk.
        if (!src.skip(end - src.position())) endsEarly(where);
    }

    // Refuses to go one level further down than the ceiling allows.
    static void deeper(std::size_t depth, const std::string& where) {
        if (depth + 1 > limits::kMaxMatDepth)
            refuse(where + " nests cells and records more than " + std::to_string(limits::kMaxMatDepth) +
                   " levels deep; at most " + std::to_string(limits::kMaxMatDepth) + " are allowed");
    }

    std::FILE* f_;
    std::uint64_t size_;
    bool swapped_;
    std::uint64_t expandBudget_ = limits::kMaxMatBytes;
    std::uint64_t numbers_ = 0;
    std::uint64_t arrays_ = 0;
};

}  // namespace

std::size_t checkLayout(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) refuse("it cannot be opened");
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};

    struct stat info {};
    if (::fstat(::fileno(f), &info) != 0) refuse("its size cannot be read");
    if (!S_ISREG(info.st_mode)) refuse("it is not a regular file");
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limits::kMaxMatBytes)
        refuse("it is " + std::to_string(size) + " bytes long; at most " + std::to_string(limits::kMaxMatBytes) +
               " are allowed");

    unsigned char header[128];
    const char* notMat = "it is not a MAT-file of format 5";
    if (std::fread(header, 1, sizeof header, f) != sizeof header) refuse(std::string(notMat) + " (it is too short)");
    const bool swapped = header[126] == 'M' && header[127] == 'I';
    if (!swapped && !(header[126] == 'I' && header[127] == 'M')) refuse(notMat);
    const unsigned version = swapped ? unsigned(header[124]) << 8 | header[125] : unsigned(header[125]) << 8 | header[124];
    if (version == 0x0200)
        refuse("it is a MAT-file of format 7.3, which is not read here: save it as a MAT-file of format 5");
    if (version != 0x0100) refuse(notMat);
    return LayoutScan(f, size, swapped).run();
}

}  // namespace tolvane::mat
