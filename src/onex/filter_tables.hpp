// The filter designs for the ratios users run, computed when the library is
// built by the same design functions (tables/make_filter_tables.cpp), so a
// process need not spend milliseconds designing them at its first frame.
#pragma once

#include <span>

namespace tolvane {

// The stored taps of the standard (acp false) or ACP design at this ratio;
// an empty span when the ratio is not stored.
std::span<const double> storedFilterDesign(int oversampling, bool acp);

}  // namespace tolvane
