#include "onex/baseband_filter.hpp"

#include <algorithm>
#include <map>
#include <mutex>
#include <span>
#include <string>

#include "numerics/circular_filter.hpp"
#include "base/diagnostics.hpp"
#include "onex/constants.hpp"
#include "onex/filter_design.hpp"
#include "onex/filter_tables.hpp"

namespace tolvane {

namespace {

void checkOversampling(int oversampling, int lowest, const char* what) {
    if (oversampling < lowest || oversampling > kMaxOversampling)
        throw Error(std::string(what) + ": the oversampling ratio must be a whole number from " + numberText(lowest) +
                    " to " + numberText(kMaxOversampling) + " (was " + numberText(oversampling) + ").");
}

// The designs are pure functions of the oversampling ratio. The ratios the
// windows offer come from the tables made at build time by the same design
// functions; any other ratio is designed once (a few milliseconds) and kept.
const std::vector<double>& cachedDesign(int oversampling, bool acp) {
    static std::mutex mutex;
    static std::map<std::pair<int, bool>, std::vector<double>> designs;
    std::lock_guard<std::mutex> lock(mutex);
    auto key = std::make_pair(oversampling, acp);
    auto it = designs.find(key);
    if (it == designs.end()) {
        const std::span<const double> stored = storedFilterDesign(oversampling, acp);
        std::vector<double> taps = stored.empty()
                                       ? (acp ? designFilterAcp(oversampling) : designFilterStd(oversampling))
                                       : std::vector<double>(stored.begin(), stored.end());
        it = designs.emplace(key, std::move(taps)).first;
    }
    return it->second;
}

// First N samples of the linear convolution with `oversampling` ones.
cvec holdFilter(const cvec& frame, int oversampling) {
    cvec out(frame.size());
    const std::size_t width = static_cast<std::size_t>(oversampling);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (frame[i] == std::complex<double>{}) continue;
        const std::size_t end = std::min(frame.size(), i + width);
        for (std::size_t j = i; j < end; ++j) out[j] += frame[i];
    }
    return out;
}

// True when only every factor-th sample (from the first) can be non-zero,
// i.e. the row is an upsampled chip row.
bool isZeroStuffed(const cvec& frame, int factor) {
    if (factor < 2 || frame.size() % static_cast<std::size_t>(factor) != 0) return false;
    for (std::size_t i = 0; i < frame.size(); ++i)
        if (i % static_cast<std::size_t>(factor) != 0 && frame[i] != std::complex<double>{}) return false;
    return true;
}

}  // namespace

int lowestOversampling(FilterShape shape) {
    return shape == FilterShape::Std || shape == FilterShape::Acp ? kMinDesignOversampling : 1;
}

cvec upsample(const cvec& x, int factor) {
    if (factor < 1) throw Error("upsample: the factor must be a positive integer (was " + numberText(factor) + ").");
    cvec y(x.size() * static_cast<std::size_t>(factor));
    for (std::size_t k = 0; k < x.size(); ++k) y[k * static_cast<std::size_t>(factor)] = x[k];
    return y;
}

void upsampleMarker(const std::vector<double>& in, int ratio, std::vector<double>& out) {
    if (ratio < 0) throw Error("upsampleMarker: the ratio must not be negative (was " + numberText(ratio) + ").");
    out.clear();
    out.reserve(in.size() * static_cast<std::size_t>(ratio));
    for (double v : in) out.insert(out.end(), static_cast<std::size_t>(ratio), v);
}

std::vector<double> upsampleMarker(const std::vector<double>& in, int ratio) {
    std::vector<double> out;
    upsampleMarker(in, ratio, out);
    return out;
}

std::vector<double> filterCoeffStd(int oversampling) {
    checkOversampling(oversampling, kMinDesignOversampling, "FilterCoeff_IS95_Std");
    return cachedDesign(oversampling, false);
}

std::vector<double> filterCoeffAcp(int oversampling) {
    checkOversampling(oversampling, kMinDesignOversampling, "FilterCoeff_IS95_Acp");
    return cachedDesign(oversampling, true);
}

cvec circfilt(const cvec& x, const std::vector<double>& h) {
    return circularConvolve(x, h, static_cast<long long>(h.size() / 2));
}

cvec basebandFilter(const cvec& frame, int oversampling, FilterShape shape) {
    checkOversampling(oversampling, lowestOversampling(shape), "OneX_BasebandFilter");
    switch (shape) {
    case FilterShape::Rectangular:
        return holdFilter(frame, oversampling);
    case FilterShape::None:
        return frame;
    case FilterShape::Std:
    case FilterShape::Acp:
        break;
    }
    const std::vector<double>& h = cachedDesign(oversampling, shape == FilterShape::Acp);
    const long long delay = static_cast<long long>(h.size() / 2);
    if (isZeroStuffed(frame, oversampling)) {
        cvec chips(frame.size() / static_cast<std::size_t>(oversampling));
        for (std::size_t q = 0; q < chips.size(); ++q) chips[q] = frame[q * static_cast<std::size_t>(oversampling)];
        return circularConvolveUpsampled(chips, oversampling, h, delay);
    }
    return circularConvolve(frame, h, delay);
}

void basebandFilterChips(const cvec& chips, int oversampling, FilterShape shape, cvec& out, cvec& scratch) {
    checkOversampling(oversampling, lowestOversampling(shape), "OneX_BasebandFilter");
    const std::size_t r = static_cast<std::size_t>(oversampling);
    switch (shape) {
    case FilterShape::Rectangular:
        out.resize(chips.size() * r);
        for (std::size_t q = 0; q < chips.size(); ++q)
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(q * r), oversampling, chips[q]);
        return;
    case FilterShape::None:
        // The zero-stuffed row: every sample is written, zeros between chips.
        out.resize(chips.size() * r);
        for (std::size_t q = 0; q < chips.size(); ++q) {
            out[q * r] = chips[q];
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(q * r + 1), oversampling - 1, cplx{});
        }
        return;
    case FilterShape::Std:
    case FilterShape::Acp:
        break;
    }
    const std::vector<double>& h = cachedDesign(oversampling, shape == FilterShape::Acp);
    circularConvolveUpsampled(chips, oversampling, h, static_cast<long long>(h.size() / 2), out, scratch);
}

cvec basebandFilterChips(const cvec& chips, int oversampling, FilterShape shape) {
    cvec out, scratch;
    basebandFilterChips(chips, oversampling, shape, out, scratch);
    return out;
}

}  // namespace tolvane
