// Values as JSON: the form `tolvane call` reads its arguments in and prints
// its results in, also usable wherever a value must travel as text.
//
// JSON -> value:
//   number (or true/false)            1 x 1 real (true = 1, false = 0)
//   [n1, n2, ...]                     1 x n real row
//   [[row 1], [row 2], ...]           matrix, one inner array per row; the
//                                     rows must all have the same length
//   []                                0 x 0 empty real matrix
//   "text"                            character row
//   {"re": A, "im": B}                complex; A and B are numbers, rows or
//                                     matrices of the same shape (an object
//                                     with exactly these two numeric keys)
//   any other object                  record, fields in the object's order
//                                     (nested objects are nested records)
//   any other array                   1 x n cell list of the converted items
//   null                              uninitialised
//
// Value -> JSON is the reverse: a 1 x 1 matrix is a number, a row an array,
// a column or matrix an array of rows, any empty matrix [], complex values
// {"re": ..., "im": ...} of the same shapes (kept complex even when every
// imaginary part is zero), a 1 x n cell an array (an m x n cell an array of
// rows), a handle its number, uninitialised null. Whole numbers of magnitude
// below 2^53 are written without a fraction; other numbers are written with
// enough digits to read back exactly.
//
// Non-finite numbers: JSON has no literal for them, so NaN, +Inf and -Inf
// are written as the strings "NaN", "Inf" and "-Inf", and those three strings
// (and "+Inf") read as numbers wherever they stand: alone, in a row or
// matrix, or in "re"/"im". A consequence: a character row whose whole text
// is one of these words reads back as a number.
//
// Shapes that do not survive a trip through JSON: an empty matrix of any
// shape reads back as 0 x 0; a cell list whose items are all numbers reads
// back as a numeric row; a record with exactly the numeric fields re and im
// reads back as a complex value.
#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "runtime/value.hpp"

namespace tolvane {

using Json = nlohmann::ordered_json;

// Converts by the rules above; throws Error for ragged rows or a complex
// value whose "re" and "im" differ in shape, naming the offending place, and
// for arrays and objects nested deeper than limits::kMaxJsonDepth.
Value valueFromJson(const Json& json);
Json valueToJson(const Value& value);

// Parses JSON text and converts it; malformed text throws Error carrying the
// parser's description (with the position of the fault). Text past the
// ceilings of runtime/input_limits.hpp (its length, nesting depth, count of
// numbers and of other items) throws Error naming the ceiling; the parse stops
// there, before the input can exhaust the stack or the memory. A name given
// twice in one object keeps its first place and its last value.
Value parseJsonValue(const std::string& text);
// One line of compact JSON text.
std::string jsonText(const Json& json);
std::string valueToJsonText(const Value& value);

}  // namespace tolvane
