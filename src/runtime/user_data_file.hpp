// User data files: any file read as bytes and turned into the traffic bit
// pattern, 8 bits per byte in file order, at most a given number of bits.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

// The bits of `bytes`, cut to `maxBits`. With a bit order whose first five
// characters are "right" each byte gives its least significant bit first;
// any other order gives the most significant bit first.
std::vector<double> bytesToBits(const std::string& bytes, long long maxBits, const std::string& bitOrder);

// Reads only the bytes needed (ceil(maxBits / 8) at most). Throws Error
// "Could not open <path>: <reason>." when the file cannot be read, and
// "Could not read <path>: ..." when more than limits::kMaxUserDataBytes
// would be needed and the file holds more.
std::vector<double> readUserDataBits(const std::string& path, long long maxBits,
                                     const std::string& bitOrder = "right-msb");

}  // namespace tolvane
