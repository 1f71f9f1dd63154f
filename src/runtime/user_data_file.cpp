#include "runtime/user_data_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/diagnostics.hpp"
#include "runtime/input_limits.hpp"

namespace tolvane {

std::vector<double> bytesToBits(const std::string& bytes, long long maxBits, const std::string& bitOrder) {
    if (maxBits < 0) maxBits = 0;
    const bool lsbFirst = bitOrder.compare(0, 5, "right") == 0 && bitOrder.size() >= 5;
    const long long available = static_cast<long long>(bytes.size()) * 8;
    const long long count = available > maxBits ? maxBits : available;
    std::vector<double> bits(static_cast<std::size_t>(count));
    for (long long i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i / 8)]);
        const int k = static_cast<int>(i % 8);
        const int shift = lsbFirst ? k : 7 - k;
        bits[static_cast<std::size_t>(i)] = (byte >> shift) & 1;
    }
    return bits;
}

std::vector<double> readUserDataBits(const std::string& path, long long maxBits, const std::string& bitOrder) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw Error("Could not open " + path + ": it is a folder.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Could not open " + path + ": " + std::strerror(errno) + ".");

    // The bytes the bits need, without overflow for any maxBits; past the
    // ceiling one byte more is read to tell a file that holds more from one
    // that ends there.
    const std::uint64_t wanted = maxBits <= 0 ? 0 : static_cast<std::uint64_t>(maxBits / 8 + (maxBits % 8 != 0));
    const bool capped = wanted > limits::kMaxUserDataBytes;
    const std::uint64_t toRead = capped ? limits::kMaxUserDataBytes + 1 : wanted;

    // The buffer grows with what the file gives rather than with what was
    // asked for, so a large request on a small file allocates little.
    std::string bytes;
    constexpr std::size_t chunk = 64 * 1024;
    while (bytes.size() < toRead) {
        const std::size_t have = bytes.size();
        const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, toRead - have));
        bytes.resize(have + step);
        in.read(bytes.data() + have, static_cast<std::streamsize>(step));
        bytes.resize(have + static_cast<std::size_t>(in.gcount()));
        if (in.bad()) throw Error("Could not read " + path + ".");
        if (!in) break;  // end of the file
    }
    if (capped && bytes.size() > limits::kMaxUserDataBytes)
        throw Error("Could not read " + path + ": it holds more than " + std::to_string(limits::kMaxUserDataBytes) +
                    " bytes, the most a user data file may give.");
    return bytesToBits(bytes, maxBits, bitOrder);
}

}  // namespace tolvane
