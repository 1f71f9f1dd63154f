// Modulation parameters of the twelve forward data rates (DRC 1..12).
#pragma once

#include <optional>

#include "onex/choices.hpp"

namespace tolvane {

struct ModParams {
    int drcValue = 0;
    double dataRate = 0;
    int slots = 0;
    int bits = 0;
    CodeRate codeRate = CodeRate::One;  // 1/5 or 1/3 in the table
    Modulation modulationType = Modulation::Qpsk;
    int preambleTDMChips = 0;
    int pilotTDMChips = 0;
    int macTDMChips = 0;
    int dataTDMChips = 0;
    int modulationSymbolsProvided = 0;
    int modulationSymbolsRequired = 0;
};

// The table row of `drcValue`, or std::nullopt outside 1..12 (the record
// then holds only drcValue).
std::optional<ModParams> fwdTrfChnModParams(double drcValue);

}  // namespace tolvane
