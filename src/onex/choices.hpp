// The typed choices of the forward-link chain. Their numeric values are the
// numbers users and stored parameter files give; turning numbers or texts
// into these choices (and refusing the ones that are not) is the business of
// the adapters that read values, never of the chain.
#pragma once

namespace tolvane {

// Baseband pulse shape (the `FilterType` setting 1..4).
enum class FilterShape {
    Rectangular = 1,  // sample-and-hold over one chip
    Std = 2,          // equiripple, standard stop band
    Acp = 3,          // equiripple, adjacent-channel-power stop band
    None = 4,         // no shaping filter (the stored-FIR equaliser applies)
};

// Symbol modulation of a data slot (the `DATAslotMod` setting 1..3).
enum class Modulation {
    Qpsk = 1,
    Psk8 = 2,
    Qam16 = 3,
};

// Bits carried by one symbol: 2, 3 or 4.
constexpr int bitsPerSymbol(Modulation modulation) {
    switch (modulation) {
    case Modulation::Qpsk: return 2;
    case Modulation::Psk8: return 3;
    case Modulation::Qam16: return 4;
    }
    return 0;
}

// Turbo code rates of the forward traffic channel.
enum class CodeRate {
    One,      // 1: no parity
    Half,     // 1/2
    Third,    // 1/3
    Quarter,  // 1/4
    Fifth,    // 1/5
};

// Code symbols per data bit (1 / rate).
constexpr int symbolsPerBit(CodeRate rate) {
    switch (rate) {
    case CodeRate::One: return 1;
    case CodeRate::Half: return 2;
    case CodeRate::Third: return 3;
    case CodeRate::Quarter: return 4;
    case CodeRate::Fifth: return 5;
    }
    return 0;
}

// The rate as the number records hold: 1, 0.5, 1.0/3.0, 0.25, 0.2.
constexpr double codeRateValue(CodeRate rate) { return 1.0 / symbolsPerBit(rate); }

// Data bit sources (the `DATAsourceType` setting).
enum class DataSource {
    Zeros = 1,
    Ones = 2,
    Alternating01 = 3,
    Alternating10 = 4,
    Pn9 = 5,
    Pn15 = 6,
    UserPattern = 7,
    UserPatternAlt = 8,  // the same repeated user pattern, a second entry point
};

}  // namespace tolvane
