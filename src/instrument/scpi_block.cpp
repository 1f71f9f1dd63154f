#include "instrument/scpi_block.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/diagnostics.hpp"

namespace tolvane {

std::string blockHeader(std::size_t count) {
    const std::string digits = std::to_string(count);
    return "#" + std::to_string(digits.size()) + digits;
}

bool appendWaveformWords(const std::vector<std::complex<double>>& iq, std::string& out, std::string& why) {
    double peak = 0;
    for (std::size_t k = 0; k < iq.size(); ++k) {
        for (double part : {iq[k].real(), iq[k].imag()}) {
            if (!std::isfinite(part)) {
                why = "sample " + numberText(double(k + 1)) + " of the waveform is not a finite number (" +
                      numberText(part) + ")";
                return false;
            }
            peak = std::max(peak, std::abs(part));
        }
    }
    const double factor = peak > 0 ? 32767.0 / peak : 0.0;
    const std::size_t start = out.size();
    out.resize(start + 4 * iq.size());
    char* p = out.data() + start;
    const double* parts = reinterpret_cast<const double*>(iq.data());
    for (std::size_t i = 0; i < 2 * iq.size(); ++i) {
        // |v| <= 32767 by construction; rounding half away from zero.
        const double v = parts[i] * factor;
        long r = static_cast<long>(v);
        const double rest = v - static_cast<double>(r);
        r += (rest >= 0.5) - (rest <= -0.5);
        r = std::clamp(r, -32767L, 32767L);
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(r));
        *p++ = static_cast<char>(u >> 8);
        *p++ = static_cast<char>(u & 0xFF);
    }
    return true;
}

bool appendMarkerBytes(const MarkerMatrix& markers, std::size_t samples, std::string& out, std::string& why) {
    if ((markers.rows != 1 && markers.rows != 2) || markers.cols != samples ||
        markers.data.size() != markers.rows * markers.cols) {
        why = "the markers must be 2 rows of " + std::to_string(samples) + " values (one per sample), not " +
              std::to_string(markers.rows) + " x " + std::to_string(markers.cols);
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + samples);
    for (std::size_t c = 0; c < samples; ++c) {
        unsigned byte = 0;
        for (std::size_t r = 0; r < markers.rows; ++r)
            if (markers.data[c * markers.rows + r] != 0) byte |= 1u << r;
        out[start + c] = static_cast<char>(byte);
    }
    return true;
}

ReplyReader::ReplyReader(std::size_t maxLine, std::size_t maxBlock)
    : maxLine_(maxLine), maxBlock_(std::min(maxBlock, kMaxBlockBytes)) {}

void ReplyReader::reset() {
    state_ = State::NeedMore;
    part_ = Part::Start;
    reply_.clear();
    error_.clear();
    digits_ = blockLeft_ = count_ = 0;
}

void ReplyReader::fail(std::string why) {
    state_ = State::Failed;
    error_ = std::move(why);
}

std::size_t ReplyReader::feed(const char* data, std::size_t n) {
    std::size_t used = 0;
    while (used < n && state_ == State::NeedMore) {
        const char ch = data[used];
        switch (part_) {
        case Part::Start:
            if (ch == '#') {
                reply_.push_back(ch);
                ++used;
                part_ = Part::BlockDigits;
            } else {
                part_ = Part::Line;
            }
            break;
        case Part::Line: {
            const char* nl = static_cast<const char*>(std::memchr(data + used, '\n', n - used));
            const std::size_t take = (nl ? static_cast<std::size_t>(nl - data) : n) - used;
            if (reply_.size() + take > maxLine_) {
                fail("a reply longer than " + std::to_string(maxLine_) + " bytes");
                return used;
            }
            reply_.append(data + used, take);
            used += take;
            if (nl) {
                ++used;
                if (!reply_.empty() && reply_.back() == '\r') reply_.pop_back();
                state_ = State::Done;
            }
            break;
        }
        case Part::BlockDigits:
            if (ch < '1' || ch > '9') {
                // "#0" (indefinite length) or anything else is not a block
                // this reader accepts.
                fail("a block reply whose length digit is " + shownText(std::string(1, ch)));
                return used;
            }
            reply_.push_back(ch);
            ++used;
            digits_ = static_cast<std::size_t>(ch - '0');
            count_ = 0;
            part_ = Part::BlockCount;
            break;
        case Part::BlockCount:
            if (ch < '0' || ch > '9') {
                fail("a block reply whose byte count holds " + shownText(std::string(1, ch)));
                return used;
            }
            reply_.push_back(ch);
            ++used;
            count_ = count_ * 10 + static_cast<std::size_t>(ch - '0');
            if (--digits_ == 0) {
                if (count_ > maxBlock_) {
                    fail("a block reply of " + std::to_string(count_) + " bytes, more than the " +
                         std::to_string(maxBlock_) + " accepted");
                    return used;
                }
                reply_.reserve(reply_.size() + count_);
                blockLeft_ = count_;
                part_ = blockLeft_ ? Part::BlockBody : Part::BlockEnd;
            }
            break;
        case Part::BlockBody: {
            const std::size_t take = std::min(blockLeft_, n - used);
            reply_.append(data + used, take);
            used += take;
            blockLeft_ -= take;
            if (blockLeft_ == 0) part_ = Part::BlockEnd;
            break;
        }
        case Part::BlockEnd:
            ++used;
            if (ch == '\n') state_ = State::Done;
            else if (ch != '\r') fail("a block reply not ended by a line feed");
            break;
        }
    }
    return used;
}

std::string shownText(const std::string& text, std::size_t limit) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : text) {
        if (out.size() >= limit) {
            out += "...";
            break;
        }
        if (ch >= 0x20 && ch < 0x7F) {
            out.push_back(static_cast<char>(ch));
        } else {
            out += "\\x";
            out.push_back(hex[ch >> 4]);
            out.push_back(hex[ch & 15]);
        }
    }
    return out;
}

}  // namespace tolvane
