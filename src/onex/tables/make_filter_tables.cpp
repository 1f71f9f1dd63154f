// Writes the source file of the stored filter designs: every ratio of
// kStoredDesignMinRatio..kStoredDesignMaxRatio, standard and ACP, each tap
// as a hexadecimal floating literal so that the stored value is the
// designed value to the last bit.
#include <cstdio>
#include <vector>

#include "onex/filter_design.hpp"

namespace {

void writeArray(std::FILE* out, const char* name, const std::vector<double>& taps) {
    std::fprintf(out, "const double %s[%zu] = {\n", name, taps.size());
    for (std::size_t i = 0; i < taps.size(); ++i) std::fprintf(out, "    %a,\n", taps[i]);
    std::fprintf(out, "};\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_filter_tables OUTPUT.cpp\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    using namespace tolvane;
    std::fprintf(out, "// Made by make_filter_tables when the library was built; do not edit.\n");
    std::fprintf(out, "#include \"onex/filter_tables.hpp\"\n\nnamespace tolvane {\n\nnamespace {\n\n");
    for (int os = kStoredDesignMinRatio; os <= kStoredDesignMaxRatio; ++os) {
        char name[32];
        std::snprintf(name, sizeof name, "kStd%d", os);
        writeArray(out, name, designFilterStd(os));
        std::snprintf(name, sizeof name, "kAcp%d", os);
        writeArray(out, name, designFilterAcp(os));
    }
    std::fprintf(out, "\nconst std::span<const double> kDesigns[][2] = {\n");
    for (int os = kStoredDesignMinRatio; os <= kStoredDesignMaxRatio; ++os)
        std::fprintf(out, "    {kStd%d, kAcp%d},\n", os, os);
    std::fprintf(out, "};\n\n}  // namespace\n\n");
    std::fprintf(out,
                 "std::span<const double> storedFilterDesign(int oversampling, bool acp) {\n"
                 "    if (oversampling < %d || oversampling > %d) return {};\n"
                 "    return kDesigns[oversampling - %d][acp ? 1 : 0];\n"
                 "}\n\n}  // namespace tolvane\n",
                 kStoredDesignMinRatio, kStoredDesignMaxRatio, kStoredDesignMinRatio);
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
