// MAT-files: writing a set of named values and reading every variable back.
//
// Written (format 5 by default, or 7.3 where the MAT library has HDF5):
//   real matrix        double matrix
//   complex matrix     complex double matrix
//   character row      char row (UTF-8 text stored as 16-bit code units)
//   record             1 x 1 struct; nested records are nested structs
//   cell list/matrix   cell array of the same shape
//   handle             double scalar
//   uninitialised      inside a record or cell: an empty double matrix;
//                      as a variable of its own: an error naming it
// Names of variables and record fields must be valid identifiers (a letter,
// then letters, digits or underscores, at most 63 characters).
//
// Read (format 5, and 7.3 when the MAT library was built with HDF5):
//   double, single, integer and logical arrays   real or complex double matrix
//   char array                                   character row; a char matrix
//                                                with several rows becomes a
//                                                column cell of its rows
//   1 x 1 struct                                 record (nested as stored)
//   struct array of any other size               cell of records, same shape
//   cell array                                   cell of the same shape
// Sparse matrices, objects, function handles and arrays of more than two
// dimensions are refused with an error naming the variable and the file.
//
// A file is written whole or not at all: the content goes to a temporary
// file in the same folder, which then replaces the target in one rename.
// Every error names the file.
#pragma once

#include <string>

#include "runtime/value.hpp"

namespace tolvane {

enum class MatFormat { V5, V73 };

// Writes the fields of `variables` as the file's variables, in field order,
// replacing any existing file. Throws Error naming the file (and the
// variable or field at fault) on failure; an existing file is then left
// unchanged.
void writeMatFile(const std::string& path, const Record& variables, MatFormat format = MatFormat::V5);

// Reads every variable of the file into a record, in file order. Throws
// Error naming the file when it is missing, not a MAT-file, damaged, or
// holds a variable of a kind listed above as refused.
Record readMatFile(const std::string& path);

// True when this build can write and read format 7.3 files.
bool matFormat73Available();

}  // namespace tolvane
