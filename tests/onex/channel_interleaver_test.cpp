#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/channel_interleaver.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

std::vector<double> positions(std::size_t n) {
    std::vector<double> v(n);
    std::iota(v.begin(), v.end(), 0.0);
    return v;
}

std::size_t reversed(std::size_t j, std::size_t columns) {
    std::size_t out = 0;
    for (std::size_t c = columns; c > 1; c /= 2) {
        out = (out << 1) | (j & 1);
        j >>= 1;
    }
    return out;
}

// Undoes the block permutation from its description: refill the columns in
// read order, put each back at its bit-reversed place, rotate it back up and
// read the rows.
std::vector<double> unpermute(const std::vector<double>& out, std::size_t rows, std::size_t cols, bool typeV) {
    std::vector<double> block(out.size());
    for (std::size_t j = 0; j < cols; ++j) {
        const std::size_t q = reversed(j, cols);
        const std::size_t shift = (typeV ? q / 4 : q) % rows;
        for (std::size_t i = 0; i < rows; ++i) block[((i + rows - shift) % rows) * cols + q] = out[j * rows + i];
    }
    return block;
}

struct Size {
    int bits, k, m;
};
const Size kSizes[] = {{1024, 2, 512}, {2048, 2, 1024}, {3072, 3, 1024}, {4096, 4, 1024}};

// Inverse of the whole interleaver: unpermute each group and multiplex the
// sub-sequences back into the code symbol order.
std::vector<double> deinterleave(const std::vector<double>& out, std::size_t streams, const Size& s) {
    const std::size_t b = static_cast<std::size_t>(s.bits);
    const auto seg = [&](std::size_t from, std::size_t n) {
        return std::vector<double>(out.begin() + static_cast<long>(from), out.begin() + static_cast<long>(from + n));
    };
    const auto u = unpermute(seg(0, b), s.k, s.m, false);
    const auto v0 = unpermute(seg(b, 2 * b), s.k, 2 * s.m, true);
    const auto v1 = streams == 5 ? unpermute(seg(3 * b, 2 * b), s.k, 2 * s.m, true) : std::vector<double>{};
    std::vector<double> in(out.size());
    for (std::size_t i = 0; i < b; ++i) {
        in[streams * i] = u[i];
        if (streams == 3) {
            in[3 * i + 1] = v0[i];
            in[3 * i + 2] = v0[b + i];
        } else {
            in[5 * i + 1] = v0[i];
            in[5 * i + 3] = v0[b + i];
            in[5 * i + 2] = v1[i];
            in[5 * i + 4] = v1[b + i];
        }
    }
    return in;
}

TEST(SymbolPermuter, ShiftsBitReversesAndReadsByColumn) {
    // Worked by hand from the row-wise write of 0 .. k*m-1.
    struct Case {
        int k, m;
        std::string type;
        std::vector<double> head;
    } cases[] = {
        {3, 4, "U", {0, 4, 8, 6, 10, 2, 9, 1, 5, 3, 7, 11}},
        {3, 4, "u", {0, 4, 8, 6, 10, 2, 9, 1, 5, 3, 7, 11}},
        // V: columns 0-3 unshifted, 4-7 down by 1, 8-11 by 2, 12-15 by 0 again.
        {3, 16, "V", {0, 16, 32, 24, 40, 8, 36, 4, 20, 12, 28, 44}},
        {3, 16, "v", {0, 16, 32, 24, 40, 8, 36, 4, 20, 12, 28, 44}},
    };
    for (const auto& c : cases) {
        const auto out = fwdSymbolPermuter(positions(static_cast<std::size_t>(c.k * c.m)), c.k, c.m, c.type);
        EXPECT_EQ(std::vector<double>(out.begin(), out.begin() + 12), c.head) << c.type << " " << c.m;
    }
}

