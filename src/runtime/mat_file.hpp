// MAT-files: writing a set of named values and reading every variable back.
//
// Written (format 5):
//   real matrix        double matrix
//   complex matrix     complex double matrix
//   character row      char row (UTF-8 text stored as 16-bit code units)
//   record             1 x 1 struct; nested records are nested structs
//   cell list/matrix   cell array of the same shape
//   record array       1 x N struct array (MatRecordArray, below)
//   handle             double scalar
//   uninitialised      inside a record or cell: an empty double matrix;
//                      as a variable of its own: an error naming it
// Names of variables and record fields must be valid identifiers (a letter,
// then letters, digits or underscores, at most 63 characters). Records and
// cells may nest at most limits::kMaxMatDepth levels deep (a variable is
// level 1), as deep as a file is read back.
//
// Read (format 5, compressed or not):
//   double, single, integer and logical arrays   real or complex double matrix
//   char array                                   character row; a char matrix
//                                                with several rows becomes a
//                                                column cell of its rows
//   1 x 1 struct                                 record (nested as stored)
//   struct array of any other size               cell of records, same shape
//   cell array                                   cell of the same shape
// Sparse matrices, objects, function handles and arrays of more than two
// dimensions are refused with an error naming the variable and the file.
// Format 7.3 files (HDF5) are refused with a message asking for format 5:
// the HDF5 library cannot be kept from crashing on a damaged file, and this
// application writes format 5 only. Format 4 files and other files are
// refused as not MAT-files of format 5.
//
// Before the MAT library sees a file, its layout is walked and checked (see
// runtime/mat_layout_check.hpp): a damaged, truncated or hostile file is
// refused with an error naming the file and the fault, and never makes the
// reader read past the data present, allocate what a damaged size declares,
// or recurse deeper than the ceilings of runtime/input_limits.hpp allow.
//
// A file is written whole or not at all: the content goes to a temporary
// file in the same folder, which then replaces the target in one rename.
// Every error names the file.
#pragma once

#include <string>
#include <vector>

#include "runtime/value.hpp"

namespace tolvane {

// The formats written. Only format 5 remains: format 7.3 cannot be read
// back safely (see above).
enum class MatFormat { V5 };

// Writes the fields of `variables` as the file's variables, in field order,
// replacing any existing file. Throws Error naming the file (and the
// variable or field at fault) on failure; an existing file is then left
// unchanged.
void writeMatFile(const std::string& path, const Record& variables, MatFormat format = MatFormat::V5);

// A variable that is a 1 x N struct array: N records, each with exactly the
// fields `fields` in that order (N may be 0: a 1 x 0 struct array that still
// names its fields). Read back, it is a cell row of the records (one record
// alone reads as that record), as every struct array is.
struct MatRecordArray {
    std::string name;
    std::vector<std::string> fields;
    std::vector<Record> records;
};
// The same, with record arrays written after `variables`. A record whose
// fields differ from `fields` is refused with an error naming it.
void writeMatFile(const std::string& path, const Record& variables, const std::vector<MatRecordArray>& recordArrays,
                  MatFormat format = MatFormat::V5);

// Reads every variable of the file into a record, in file order. Throws
// Error naming the file when it is missing, not a MAT-file of format 5,
// damaged, past a ceiling of runtime/input_limits.hpp, or holds a variable
// of a kind listed above as refused.
Record readMatFile(const std::string& path);

}  // namespace tolvane
