// Reading numbers typed into an edit field.
//
// A field's text is read as a list of plain decimal numbers; nothing is
// evaluated. Accepted: numbers with an optional sign, decimal point and
// exponent ("-12.5", "+3", ".5", "4e3", "1.2E-3"), separated by blanks,
// tabs, commas or semicolons, optionally inside one pair of square brackets
// ("[1 2 3]"), and the words Inf and NaN with an optional sign. Any other
// text (letters, operators, "0x10") is not a number list: readNumberList
// reads it as the empty list, readNumberEntry tells it apart from a blank
// field.
//
// The clamps of the windows then work over the list as the windows
// describe them: see clampFromBelow / clampFromAbove.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::app {

// Longest text read as a number list; a longer text is not a number list.
inline constexpr std::size_t kMaxNumberEntryBytes = 4096;

// The numbers of the text, or an empty list when the text is not a number list.
std::vector<double> readNumberList(const std::string& text);

// What an edit field's text says: its numbers (an empty list for blank text
// or "[]"), or nothing when the text is not a number list at all ("abc",
// "1x", a text over kMaxNumberEntryBytes). An entry keeps its stored value
// on nothing, so a typo never changes the frame.
std::optional<std::vector<double>> readNumberEntry(const std::string& text);

// Every number of the list truncated toward zero.
std::vector<double> truncateEach(std::vector<double> list);

// Every number of the list rounded to the nearest whole number, halves away
// from zero.
std::vector<double> roundEach(std::vector<double> list);

// Every number of the list multiplied by the factor.
std::vector<double> scaleEach(std::vector<double> list, double factor);

// min(max(list together with lo), hi): the lower bound joins the list, the
// largest member is kept and then capped by hi. An empty list gives lo; a
// list of several numbers gives its largest member, clamped. NaN members are
// ignored, as the maximum of a list ignores them.
double clampFromBelow(const std::vector<double>& list, double lo, double hi);

// max(min(list together with hi), lo): the upper bound joins the list, the
// smallest member is kept and then raised to lo. An empty list gives hi.
double clampFromAbove(const std::vector<double>& list, double lo, double hi);

// The single number of the text, or nothing when the text does not read as
// exactly one finite-or-infinite number (empty, several numbers, words).
std::optional<double> readSingleNumber(const std::string& text);

}  // namespace tolvane::app
