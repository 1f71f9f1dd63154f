// Parameter files: MAT-files holding `fileParameters` (the whole
// `parameters` record), `sigGenParameters` (the generator settings) and
// `filename` (the full path the file was written under).
#pragma once

#include <string>

#include "onex/frame_config.hpp"
#include "runtime/value.hpp"

namespace tolvane {

struct ParameterFile {
    FrameConfig parameters;
    Value sigGenParameters;  // uninitialised when the file holds none
};

// Loads a parameter file with the checks File > Open makes, in this order:
// a readable MAT-file; a variable `fileParameters`; a field
// `ParameterFileFormat_ID`; its text equal to `formatId`. The errors read
// "<path>\nhas an Invalid File Format.", "<path>\nhas an Invalid File
// Structure: <what is wrong, naming the field>", "<path>\nhas an Invalid
// File Parameter ID.", or name the file and the reading problem.
ParameterFile loadParameterFile(const std::string& path, const std::string& formatId = kParameterFormatId);

// Writes the parameter file (whole or not at all). Its `filename` variable
// holds `recordedName`, or `path` when that is empty (a caller that writes
// to a temporary file first gives the final name here).
void saveParameterFile(const std::string& path, const FrameConfig& parameters, const Value& sigGenParameters,
                       const std::string& recordedName = "");

}  // namespace tolvane
