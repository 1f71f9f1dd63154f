// The modulation-parameter record `modParams` as a value.
#pragma once

#include <string>
#include <vector>

#include "onex/mod_params.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// Field names of the record, in their order of creation.
const std::vector<std::string>& modParamsFieldNames();

// The full record of one table row, fields in the order above.
Value modParamsToValue(const ModParams& params);

// The record OneX_FwdTrfChnModParams returns for `drcValue`: the table row,
// or outside 1..12 a record holding only drcValue as given.
Value modParamsRecord(double drcValue);

// One field of a modulation-parameter record as a real number: Error naming
// `name` when the record is not one, the missing field, or `name`.field
// when it is not a real numeric scalar.
double modParamsNumber(const Value& record, const std::string& field, const std::string& name);

// Reads a record. The fields named in `required` are checked first, in that
// order, and the first one missing raises Error naming it ("Reference to
// non-existent field 'modulationType'."); the other fields are read when
// present and valid, and keep ModParams' defaults otherwise. A required
// field that is not a real numeric scalar, an integer one that is not a
// whole number, a codeRate that is not 1, 1/2, 1/3, 1/4 or 1/5 or a
// modulationType that is not 1, 2 or 3 raises Error naming `name`.field and
// the values allowed. A non-record value raises Error naming `name`.
ModParams modParamsFromValue(const Value& record, const std::vector<std::string>& required = modParamsFieldNames(),
                             const std::string& name = "modParams");

}  // namespace tolvane
