// The verification receiver by name: OneX_FwdAnalyze(waveform, sampleRate,
// options) returning the analysis as a record with the keys of the JSON
// report, for the C entries and every caller by name.
#pragma once

#include "receiver/analysis.hpp"
#include "runtime/value.hpp"

namespace tolvane {

class Registry;

// The report as a record: the same keys, nesting and order as the JSON
// report, built from it; an optional without a value (or a number that is not
// finite, null in the JSON) is an empty matrix; arrays of records
// are 1 x N cell lists.
Value analysisReportToValue(const AnalysisReport& report);

// Options from a record whose fields are all optional: pnOffset (0 .. 511,
// or the text "auto"), filter (1 .. 4), phaseEq (0 or 1), frameSlots,
// carrierOffset (Hz), slots ([first last]), maxIterations. An unset or empty
// value gives the defaults. A field the receiver does not know, or a value
// of the wrong kind, is refused naming it; ranges are checked as the
// receiver checks them.
AnalysisOptions analysisOptionsFromValue(const Value& options);

// Registers OneX_FwdAnalyze.
void registerAnalysisByName(Registry& reg);

}  // namespace tolvane
