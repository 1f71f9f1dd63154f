// Fuzz target: the packet decoder on arbitrary chips and arguments. The
// first 12 bytes are the DRC, the MAC index and the iteration count (signed
// bytes), a flag byte (bit 0 log-MAP, bit 1 chips as raw doubles rather
// than 16-bit fixed point) and the noise variance (a raw double); the rest
// are the chips, I then Q. Any refusal must be a tolvane::Error, and a packet
// said to check must have a payload of the rate's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <complex>
#include <vector>

#include "fuzz_support.hpp"
#include "onex/packets.hpp"
#include "receiver/packet_decoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    if (size < 12) return 0;
    const int drc = static_cast<std::int8_t>(data[0]);
    const int mac = static_cast<std::int8_t>(data[1]);
    tolvane::PacketDecoderOptions options;
    options.maxIterations = static_cast<std::int8_t>(data[2]);
    options.logMap = (data[3] & 1) != 0;
    const bool rawDoubles = (data[3] & 2) != 0;
    double variance = 0;
    std::memcpy(&variance, data + 4, sizeof variance);

    std::vector<std::complex<double>> chips;
    const std::uint8_t* p = data + 12;
    std::size_t left = size - 12;
    if (rawDoubles) {
        for (; left >= 16; p += 16, left -= 16) {
            double iq[2];
            std::memcpy(iq, p, sizeof iq);
            chips.emplace_back(iq[0], iq[1]);
        }
    } else {
        for (; left >= 4; p += 4, left -= 4) {
            std::int16_t iq[2];
            std::memcpy(iq, p, sizeof iq);
            chips.emplace_back(iq[0] / 8192.0, iq[1] / 8192.0);
        }
    }
    try {
        const tolvane::DecodedPacket got = tolvane::decodePacket(chips, variance, drc, mac, options);
        if (got.payload.size() != static_cast<std::size_t>(tolvane::packetPayloadBits(drc))) std::abort();
        if (got.iterations < 1 || got.iterations > options.maxIterations) std::abort();
    } catch (const tolvane::Error&) {
    }
    return 0;
}
