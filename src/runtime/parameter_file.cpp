#include "runtime/parameter_file.hpp"

#include "base/diagnostics.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane {

ParameterFile loadParameterFile(const std::string& path, const std::string& formatId) {
    const Record vars = readMatFile(path);
    if (!vars.has("fileParameters")) throw Error(path + "\nhas an Invalid File Format.");
    const Value& record = vars.at("fileParameters");
    if (!record.isRecord())
        throw Error(path + "\nhas an Invalid File Structure: parameters must be a record, not " +
                    kindName(record.kind()) + ".");
    if (!record.hasField("ParameterFileFormat_ID"))
        throw Error(path + "\nhas an Invalid File Structure: parameters.ParameterFileFormat_ID is missing.");
    const Value& id = record.field("ParameterFileFormat_ID");
    if (!id.isText() || id.str() != formatId) throw Error(path + "\nhas an Invalid File Parameter ID.");

    ParameterFile file;
    try {
        file.parameters = parametersFromValue(record);
    } catch (const Error& e) {
        throw Error(path + "\nhas an Invalid File Structure: " + e.what());
    }
    try {
        checkParameterRanges(file.parameters);
    } catch (const Error& e) {
        throw Error(path + "\nholds a setting the application cannot use: " + e.what());
    }
    if (vars.has("sigGenParameters")) file.sigGenParameters = vars.at("sigGenParameters");
    return file;
}

void saveParameterFile(const std::string& path, const FrameConfig& parameters, const Value& sigGenParameters,
                       const std::string& recordedName) {
    Record vars;
    vars.set("fileParameters", parametersToValue(parameters));
    vars.set("filename", Value::text(recordedName.empty() ? path : recordedName));
    vars.set("sigGenParameters", sigGenParameters);
    writeMatFile(path, vars);
}

}  // namespace tolvane