TEST(SymbolPermuter, BadArgumentsAreErrorsNamingTheValue) {
    struct Case {
        int k, m;
        std::size_t size;
        std::string type, named;
    } cases[] = {
        {2, 4, 8, "W", "\"W\""}, {2, 4, 8, "", "\"\""},  {2, 4, 8, "UV", "\"UV\""}, {2, 6, 12, "U", "m = 6"},
        {0, 4, 0, "U", "k = 0"},  {2, 4, 7, "U", "7 symbols"},
    };
    for (const auto& c : cases) {
        try {
            fwdSymbolPermuter(std::vector<double>(c.size, 0.0), c.k, c.m, c.type);
            ADD_FAILURE() << "no error for " << c.named;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(callByName("OneX_FwdSymbolPermuter", 1,
                            {Value::zeros(1, 8), Value::scalar(2), Value::scalar(4), Value::scalar(85)}),
                 Error);
    const auto viaName = callByName("OneX_FwdSymbolPermuter", 1,
                                    {Value::column(positions(12)), Value::scalar(3), Value::scalar(4),
                                     Value::text("u")})[0];
    EXPECT_EQ(viaName, Value::row(fwdSymbolPermuter(positions(12), 3, 4, "U")));
}

TEST(ChannelInterleaver, StatedPositionsAtRateOneThird) {
    const auto out = fwdChannelInterleaver(positions(3072), CodeRate::Third, 1024);
    ASSERT_EQ(out.size(), 3072u);
    EXPECT_EQ(out[0], 0);        // U[0]
    EXPECT_EQ(out[1], 3 * 512);  // U[512]: row 1 of column 0
    EXPECT_EQ(out[2], 3 * 256);  // U[256]: column 256 comes second
}

TEST(ChannelInterleaver, PermutesEachGroupAndTheInverseRestoresTheInput) {
    std::mt19937 gen(4);
    for (const auto& s : kSizes) {
        for (std::size_t streams : {3u, 5u}) {
            const CodeRate rate = streams == 3 ? CodeRate::Third : CodeRate::Fifth;
            const std::size_t b = static_cast<std::size_t>(s.bits), n = streams * b;
            const auto out = fwdChannelInterleaver(positions(n), rate, s.bits);
            ASSERT_EQ(out.size(), n);

            // U first, then V0 with V0', then (rate 1/5) V1 with V1'; each
            // group a permutation of its own sub-sequences.
            const std::vector<std::vector<std::size_t>> groups =
                streams == 3 ? std::vector<std::vector<std::size_t>>{{0}, {1, 2}}
                             : std::vector<std::vector<std::size_t>>{{0}, {1, 3}, {2, 4}};
            std::size_t at = 0;
            for (const auto& g : groups) {
                std::vector<double> got(out.begin() + static_cast<long>(at),
                                        out.begin() + static_cast<long>(at + g.size() * b));
                std::vector<double> want;
                for (std::size_t i = 0; i < n; ++i)
                    if (std::find(g.begin(), g.end(), i % streams) != g.end()) want.push_back(static_cast<double>(i));
                std::sort(got.begin(), got.end());
                EXPECT_EQ(got, want) << s.bits << " bits, group at " << at;
                at += g.size() * b;
            }

            std::vector<double> data(n);
            for (auto& d : data) d = static_cast<double>(gen() & 1U);
            EXPECT_EQ(deinterleave(fwdChannelInterleaver(data, rate, s.bits), streams, s), data)
                << s.bits << " bits, " << streams << " streams";
        }
    }
}

TEST(ChannelInterleaver, RateOnePassesAnyLengthThrough) {
    const std::vector<double> in{1, 0, 1, 1, 0};
    EXPECT_EQ(fwdChannelInterleaver(in, CodeRate::One, 0), in);

    // The record needs no packet size at rate 1, and the value comes back as given.
    Record r;
    r.set("codeRate", Value::scalar(1));
    const Value column = Value::column(in);
    EXPECT_EQ(callByName("OneX_FwdChannelInterleaver", 1, {column, Value::record(r)})[0], column);
}

TEST(ChannelInterleaver, UnsupportedRateSizeOrLengthIsAnErrorNamingTheValue) {
    struct Case {
        double rate;
        int bits;
        std::size_t size;
        std::string named;
    } cases[] = {
        {0.5, 1024, 2048, "0.5"},        {0.25, 1024, 4096, "0.25"}, {1.0 / 3.0, 1000, 3000, "1000"},
        {0.2, 8192, 40960, "8192"},      {1.0 / 3.0, 1024, 3071, "3071"}, {0.2, 2048, 3 * 2048, "6144"},
        {0.33333333, 1024, 3072, "0.33333333"},
    };
    // By name the record's numbers reach the interleaver: a rate that is no
    // code rate at all is refused where it is read, the others by the
    // interleaver.
    for (const auto& c : cases) {
        Record r;
        r.set("codeRate", Value::scalar(c.rate));
        r.set("bits", Value::scalar(c.bits));
        try {
            callByName("OneX_FwdChannelInterleaver", 1, {Value::zeros(1, c.size), Value::record(r)});
            ADD_FAILURE() << "no error for " << c.named;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
    for (CodeRate rate : {CodeRate::Half, CodeRate::Quarter})
        EXPECT_THROW(fwdChannelInterleaver(std::vector<double>(2048, 0.0), rate, 1024), Error);

    Record fractional;
    fractional.set("codeRate", Value::scalar(1.0 / 3.0));
    fractional.set("bits", Value::scalar(1024.5));
    try {
        callByName("OneX_FwdChannelInterleaver", 1, {Value::zeros(1, 3072), Value::record(fractional)});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("1024.5"), std::string::npos) << e.what();
    }
    Record noRate;
    noRate.set("bits", Value::scalar(1024));
    try {
        callByName("OneX_FwdChannelInterleaver", 1, {Value::zeros(1, 3072), Value::record(noRate)});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("codeRate"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace tolvane
