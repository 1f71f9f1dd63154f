#include "instrument/corrections.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "numerics/circular_filter.hpp"
#include "base/diagnostics.hpp"
#include "numerics/freq2fir.hpp"
#include "instrument/jobs.hpp"

namespace tolvane {

namespace {

constexpr long long kCorrectionTaps = 31;

// The filter's centre tap lands on the sample it corrects.
long long centreDelay(std::size_t taps) { return static_cast<long long>(taps / 2); }

}  // namespace

bool holdsNaN(const std::vector<std::complex<double>>& v) {
    return std::any_of(v.begin(), v.end(), [](const auto& z) { return std::isnan(z.real()) || std::isnan(z.imag()); });
}

Corrected applyIqCorrection(std::vector<std::complex<double>> s, const CorrectionRecord& c, double sampleRate) {
    try {
        const auto taps = createRealFIR(kCorrectionTaps, c.F, c.H, sampleRate);
        std::vector<double> h(taps.size());
        for (std::size_t k = 0; k < taps.size(); ++k) h[k] = taps[k].real();
        std::vector<std::complex<double>> q(s.size());
        for (std::size_t k = 0; k < s.size(); ++k) q[k] = s[k].imag();
        const auto filtered = circularConvolve(q, h, centreDelay(h.size()));
        for (std::size_t k = 0; k < s.size(); ++k) s[k] = {s[k].real(), filtered[k].real()};
        return {std::move(s), ""};
    } catch (const std::exception& e) {
        return {std::move(s), e.what()};
    }
}

Corrected applyRfChannelCorrection(std::vector<std::complex<double>> s, const CorrectionRecord& c, double sampleRate) {
    if (!(c.rev > 1) || holdsNaN(c.rfChannel)) return {std::move(s), ""};
    try {
        const auto h = createRealFIR(kCorrectionTaps, c.F, c.rfChannel, sampleRate);
        auto x = circularConvolve(s, h, centreDelay(h.size()));
        return {std::move(x), ""};
    } catch (const std::exception& e) {
        return {std::move(s), e.what()};
    }
}

Corrected applyCorrections(std::vector<std::complex<double>> s, const std::vector<CorrectionRecord>& records,
                           bool noFlatness, double sampleRate) {
    Corrected out{std::move(s), ""};
    if (!noFlatness)
        for (const CorrectionRecord& c : records)
            if (!holdsNaN(c.rfChannel)) out = applyRfChannelCorrection(std::move(out.waveform), c, sampleRate);
    for (const CorrectionRecord& c : records)
        if (!holdsNaN(c.H)) out = applyIqCorrection(std::move(out.waveform), c, sampleRate);
    return out;
}

std::optional<std::size_t> strfindpt(const std::string& text, const std::string& pattern) {
    if (pattern.empty() || pattern.size() > text.size()) return std::nullopt;
    const std::size_t at = text.find(pattern);
    if (at == std::string::npos) return std::nullopt;
    return at + 1;
}

std::string serialNumberOf(const std::string& id) {
    const auto i = strfindpt(id, "US");
    if (!i) throw Error("The instrument's identification \"" + id + "\" holds no serial number beginning \"US\".");
    const auto j = strfindpt(id.substr(*i - 1), ",");
    if (!j)
        throw Error("The instrument's identification \"" + id + "\" has no comma after its serial number.");
    return id.substr(*i - 1, *j - 1);
}

std::string formatFreq(double hz) {
    const double z = hz / 1e9;
    const double whole = std::floor(z);
    const double tenth = std::round(10 * (z - whole));
    return decimalText(whole) + "." + decimalText(tenth) + " GHz";
}

std::string correctionFileName(const std::string& folder, const std::string& id, double hz) {
    return folder + serialNumberOf(id) + " " + formatFreq(hz) + ".mat";
}

std::string correctionFolder() {
#ifdef _WIN32
    return "C:\\Temp\\";
#else
    auto withSlash = [](std::string s) {
        if (s.empty() || s.back() != '/') s.push_back('/');
        return s;
    };
    if (const char* d = std::getenv("TOLVANE_CORRECTION_DIR"); d && *d) return withSlash(d);
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return withSlash(x) + "tolvane/corrections/";
    if (const char* h = std::getenv("HOME"); h && *h) return withSlash(h) + ".local/share/tolvane/corrections/";
    return "./";
#endif
}

std::vector<std::complex<double>> applyDacRes(std::vector<std::complex<double>> wave, double bits) {
    if (!(bits > 2)) return wave;
    bits = std::min(32.0, bits);
    double m = 0;
    for (const auto& z : wave) m = std::max({m, std::abs(z.real()), std::abs(z.imag())});
    if (!(m > 0) || !std::isfinite(m)) return wave;
    const double scale = (std::pow(2.0, bits - 1) - 1) / m;
    for (auto& z : wave) z = {std::round(z.real() * scale) / scale, std::round(z.imag() * scale) / scale};
    return wave;
}

}  // namespace tolvane
