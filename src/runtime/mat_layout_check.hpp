// The walk of a MAT-file's element layout before the MAT library reads it.
//
// The MAT library trusts the sizes a file declares: it reads a truncated file
// without complaint, allocates what a damaged size asks for, and reads
// nested cells and records recursively. So a file is walked here first, from
// the outside and without recursion deeper than limits::kMaxMatDepth, and
// handed to the library only when its layout holds together:
//
//   128-byte header ("IM" or "MI" for the byte order, version 0x0100), then
//   top-level elements: an array (miMATRIX) or a compressed array
//   (miCOMPRESSED, a zlib stream holding one miMATRIX element).
//   Each element: a tag (type and byte count, 8 bytes; or type, count and up
//   to 4 bytes of data in one 8-byte "small" tag), then its bytes, padded to
//   a multiple of 8.
//   An array: array flags (class, complex), dimensions, name, then by class
//   the real and imaginary data (numbers, characters), the items (cell, each
//   an array), or the field name length, the field names and the fields
//   (record, one array per field and element).
//
// Every element must fit inside the one around it, every count must agree
// with the dimensions (so nothing is read past the data present), the
// nesting, the number of arrays and numbers, and the expanded size of
// compressed data stay within the ceilings of runtime/input_limits.hpp.
// Classes the reader refuses anyway (sparse, objects) are refused here,
// before the library reads them. The layout is checked the way the library
// reads it: items of cells and records carry no name, and an array's size is
// a multiple of 8 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::mat {

// Why a file is refused, without the file's name (readMatFile adds it).
struct LayoutFault {
    std::string why;
};

// Checks the layout of the file at `path` as described above; returns how
// many variables it holds. Throws LayoutFault when the file is refused.
std::size_t checkLayout(const std::string& path);

// Bytes per stored element of a numeric or text type; 0 for any other type.
std::size_t typeSize(std::uint32_t type);

// How a message names an array class the reader refuses ("a sparse matrix").
const char* className(unsigned cls);

}  // namespace tolvane::mat
