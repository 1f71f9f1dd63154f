// The ceilings every reader of outside input enforces: JSON text and
// arguments, MAT-files and parameter files, user data files and matrix
// literals typed on the command line.
//
// Input past a ceiling is refused with an Error naming the input and the
// ceiling before anything of its size is allocated, so a damaged or hostile
// file can neither exhaust the stack (deep nesting) nor the memory (declared
// sizes) nor take unbounded time.
//
// The ceilings sit well above anything the application produces or needs.
// For scale: the longest waveform is 983,040 complex samples (16 slots at
// 30 x oversampling), about 15 MiB as doubles, about 45 MiB as JSON text; a
// parameter file holds a few dozen fields and three 16 x 59 matrices; a user
// data file gives at most 102,400 bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvane::limits {

// Bytes of one text input: JSON text (also `tolvane call @FILE`).
inline constexpr std::uint64_t kMaxTextBytes = 256ull << 20;  // 256 MiB

// Nesting of JSON arrays and objects. A matrix takes two levels ([[...]]) and
// a complex matrix three ({"re": [[...]]}), so every value of up to
// kMaxMatDepth levels of records and cells fits with room to spare.
inline constexpr std::size_t kMaxJsonDepth = 64;

// Numbers in one input: JSON numbers (and "NaN", "Inf" words) in one text,
// elements of all arrays in one MAT-file (a complex element counts once).
// 64 Mi numbers are 512 MiB as doubles (1 GiB complex), 68 times the
// longest waveform.
inline constexpr std::uint64_t kMaxElements = 64ull << 20;

// Values that are not plain numbers in one input: texts and nulls of a JSON
// text, the cell items and record fields it converts to; every array of a
// MAT-file. Each costs a few hundred bytes of bookkeeping however small.
inline constexpr std::uint64_t kMaxValueCount = 1ull << 20;  // 1 Mi

// Arrays and objects in one JSON text. A matrix takes one array per row, so
// the longest complex waveform as a column takes about 2 Mi ({"re": [[x],
// ...], "im": [[y], ...]}).
inline constexpr std::uint64_t kMaxJsonContainers = 4ull << 20;  // 4 Mi

// Arrays nested in a MAT-file (a variable is level 1, a field of a record
// variable level 2, ...). The MAT library reads nested arrays recursively;
// this bound keeps its stack use small.
inline constexpr std::size_t kMaxMatDepth = 32;

// Bytes of a MAT-file, and bytes of its data once compressed variables are
// expanded (1 GiB each).
inline constexpr std::uint64_t kMaxMatBytes = 1ull << 30;

// Dimensions of one array in a MAT-file. Only two are read; a few more of
// size 1 are tolerated. (The MAT library reads more than 13 dimensions of a
// compressed array differently from fewer, so the bound stays well below.)
inline constexpr std::size_t kMaxMatRank = 8;

// Bytes of a user data file read to make the traffic bit pattern (8 MiB,
// whose kMaxElements bits take 512 MiB as doubles). Only the bytes the
// pattern needs are read; this bounds what a caller may ask for.
inline constexpr std::uint64_t kMaxUserDataBytes = kMaxElements / 8;

// Characters of one matrix literal typed on the command line (--set).
inline constexpr std::size_t kMaxLiteralChars = 1u << 20;  // 1 Mi

}  // namespace tolvane::limits
