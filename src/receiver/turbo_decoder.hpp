// Iterative decoder of the forward traffic channel's turbo code: two
// constituent BCJR (MAP) decoders over the 8-state trellis of the
// recursive systematic encoders, exchanging extrinsic information through
// the turbo interleaver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

struct TurboDecodeOptions {
    int maxIterations = 8;  // full iterations (both constituent decoders), at least 1
    bool logMap = false;    // log-MAP (with the Jacobian correction) instead of max-log-MAP
    // Factor on the extrinsic values handed on by max-log-MAP, which
    // overestimates them; 1 turns the scaling off. log-MAP ignores it.
    float maxLogScale = 0.75f;
};

// Called after every iteration with the hard decisions on the N data bits
// (0/1, natural order); returning true ends the decoding there.
using TurboStopCheck = std::function<bool(std::span<const std::uint8_t>)>;

struct TurboDecodeResult {
    int iterations = 0;     // iterations run
    bool stopped = false;   // the stop check returned true
};

// A decoder for one block length and code rate. The interleaver and the
// puncturing pattern are worked out once here; decode() only runs the
// trellis over buffers sized here. One object is not for two threads at once.
class TurboDecoder {
public:
    // `bits` is the encoder's input length N (kTurboMinBits .. kTurboMaxBits),
    // `rate` 1/2, 1/3, 1/4 or 1/5. Throws Error otherwise.
    TurboDecoder(std::size_t bits, CodeRate rate);
    ~TurboDecoder();
    TurboDecoder(TurboDecoder&&) noexcept;
    TurboDecoder& operator=(TurboDecoder&&) noexcept;

    std::size_t bits() const;
    // Code symbols the encoder puts out for one block: k * (N + 6).
    std::size_t codedSymbols() const;

    // `llr` holds the channel's log-likelihood ratios log(P(0)/P(1)) of
    // the code symbols in the encoder's output order (codedSymbols() of
    // them; 0 or NaN for a symbol not received; magnitudes are held to
    // 10^4, infinities included). Writes the N decided bits to
    // `decided`. Throws Error for a wrong count or options out of range.
    TurboDecodeResult decode(std::span<const float> llr, std::vector<std::uint8_t>& decided,
                             const TurboDecodeOptions& options = {}, const TurboStopCheck& stop = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tolvane
