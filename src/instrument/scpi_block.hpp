// The byte forms of a download and the reader of instrument replies.
//
// Download: IEEE 488.2 definite-length blocks ("#", one digit n, n digits of
// byte count, the bytes). Samples travel as 16-bit big-endian two's-complement
// words, I then Q per sample, scaled so that the largest component magnitude
// becomes 32767 ("norm"); markers as one byte per sample, bit 0 marker 1,
// bit 1 marker 2, the other bits 0.
//
// Replies: one line up to its line feed, or a definite-length block followed
// by its line feed. Sizes are checked against their limits before anything
// is stored, so a damaged or hostile reply cannot make the reader allocate
// more than the limits.
#pragma once

#include <complex>
#include <cstddef>
#include <string>
#include <vector>

#include "instrument/connection.hpp"

namespace tolvane {

// The largest byte count a block header can carry (nine digits).
inline constexpr std::size_t kMaxBlockBytes = 999999999;

// "#<n><count>" for a block of `count` bytes (count <= kMaxBlockBytes).
std::string blockHeader(std::size_t count);

// Appends the sample words of `iq` to `out`. Returns false, with the reason
// in `why`, when a component is not a finite number. An all-zero waveform
// gives zero words.
bool appendWaveformWords(const std::vector<std::complex<double>>& iq, std::string& out, std::string& why);

// Appends one marker byte per sample. `markers` must have 1 or 2 rows and
// `samples` columns; returns false with the reason in `why` otherwise.
bool appendMarkerBytes(const MarkerMatrix& markers, std::size_t samples, std::string& out, std::string& why);

// Reads one reply from bytes as they arrive.
class ReplyReader {
public:
    enum class State { NeedMore, Done, Failed };

    explicit ReplyReader(std::size_t maxLine = 65536, std::size_t maxBlock = 64u << 20);

    // Takes bytes up to the end of the reply; returns how many it used
    // (bytes after the reply are left to the caller).
    std::size_t feed(const char* data, std::size_t n);
    State state() const { return state_; }
    // The reply without its line terminator (a block reply keeps its header).
    const std::string& reply() const { return reply_; }
    // Why the reply cannot be read, once Failed.
    const std::string& error() const { return error_; }
    void reset();

private:
    enum class Part { Start, Line, BlockDigits, BlockCount, BlockBody, BlockEnd };
    void fail(std::string why);

    std::size_t maxLine_;
    std::size_t maxBlock_;
    State state_ = State::NeedMore;
    Part part_ = Part::Start;
    std::string reply_;
    std::string error_;
    std::size_t digits_ = 0;       // count digits still expected
    std::size_t blockLeft_ = 0;    // block bytes still expected
    std::size_t count_ = 0;
};

// A reply or received text as it may be shown in a message: printable
// characters as they are, others as \xNN, cut to `limit` characters.
std::string shownText(const std::string& text, std::size_t limit = 60);

}  // namespace tolvane
