// Corrections: the file name from the identification, the correction
// filters, DAC quantisation, and correction files read through the MAT
// reader.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "instrument/corrections.hpp"
#include "base/diagnostics.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/mat_file.hpp"
#include "../support/temp_dir.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::vector<cplx> randomWave(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> g;
    std::vector<cplx> w(n);
    for (auto& z : w) z = cplx(g(gen), g(gen));
    return w;
}

double maxDiff(const std::vector<cplx>& a, const std::vector<cplx>& b) {
    double m = 0;
    for (std::size_t k = 0; k < a.size(); ++k) m = std::max(m, std::abs(a[k] - b[k]));
    return m;
}

TEST(CorrectionFile, NameFromIdentificationAndFrequency) {
    EXPECT_EQ(formatFreq(2.14e9), "2.1 GHz");
    EXPECT_EQ(formatFreq(1e9), "1.0 GHz");
    EXPECT_EQ(formatFreq(2.96e9), "2.10 GHz");
    EXPECT_EQ(formatFreq(900e6), "0.9 GHz");
    EXPECT_EQ(serialNumberOf("Maker,Model,US12345678,C.01.00"), "US12345678");
    EXPECT_EQ(correctionFileName("C:\\Temp\\", "Maker,Model,US12345678,C.01.00", 2.14e9),
              "C:\\Temp\\US12345678 2.1 GHz.mat");
    EXPECT_EQ(strfindpt("abcabc", "ca"), std::optional<std::size_t>(3));
    EXPECT_EQ(strfindpt("abc", "x"), std::nullopt);
    EXPECT_THROW(serialNumberOf("Maker,Model,12345678,C.01"), Error);
    EXPECT_THROW(serialNumberOf("Maker,Model,US12345678"), Error);
}

TEST(CorrectionFilters, FlatResponsesLeaveTheWaveformAndRevisionOneHasNoRfCorrection) {
    const auto s = randomWave(500, 3);
    CorrectionRecord c;
    c.rev = 2;
    c.F = {-3e6, -1e6, 0, 1e6, 3e6};
    c.H.assign(5, cplx(1, 0));
    c.rfChannel.assign(5, cplx(1, 0));
    const Corrected iq = applyIqCorrection(s, c, 6.144e6);
    EXPECT_EQ(iq.status, "");
    EXPECT_LT(maxDiff(iq.waveform, s), 1e-9);
    const Corrected rf = applyRfChannelCorrection(s, c, 6.144e6);
    EXPECT_LT(maxDiff(rf.waveform, s), 1e-9);
    c.rev = 1;
    c.rfChannel.assign(5, cplx(2, 0));
    EXPECT_EQ(applyRfChannelCorrection(s, c, 6.144e6).waveform, s);
    c.rev = 2;
    c.rfChannel[2] = cplx(std::nan(""), 0);
    EXPECT_EQ(applyRfChannelCorrection(s, c, 6.144e6).waveform, s);
}

TEST(CorrectionFilters, IqCorrectionFiltersOnlyQuadratureAndErrorsLeaveTheWaveform) {
    const auto s = randomWave(400, 4);
    CorrectionRecord c;
    c.F = {-3e6, 0, 3e6};
    c.H = {cplx(0.5, 0), cplx(1, 0), cplx(0.5, 0)};
    const Corrected r = applyIqCorrection(s, c, 6.144e6);
    ASSERT_EQ(r.status, "");
    double qChange = 0;
    for (std::size_t k = 0; k < s.size(); ++k) {
        EXPECT_EQ(r.waveform[k].real(), s[k].real());
        qChange = std::max(qChange, std::abs(r.waveform[k].imag() - s[k].imag()));
    }
    EXPECT_GT(qChange, 0.01);
    c.H.pop_back();
    const Corrected bad = applyIqCorrection(s, c, 6.144e6);
    EXPECT_EQ(bad.status, "F must be the same size as H");
    EXPECT_EQ(bad.waveform, s);
}

TEST(DacResolution, GridAndLimits) {
    const std::vector<cplx> w = {cplx(1, -0.3), cplx(0.123456, 0.5)};
    EXPECT_EQ(applyDacRes(w, 2), w);
    const auto q = applyDacRes(w, 14);
    EXPECT_EQ(q[0].real(), 1.0);  // the peak maps to 8191 and back
    for (const auto& z : q)
        for (double part : {z.real(), z.imag()}) EXPECT_NEAR(part * 8191, std::round(part * 8191), 1e-9);
    EXPECT_NEAR(q[1].real(), std::round(0.123456 * 8191) / 8191, 1e-15);
    EXPECT_EQ(applyDacRes({cplx(0, 0)}, 14), std::vector<cplx>{cplx(0, 0)});
    EXPECT_EQ(applyDacRes(w, 40), applyDacRes(w, 32));
}

Value correctionRecordValue(double rev) {
    Record r;
    r.set("rev", Value::scalar(rev));
    r.set("F", Value::row({-1e6, 0, 1e6}));
    r.set("H", Value::complexRow({cplx(1, 0), cplx(1, 0), cplx(1, 0)}));
    for (const char* f : {"ID", "date", "fltr", "modAttn", "cf", "bw", "pwr"}) r.set(f, Value::scalar(0));
    if (rev >= 2) r.set("rfChannel", Value::complexRow({cplx(1, 0), cplx(1, 0), cplx(1, 0)}));
    if (rev == 3)
        for (const char* f : {"t1", "t2", "t3", "fbc", "bc", "cbc", "image"}) r.set(f, Value::scalar(0));
    return Value::record(std::move(r));
}

TEST(CorrectionFile, LoadedAndCheckedByRevision) {
    const testing_support::TempDir dir;
    auto write = [&](const std::string& name, const char* var, Value v) {
        Record vars;
        vars.set(var, std::move(v));
        writeMatFile(dir.file(name), vars);
        return dir.file(name);
    };
    for (double rev : {1.0, 2.0, 3.0}) {
        const auto r = loadKltIqCorrectionData(write("ok.mat", "KltIqCorrectionData", correctionRecordValue(rev)));
        EXPECT_EQ(r.status, "") << rev;
        EXPECT_EQ(correctionRecordsFromValue(r.records).size(), 1u);
    }
    Value missing = correctionRecordValue(3);
    missing.rec().remove("cbc");
    Value noPwr = correctionRecordValue(1);
    noPwr.rec().remove("pwr");
    struct Case {
        std::string file;
        const char* status;
    } cases[] = {
        {write("rev4.mat", "KltIqCorrectionData", correctionRecordValue(4)), "Invalid data structure."},
        {write("cbc.mat", "KltIqCorrectionData", missing), "Invalid data structure."},
        {write("pwr.mat", "KltIqCorrectionData", noPwr), "Invalid data structure."},
        {write("other.mat", "somethingElse", Value::scalar(1)), "Invalid file format."},
    };
    for (const Case& c : cases) {
        const auto r = loadKltIqCorrectionData(c.file);
        EXPECT_EQ(r.status, c.status) << c.file;
    }
    const auto none = loadKltIqCorrectionData(dir.file("missing.mat"));
    EXPECT_NE(none.status, "");
    EXPECT_TRUE(none.records.isEmpty());
}

}  // namespace
}  // namespace tolvane
