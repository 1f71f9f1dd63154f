#include "runtime/user_data_file.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "numerics/diagnostics.hpp"

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
    const long long maxBytes = maxBits <= 0 ? 0 : (maxBits + 7) / 8;
    std::string bytes(static_cast<std::size_t>(maxBytes), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) throw Error("Could not read " + path + ".");
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytesToBits(bytes, maxBits, bitOrder);
}

}  // namespace tolvane
