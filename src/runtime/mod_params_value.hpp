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

// Reads a record. The fields named in `required` are checked first, in that
// order, and the first one missing raises Error naming it ("Reference to
// non-existent field 'modulationType'."); the other fields are read when
// present and valid, and stay zero otherwise. A required field that is not a
// numeric scalar, or an integer one that is not a whole number, raises Error
// naming `name`.field. A non-record value raises Error naming `name`.
ModParams modParamsFromValue(const Value& record, const std::vector<std::string>& required = modParamsFieldNames(),
                             const std::string& name = "modParams");

}  // namespace tolvane
