// tolvane generate: parses the options and runs the generate job.
#include <iostream>

#include "commands.hpp"
#include "parse_options.hpp"
#include "generate_options.hpp"

namespace tolvane::cli {

int runGenerate(int argc, char** argv) {
    CLI::App app{"Generates one forward-link frame and writes it to a file.", "tolvane generate"};
    GenerateOptions options;
    GenerateTexts texts;
    addGenerateOptions(app, options, texts, true);
    if (!checkSetValues("generate", argc, argv)) return 2;
    if (const auto status = parseOptions(app, argc, argv)) return *status;
    if (!finishGenerateOptions("generate", options, texts)) return 2;
    return runGenerateJob(options, std::cout, std::cerr);
}

}  // namespace tolvane::cli
