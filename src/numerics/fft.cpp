#include "numerics/fft.hpp"

#include <fftw3.h>

#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

// Plans keyed by everything FFTW's new-array execution must keep the same:
// length, sign, in-place or not, and whether both arrays are SIMD-aligned.
class PlanCache {
public:
    ~PlanCache() { clear(); }

    // FFTW's planner is not thread-safe (executing a plan is): the cache
    // plans under its lock, so a calculation on a worker thread and a
    // display on the window thread may both ask for plans.
    fftw_plan get(std::size_t n, FftDirection dir, bool inPlace, bool aligned) {
        std::lock_guard<std::mutex> lock(mutex_);
        const Key key{n, dir == FftDirection::Forward, inPlace, aligned};
        auto it = plans_.find(key);
        if (it != plans_.end()) return it->second;

        // Plan on scratch arrays: FFTW_ESTIMATE does not touch their
        // contents, and the plan is then executed on the caller's arrays.
        fftw_complex* a = fftw_alloc_complex(n);
        fftw_complex* b = inPlace ? a : fftw_alloc_complex(n);
        unsigned flags = FFTW_ESTIMATE | (aligned ? 0u : FFTW_UNALIGNED);
        fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(n), a, b,
                                          dir == FftDirection::Forward ? FFTW_FORWARD : FFTW_BACKWARD, flags);
        if (!inPlace) fftw_free(b);
        fftw_free(a);
        if (!plan) throw Error("FFT planning failed for length " + numberText(static_cast<double>(n)) + ".");
        plans_.emplace(key, plan);
        return plan;
    }

    std::size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plans_.size();
    }

    // Destroys this cache's plans. FFTW's own planner state stays (it is
    // still reachable, not leaked): fftw_cleanup() would invalidate plans
    // that other code may hold.
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [key, plan] : plans_) fftw_destroy_plan(plan);
        plans_.clear();
    }

private:
    using Key = std::tuple<std::size_t, bool, bool, bool>;
    std::map<Key, fftw_plan> plans_;
    mutable std::mutex mutex_;
};

PlanCache& cache() {
    static PlanCache c;
    return c;
}

}  // namespace

void dft(const std::complex<double>* in, std::complex<double>* out, std::size_t n, FftDirection direction) {
    if (n == 0) return;
    if (n > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw Error("FFT length " + numberText(static_cast<double>(n)) + " is too large.");
    // FFTW reads the input of an out-of-place plan without changing it.
    auto* src = reinterpret_cast<fftw_complex*>(const_cast<std::complex<double>*>(in));
    auto* dst = reinterpret_cast<fftw_complex*>(out);
    const bool inPlace = src == dst;
    const bool aligned = fftw_alignment_of(reinterpret_cast<double*>(src)) == 0 &&
                         fftw_alignment_of(reinterpret_cast<double*>(dst)) == 0;
    fftw_plan plan = cache().get(n, direction, inPlace, aligned);
    fftw_execute_dft(plan, src, dst);
}

std::vector<std::complex<double>> fft(const std::vector<std::complex<double>>& x) {
    std::vector<std::complex<double>> out(x.size());
    dft(x.data(), out.data(), x.size(), FftDirection::Forward);
    return out;
}

std::vector<std::complex<double>> fft(const std::vector<double>& x) {
    std::vector<std::complex<double>> out(x.begin(), x.end());
    fftInPlace(out);
    return out;
}

std::vector<std::complex<double>> ifft(const std::vector<std::complex<double>>& spectrum) {
    std::vector<std::complex<double>> out(spectrum.size());
    dft(spectrum.data(), out.data(), spectrum.size(), FftDirection::Inverse);
    const double scale = out.empty() ? 1.0 : 1.0 / static_cast<double>(out.size());
    for (auto& z : out) z *= scale;
    return out;
}

void fftInPlace(std::vector<std::complex<double>>& x) { dft(x.data(), x.data(), x.size(), FftDirection::Forward); }

void ifftInPlace(std::vector<std::complex<double>>& x) {
    dft(x.data(), x.data(), x.size(), FftDirection::Inverse);
    const double scale = x.empty() ? 1.0 : 1.0 / static_cast<double>(x.size());
    for (auto& z : x) z *= scale;
}

std::size_t fftPlanCount() { return cache().size(); }

void releaseFftPlans() { cache().clear(); }

}  // namespace tolvane
