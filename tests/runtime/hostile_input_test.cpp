// Damaged and hostile outside input: every reader refuses it quickly with a
// message naming what is wrong, and never crashes, hangs or runs away with
// the memory. The inputs are made by hand here: MAT-files byte by byte,
// JSON and literal text, special files.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "base/diagnostics.hpp"
#include "runtime/input_limits.hpp"
#include "runtime/json_value.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/matrix_literal.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/user_data_file.hpp"
#include "../support/temp_dir.hpp"

extern char** environ;

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// ---- MAT-file format 5, byte by byte (little-endian) ---------------------------

constexpr std::uint32_t miINT8 = 1, miUINT16 = 4, miINT32 = 5, miUINT32 = 6, miDOUBLE = 9, miMATRIX = 14,
                        miCOMPRESSED = 15;
constexpr std::uint32_t mxCELL = 1, mxSTRUCT = 2, mxCHAR = 4, mxSPARSE = 5, mxDOUBLE = 6;

std::string le32(std::uint32_t x) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(x >> (8 * i));
    return s;
}

std::string padded(std::string s) {
    s.resize((s.size() + 7) / 8 * 8, '\0');
    return s;
}

// A tag and its data, padded to 8 bytes.
std::string element(std::uint32_t type, const std::string& data) {
    return le32(type) + le32(static_cast<std::uint32_t>(data.size())) + padded(data);
}

// Up to 4 bytes of data inside the tag.
std::string smallElement(std::uint32_t type, std::string data) {
    const auto bytes = static_cast<std::uint32_t>(data.size());
    data.resize(4, '\0');
    return le32(bytes << 16 | type) + data;
}

std::string header(std::uint16_t version = 0x0100) {
    std::string h = "Tolvane hostile input test";
    h.resize(116, ' ');
    h += std::string(8, '\0');
    h += static_cast<char>(version & 0xFF);
    h += static_cast<char>(version >> 8);
    return h + "IM";
}

// Array flags, dimensions and name: the part every array starts with.
std::string arrayHead(std::uint32_t cls, const std::vector<std::int32_t>& dims, const std::string& name) {
    std::string d;
    for (auto x : dims) d += le32(static_cast<std::uint32_t>(x));
    return element(miUINT32, le32(cls) + le32(0)) + element(miINT32, d) +
           (name.size() <= 4 && !name.empty() ? smallElement(miINT8, name) : element(miINT8, name));
}

std::string array(std::uint32_t cls, const std::vector<std::int32_t>& dims, const std::string& name,
                  const std::string& body) {
    return element(miMATRIX, arrayHead(cls, dims, name) + body);
}

std::string doubles(const std::vector<double>& xs) {
    std::string s(xs.size() * 8, '\0');
    for (std::size_t i = 0; i < xs.size(); ++i) std::memcpy(s.data() + 8 * i, &xs[i], 8);
    return element(miDOUBLE, s);
}

// A variable `name` of 1 x 1 cells nested `depth` deep around one number,
// built outside in (a string of depth x 48 bytes, without copying it
// depth times).
std::string nestedCells(const std::string& name, std::size_t depth) {
    const std::string inner = array(mxDOUBLE, {1, 1}, "", doubles({1}));
    std::vector<std::uint32_t> content(depth);
    std::uint32_t below = static_cast<std::uint32_t>(inner.size());
    for (std::size_t k = depth; k-- > 0;) {
        content[k] = static_cast<std::uint32_t>(arrayHead(mxCELL, {1, 1}, k == 0 ? name : "").size()) + below;
        below = 8 + content[k];
    }
    std::string out;
    out.reserve(below);
    for (std::size_t k = 0; k < depth; ++k) out += le32(miMATRIX) + le32(content[k]) + arrayHead(mxCELL, {1, 1}, k == 0 ? name : "");
    return out + inner;
}

std::uint32_t adler32(const std::string& data) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : data) a = (a + c) % 65521, b = (b + a) % 65521;
    return b << 16 | a;
}

// A zlib stream holding `data` in stored (uncompressed) blocks.
std::string zlibStored(const std::string& data) {
    std::string z = "\x78\x01";
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, data.size() - at);
        z += static_cast<char>(at + n == data.size() ? 1 : 0);
        z += static_cast<char>(n & 0xFF), z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF), z += static_cast<char>((~n >> 8) & 0xFF);
        z += data.substr(at, n);
        at += n;
    } while (at < data.size());
    const std::uint32_t sum = adler32(data);
    for (int i = 3; i >= 0; --i) z += static_cast<char>(sum >> (8 * i));
    return z;
}

