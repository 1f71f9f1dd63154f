// The options of tolvane generate, shared by every command that builds a
// waveform first (generate, download).
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "session/generate_job.hpp"

namespace tolvane::cli {

// The options of tolvane generate, into `options`; the texts that need
// checking after parsing go to the others.
struct GenerateTexts {
    std::string params, dataFile, saveParams, seed, fillPackets, sigmfDatatype;
    CLI::Option* seedOption = nullptr;
    CLI::Option* sigmfDatatypeOption = nullptr;
    int carriers = 0;
    double carrierSpacing = 0;
    CLI::Option* carriersOption = nullptr;
    CLI::Option* carrierSpacingOption = nullptr;
};
void addGenerateOptions(CLI::App& app, GenerateOptions& options, GenerateTexts& texts, bool outRequired);
// Completes `options` from the texts; false (message printed) on bad input.
bool finishGenerateOptions(const char* command, GenerateOptions& options, const GenerateTexts& texts);
// A "--set" followed by an option word: false (message printed).
bool checkSetValues(const char* command, int argc, char** argv);

}  // namespace tolvane::cli
