// The verification receiver's report in its two outside forms: a JSON
// document for programs and a compact table for people. Both carry the same
// numbers; a measurement the receiver could not make (an idle channel's rho,
// an idle slot's EVM) is null in the JSON and "-" in the table, never a
// number made up for it.
//
// JSON keys (in this order):
//   sampleRate, frameSlots, firstSlot, lastSlot,
//   pnOffset, timingOffsetChips, frequencyErrorHz, phaseErrorDeg,
//   chipRateErrorPpm, rho {pilot, mac, data, overall},
//   evmPercent {rms, peak}, originOffsetDb, iqImbalance {gainDb,
//   quadratureDeg}, snrDb,
//   slots [ {index, pilotPowerDb, macPowerDb, dataPowerDb, data,
//            evmPercent, idlePowerDb, ra {active, bit, gainDb},
//            rpc [ {macIndex, active, bit, gainDb} ]} ],
//   codeDomain {mac {i: [64], q: [64]}, data: [16],
//               preamble [ {slot, macIndex, chips, powerDb} ]},
//   packets [ {startSlot, slots, drc, macIndex, fcsOk, payloadHex,
//              iterations} ]
// A number that is not finite is written as null too. The table also says
// the spectrum orientation found (AnalysisReport::mirrorSpectrum), which is
// not one of the JSON document's keys.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "receiver/analysis.hpp"

namespace tolvane {

nlohmann::ordered_json analysisReportJson(const AnalysisReport& report);

// The JSON document as text (two-space indents, a final newline).
std::string analysisReportJsonText(const AnalysisReport& report);

// The table: the summary, one line per slot, the code-domain powers, the
// preambles and the packets.
std::string analysisReportTable(const AnalysisReport& report);

}  // namespace tolvane
