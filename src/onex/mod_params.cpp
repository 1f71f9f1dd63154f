// Modulation parameters of the twelve forward data rates.
#include "onex/mod_params.hpp"

#include <array>


namespace tolvane {

namespace {

constexpr CodeRate kFifth = CodeRate::Fifth;
constexpr CodeRate kThird = CodeRate::Third;
constexpr Modulation kQpsk = Modulation::Qpsk;
constexpr Modulation k8psk = Modulation::Psk8;
constexpr Modulation k16qam = Modulation::Qam16;

// One row per DRC value 1..12, in the record's field order.
const std::array<ModParams, 12> kTable = {{
    {1, 38.4, 16, 1024, kFifth, kQpsk, 1024, 3072, 4096, 24576, 2560, 24576},
    {2, 76.8, 8, 1024, kFifth, kQpsk, 512, 1536, 2048, 12288, 2560, 12288},
    {3, 153.6, 4, 1024, kFifth, kQpsk, 256, 768, 1024, 6144, 2560, 6144},
    {4, 307.2, 2, 1024, kFifth, kQpsk, 128, 384, 512, 3072, 2560, 3072},
    {5, 307.2, 4, 2048, kThird, kQpsk, 128, 768, 1024, 6272, 3072, 6272},
    {6, 614.4, 1, 1024, kThird, kQpsk, 64, 192, 256, 1536, 1536, 1536},
    {7, 614.4, 2, 2048, kThird, kQpsk, 64, 384, 512, 3136, 3072, 3136},
    {8, 921.6, 2, 3072, kThird, k8psk, 64, 384, 512, 3136, 3072, 3136},
    {9, 1228.8, 1, 2048, kThird, kQpsk, 64, 192, 256, 1536, 3072, 1536},
    {10, 1228.8, 2, 4096, kThird, k16qam, 64, 384, 512, 3136, 3072, 3136},
    {11, 1843.2, 1, 3072, kThird, k8psk, 64, 192, 256, 1536, 3072, 1536},
    {12, 2457.6, 1, 4096, kThird, k16qam, 64, 192, 256, 1536, 3072, 1536},
}};

}  // namespace

std::optional<ModParams> fwdTrfChnModParams(double drcValue) {
    for (const ModParams& row : kTable)
        if (drcValue == row.drcValue) return row;
    return std::nullopt;
}

}  // namespace tolvane
