// The instrument records as values (the `configuration` connection record,
// the `SigGenSettings` record, correction records), the instrument
// operations by name, and the correction files read through the MAT reader.
#pragma once

#include <string>
#include <vector>

#include "instrument/connection.hpp"
#include "instrument/corrections.hpp"
#include "instrument/jobs.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// The start-up connection record (type "GPIB", all three bus sub-records,
// BBGtype "002", LastParameterFilename empty).
Value defaultConnectionValue();
// The typed record from a value; fields that are absent keep their
// defaults. Throws Error naming a field of the wrong kind.
Connection connectionFromValue(const Value& record);
Value connectionToValue(const Connection& c);
// `formatconfig`: the bus numbers rounded to whole numbers in the 32-bit
// range (NaN gives 0); everything else unchanged.
Value formatConfig(Value record);

// The settings record as the play job reads it. Throws Error naming a
// missing or non-numeric field (ReconFilter is needed only when
// `needReconFilter`).
SigGenSettings sigGenSettingsFromValue(const Value& record, bool needReconFilter);
// The settings record: Title, then the numeric fields in the order of the
// defaults; ReconFilter last, only when `withReconFilter`.
Value sigGenSettingsToValue(const SigGenSettings& s, bool withReconFilter);

// The six operations by name (hwSend, hwQuery, ...) with one connection
// record value, for the jobs called by name. Each result pair comes from
// the registered function; an unset status counts as a failure.
class ByNameIo : public InstrumentIo {
public:
    explicit ByNameIo(Value config) : config_(std::move(config)) {}
    // Values handed to hwDownload unchanged in place of the typed ones.
    void setDownloadValues(Value data, Value markers) {
        data_ = std::move(data);
        markers_ = std::move(markers);
    }

    IoResult ping(const Connection& c) override;
    IoResult send(const Connection& c, std::string_view command) override;
    IoResult query(const Connection& c, std::string_view query) override;
    IoResult download(const Connection& c, const std::vector<std::complex<double>>& iq, const MarkerMatrix& markers,
                      const std::string& name) override;
    IoResult returnLocal(const Connection& c) override;
    IoResult setTimeout(const Connection& c, double milliseconds) override;

private:
    Value config_;
    Value data_;
    Value markers_;
};

// The question of a long serial download when the job runs by name; the
// windows connect their dialog here. Without one the answer is "Cancel",
// the dialog's default button.
void setDownloadQuestion(QuestionCallback question);
const QuestionCallback& downloadQuestion();

// Correction files (`LoadKltIqCorrectionData`): the records as loaded and
// the status (empty, or "File empty or not found.", "Invalid file format.",
// "Invalid data structure.", or the reader's error text).
struct LoadedCorrections {
    Value records;
    std::string status;
};
LoadedCorrections loadKltIqCorrectionData(const std::string& fileName);
// The records of a loaded correction value (a record, or a cell of them).
std::vector<CorrectionRecord> correctionRecordsFromValue(const Value& x);
CorrectionRecord correctionRecordFromValue(const Value& record);

// `GetCorrectionData`: the instrument's identification by *IDN?, the file
// name from its serial number and the frequency in `folder`, the records.
// A failed query leaves the records empty with the reply text as status.
// Throws Error when the identification holds no serial number.
LoadedCorrections getCorrectionData(InstrumentIo& io, const Connection& c, double frequency,
                                    const std::string& folder);

}  // namespace tolvane