// A compressed top-level element (no padding after it).
std::string compressed(const std::string& z) { return le32(miCOMPRESSED) + le32(static_cast<std::uint32_t>(z.size())) + z; }

std::string writeFile(const TempDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A file of `size` bytes that takes no room on the disc.
std::string sparseFile(const TempDir& dir, const std::string& name, std::uintmax_t size) {
    const std::string path = writeFile(dir, name, "");
    fs::resize_file(path, size);
    return path;
}

// ---- Running the readers ------------------------------------------------------------

enum class Reader { Json, Mat, ParameterFile, Literal, UserData, CallArgument };

const char* readerName(Reader r) {
    switch (r) {
        case Reader::Json: return "parseJsonValue";
        case Reader::Mat: return "readMatFile";
        case Reader::ParameterFile: return "loadParameterFile";
        case Reader::Literal: return "parseMatrixLiteral";
        case Reader::UserData: return "readUserDataBits";
        case Reader::CallArgument: return "tolvane call";
    }
    return "?";
}

// Runs `tolvane call GenerateBitStream ARG`; returns its exit status and
// puts its standard error in `err`.
int runCall(const TempDir& dir, const std::string& arg, std::string& err) {
    const std::string errPath = dir.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string program = TOLVANE_CLI, call = "call", name = "GenerateBitStream", argument = arg;
    char* argv[] = {program.data(), call.data(), name.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(errPath);
    err.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Case {
    const char* name;
    Reader reader;
    // The input: text for Json and Literal, the argument for CallArgument,
    // otherwise the path of a file made in the folder.
    std::function<std::string(const TempDir&)> make;
    const char* fragment;  // a part of the refusal
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

class HostileInput : public ::testing::TestWithParam<Case> {};

TEST_P(HostileInput, IsRefusedQuicklyWithAMessageNamingTheFault) {
    const Case& c = GetParam();
    const TempDir dir;
    const std::string input = c.make(dir);
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    bool refused = false;
    if (c.reader == Reader::CallArgument) {
        EXPECT_EQ(runCall(dir, input, message), 2) << message;
        refused = true;
    } else {
        try {
            switch (c.reader) {
                case Reader::Json: parseJsonValue(input); break;
                case Reader::Mat: readMatFile(input); break;
                case Reader::ParameterFile: loadParameterFile(input); break;
                case Reader::Literal: parseMatrixLiteral(input); break;
                case Reader::UserData: readUserDataBits(input, LLONG_MAX); break;
                case Reader::CallArgument: break;
            }
        } catch (const Error& e) {
            refused = true;
            message = e.what();
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(refused) << readerName(c.reader) << " accepted the input";
    EXPECT_NE(message.find(c.fragment), std::string::npos) << message;
    // Errors about a file name it.
    if (c.reader == Reader::Mat || c.reader == Reader::ParameterFile || c.reader == Reader::UserData) {
        EXPECT_NE(message.find(input), std::string::npos) << message;
    }
    // Well inside a second when sound; generous for a loaded machine.
    EXPECT_LT(seconds, 10.0) << readerName(c.reader) << " took " << seconds << " s";
}

std::string repeated(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

std::string nestedArrays(std::size_t depth) { return repeated("[", depth) + "1" + repeated("]", depth); }

std::string mat(const TempDir& dir, const std::string& body) { return writeFile(dir, "input.mat", header() + body); }

const Case cases[] = {
    // JSON text.
    {"JsonArrays10000Deep", Reader::Json, [](const TempDir&) { return nestedArrays(10000); },
     "more than 64 levels deep"},
    {"JsonObjects10000Deep", Reader::Json,
     [](const TempDir&) { return repeated("{\"a\":", 10000) + "1" + repeated("}", 10000); },
     "more than 64 levels deep"},
    {"JsonOneLevelPastTheLimit", Reader::Json, [](const TempDir&) { return nestedArrays(65); },
     "more than 64 levels deep"},
    {"JsonMoreNullsThanTheCeiling", Reader::Json,
     [](const TempDir&) { return "[" + repeated("null,", limits::kMaxValueCount) + "null]"; },
     "more than 1048576 texts and nulls"},
    {"JsonNumberBeyondDouble", Reader::Json, [](const TempDir&) { return std::string("[1, 1e999]"); },
     "Malformed JSON: number overflow"},

    // MAT-files.
    {"MatCells100000Deep", Reader::Mat, [](const TempDir& d) { return mat(d, nestedCells("x", 100000)); },
     "x{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1}{1} nests cells and "
     "records more than 32 levels deep"},
    {"MatCellsPastTheDepthLimit", Reader::Mat, [](const TempDir& d) { return mat(d, nestedCells("x", 40)); },
     "nests cells and records more than 32 levels deep"},
    {"MatCompressedCells1000Deep", Reader::Mat,
     [](const TempDir& d) { return mat(d, compressed(zlibStored(nestedCells("z", 1000)))); },
     "{1}{1} nests cells and records more than 32 levels deep"},
    {"MatCharDeclaredLongerThanItsData", Reader::Mat,
     [](const TempDir& d) { return mat(d, array(mxCHAR, {1, 1000}, "s", element(miUINT16, "ab"))); },
     "s is damaged: it declares 1 x 1000 characters but holds 1"},
    {"MatNumbersDeclaredLongerThanTheirData", Reader::Mat,
     [](const TempDir& d) { return mat(d, array(mxDOUBLE, {1, 1000}, "w", doubles({1}))); },
     "w is damaged: it declares 1 x 1000 numbers but holds 1"},
    {"MatCellOfAHugeDeclaredSize", Reader::Mat,
     [](const TempDir& d) {
         return mat(d, array(mxCELL, {100000, 100000}, "c", array(mxDOUBLE, {1, 1}, "", doubles({1}))));
     },
     "c declares 100000 x 100000 elements, more than the 67108864 allowed"},
    {"MatCellWithFewerItemsThanDeclared", Reader::Mat,
     [](const TempDir& d) { return mat(d, array(mxCELL, {1000, 1}, "c", array(mxDOUBLE, {1, 1}, "", doubles({1})))); },
     "c{2} is damaged: it ends before its content"},
    {"MatRecordMissingAField", Reader::Mat,
     [](const TempDir& d) {
         const std::string names = std::string("a\0\0\0\0\0\0\0b\0\0\0\0\0\0\0", 16);
         return mat(d, array(mxSTRUCT, {1, 1}, "r",
                             smallElement(miINT32, le32(8)) + element(miINT8, names) +
                                 array(mxDOUBLE, {1, 1}, "", doubles({1}))));
     },
     "r.b is damaged: it ends before its content"},
    {"MatElementLargerThanItsArray", Reader::Mat,
     [](const TempDir& d) {
         std::string bytes = array(mxDOUBLE, {1, 1}, "w", doubles({1}));
         bytes.replace(8 + 16 + 4, 4, le32(800));  // the dimensions claim 800 bytes
         return mat(d, bytes);
     },
     "800 bytes are declared for its dimensions but only"},
    {"MatBitFlippedVariableSize", Reader::Mat,
     [](const TempDir& d) {
         std::string bytes = array(mxDOUBLE, {1, 1}, "w", doubles({1}));
         bytes.replace(4, 4, le32(0x7FFFFFF8));
         return mat(d, bytes);
     },
     "truncated: the data at byte 128 needs 2147483640 bytes"},
    {"MatSizeNotAMultipleOf8", Reader::Mat,
     [](const TempDir& d) {
         std::string bytes = array(mxDOUBLE, {1, 1}, "w", doubles({1}));
         bytes.replace(4, 4, le32(static_cast<std::uint32_t>(bytes.size() - 8 - 4)));
         return mat(d, bytes);
     },
     "is not a multiple of 8"},
    {"MatTopLevelDataThatIsNoVariable", Reader::Mat, [](const TempDir& d) { return mat(d, doubles({1, 2})); },
     "the data at byte 128 is not a variable"},
    {"MatSparseMatrix", Reader::Mat, [](const TempDir& d) { return mat(d, array(mxSPARSE, {2, 2}, "sp", "")); },
     "sp is a sparse matrix, which is not supported"},
    {"MatCompressedGarbage", Reader::Mat, [](const TempDir& d) { return mat(d, compressed("not zlib data")); },
     "the compressed variable at byte 128 is damaged ("},
    {"MatCompressedArrayDeclaring2GiB", Reader::Mat,
     [](const TempDir& d) { return mat(d, compressed(zlibStored(le32(miMATRIX) + le32(0x80000000u)))); },
     "expands to 2147483648 bytes, more than the 1073741824 allowed"},
    {"MatCompressedDataEndingEarly", Reader::Mat,
     [](const TempDir& d) {
         const std::string whole = array(mxDOUBLE, {1, 4}, "w", doubles({1, 2, 3, 4}));
         return mat(d, compressed(zlibStored(whole.substr(0, whole.size() - 16))));
     },
     "w is damaged: its compressed data ends early"},
    {"MatFormat73", Reader::Mat, [](const TempDir& d) { return writeFile(d, "v73.mat", header(0x0200) + std::string(512, '\0')); },
     "format 7.3, which is not read here: save it as a MAT-file of format 5"},
    {"MatPlainText", Reader::Mat, [](const TempDir& d) { return writeFile(d, "notes.mat", "just some words\n"); },
     "not a MAT-file of format 5"},
    {"MatLargerThanTheCeiling", Reader::Mat,
     [](const TempDir& d) { return sparseFile(d, "huge.mat", limits::kMaxMatBytes + 1); },
     "bytes long; at most 1073741824 are allowed"},

    // Parameter files.
    {"ParameterFileCells100000Deep", Reader::ParameterFile,
     [](const TempDir& d) { return mat(d, nestedCells("fileParameters", 100000)); },
     "nests cells and records more than 32 levels deep"},
    {"ParameterFileWithoutItsFormatId", Reader::ParameterFile,
     [](const TempDir& d) {
         return mat(d, array(mxSTRUCT, {1, 1}, "fileParameters",
                             smallElement(miINT32, le32(8)) + element(miINT8, std::string("Mode\0\0\0\0", 8)) +
                                 array(mxDOUBLE, {1, 1}, "", doubles({1}))));
     },
     "\nhas an Invalid File Structure: parameters.ParameterFileFormat_ID is missing."},
    {"ParameterFileWhoseRecordIsANumber", Reader::ParameterFile,
     [](const TempDir& d) { return mat(d, array(mxDOUBLE, {1, 1}, "fileParameters", doubles({1}))); },
     "\nhas an Invalid File Structure: parameters must be a record, not double."},

    // Matrix literals (--set NAME=VALUE).
    {"LiteralTrailingComma", Reader::Literal, [](const TempDir&) { return std::string("4,"); },
     "\"4,\" is not a number or matrix literal: a comma with no number after it"},
    {"LiteralLeadingComma", Reader::Literal, [](const TempDir&) { return std::string(",4"); },
     "a comma with no number before it"},
    {"LiteralDoubleComma", Reader::Literal, [](const TempDir&) { return std::string("[1,,2]"); },
     "two commas in a row"},
    {"LiteralHexadecimal", Reader::Literal, [](const TempDir&) { return std::string("0x10"); },
     "\"0x10\" is not a plain decimal number"},
    {"LiteralInfinity", Reader::Literal, [](const TempDir&) { return std::string("[1 Inf]"); },
     "\"Inf\" is not a plain decimal number"},
    {"LiteralBeyondDouble", Reader::Literal, [](const TempDir&) { return std::string("1e999"); },
     "\"1e999\" is outside the range of numbers"},
    {"LiteralLongerThanTheCeiling", Reader::Literal,
     [](const TempDir&) { return "[" + repeated("1 ", limits::kMaxLiteralChars / 2) + "]"; },
     "characters long, more than the 1048576 allowed"},

    // User data files.
    {"UserDataEndlessDevice", Reader::UserData, [](const TempDir&) { return std::string("/dev/zero"); },
     "holds more than 8388608 bytes"},

    // tolvane call arguments: exit status 2.
    {"CallArgumentFolder", Reader::CallArgument, [](const TempDir& d) { return "@" + d.path().string(); },
     "is a folder, not a file"},
    {"CallArgumentDevice", Reader::CallArgument, [](const TempDir&) { return std::string("@/dev/zero"); },
     "is a device or other special file"},
    {"CallArgumentFileOverTheCeiling", Reader::CallArgument,
     [](const TempDir& d) { return "@" + sparseFile(d, "big.json", limits::kMaxTextBytes + 1); },
     "holds more than 268435456 bytes"},
    {"CallArgument10000Deep", Reader::CallArgument, [](const TempDir&) { return nestedArrays(10000); },
     "more than 64 levels deep"},
};

INSTANTIATE_TEST_SUITE_P(Readers, HostileInput, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// ---- What stays accepted ---------------------------------------------------------------

// A record of 100,000 fields builds in linear time, keeps the order of the
// text, and a name given twice keeps its first place and its last value.
TEST(HostileInputAccepted, AHundredThousandKeyObjectParsesQuicklyInOrder) {
    std::string text = "{";
    for (int i = 0; i < 100000; ++i) text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    text += "\"k5\":-1}";
    const auto start = std::chrono::steady_clock::now();
    const Value v = parseJsonValue(text);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    const auto& fields = v.rec().fields();
    ASSERT_EQ(fields.size(), 100000u);
    EXPECT_EQ(fields[0].first, "k0");
    EXPECT_EQ(fields[99999].first, "k99999");
    EXPECT_EQ(fields[5].first, "k5");
    EXPECT_EQ(v.field("k5"), Value::scalar(-1));
    EXPECT_EQ(v.field("k77777"), Value::scalar(77777));
}

// The index of a large record follows every change: lookups agree with the
// ordered fields after fields are set, replaced and removed.
TEST(HostileInputAccepted, LargeRecordLookupsFollowSetAndRemove) {
    Record r;
    for (int i = 0; i < 200; ++i) r.set("f" + std::to_string(i), Value::scalar(i));
    r.set("f10", Value::scalar(-10));  // replaced in place
    EXPECT_TRUE(r.remove("f0"));
    EXPECT_TRUE(r.remove("f150"));
    EXPECT_FALSE(r.remove("f150"));
    for (int i = 0; i < 190; ++i) r.remove("f" + std::to_string(i + 5));  // down through the index limit
    r.set("f0", Value::scalar(100));                                       // re-added at the end
    Record copy = r;
    copy.set("late", Value::scalar(1));
    for (const Record* rec : {&r, &copy}) {
        const auto& fields = rec->fields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            ASSERT_TRUE(rec->has(fields[i].first)) << fields[i].first;
            EXPECT_EQ(&rec->at(fields[i].first), &fields[i].second) << fields[i].first;
        }
        EXPECT_FALSE(rec->has("f150"));
        EXPECT_FALSE(rec->has("f100"));
    }
    EXPECT_EQ(r.fields().back().first, "f0");
    EXPECT_EQ(r.at("f0"), Value::scalar(100));
    EXPECT_FALSE(r.has("late"));
}

// Nesting up to the ceilings is read; a value too deep for a MAT-file is
// refused when written rather than when read back.
TEST(HostileInputAccepted, NestingUpToTheCeilingsIsRead) {
    EXPECT_NO_THROW(parseJsonValue(nestedArrays(limits::kMaxJsonDepth)));

    const TempDir dir;
    Value deep = Value::scalar(1);
    for (std::size_t k = 1; k < limits::kMaxMatDepth; ++k) deep = Value::cell({deep});
    Record vars;
    vars.set("deep", deep);
    writeMatFile(dir.file("deep.mat"), vars);
    EXPECT_EQ(readMatFile(dir.file("deep.mat")).at("deep"), deep);

    vars.set("deep", Value::cell({deep}));
    try {
        writeMatFile(dir.file("deeper.mat"), vars);
        ADD_FAILURE() << "a value nested past the ceiling was written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("more than 32 levels deep"), std::string::npos) << e.what();
    }

    // A hand-made file nested exactly to the ceiling, compressed.
    const std::string path = writeFile(dir, "z.mat", header() + compressed(zlibStored(nestedCells("z", limits::kMaxMatDepth - 1))));
    Value expected = Value::scalar(1);
    for (std::size_t k = 1; k < limits::kMaxMatDepth; ++k) expected = Value::cell({expected});
    EXPECT_EQ(readMatFile(path).at("z"), expected);
}

// Asking for every bit of a small user data file reads what it holds.
TEST(HostileInputAccepted, AnUnboundedRequestOnASmallUserDataFileReadsIt) {
    const TempDir dir;
    const std::string path = writeFile(dir, "bits.bin", std::string("\x01\x80", 2));
    EXPECT_EQ(readUserDataBits(path, LLONG_MAX).size(), 16u);
}

}  // namespace
}  // namespace tolvane
