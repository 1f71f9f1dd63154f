#include "runtime/instrument_values.hpp"

#include <cmath>
#include <limits>

#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"
#include "runtime/library.hpp"
#include "runtime/mat_file.hpp"

namespace tolvane {

namespace {

int wholeNumber(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= 2147483647.0) return std::numeric_limits<int>::max();
    if (r <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

int intField(const Value& sub, const char* field, const std::string& path, int fallback) {
    if (!sub.hasField(field)) return fallback;
    return wholeNumber(valueScalar(sub.field(field), path + "." + field));
}

std::string textField(const Value& sub, const char* field, const std::string& path, const std::string& fallback) {
    if (!sub.hasField(field)) return fallback;
    const Value& v = sub.field(field);
    if (v.isText()) return v.str();
    if (v.isEmpty()) return "";
    throw Error("\"" + path + "." + field + "\" must be text, not " + kindName(v.kind()) + ".");
}

void roundField(Value& sub, const char* field) {
    if (!sub.hasField(field)) return;
    Value& v = sub.field(field);
    if (!v.isNumeric()) return;
    std::vector<double> data = valueReal(v, field);
    for (double& x : data) x = wholeNumber(x);
    v = Value::matrix(v.rows(), v.cols(), std::move(data));
}

IoResult resultOf(const std::vector<Value>& out, const char* function) {
    IoResult r;
    const Value& status = out.at(0);
    if (!status.isNumeric() || status.numel() == 0) {
        r.status = -1;
        r.response = std::string(function) + " returned no status.";
    } else {
        r.status = wholeNumber(status.realAt(0));
        if (r.status == 0 && status.realAt(0) != 0) r.status = -1;
    }
    if (out.size() > 1 && out[1].isText()) r.response = out[1].str();
    return r;
}

QuestionCallback& questionSlot() {
    static QuestionCallback q;
    return q;
}

}  // namespace

Value defaultConnectionValue() {
    Value v = connectionToValue(Connection{});
    v.setField("BBGtype", Value::text("002"));
    v.setField("LastParameterFilename", Value::empty());
    return v;
}

Connection connectionFromValue(const Value& record) {
    if (!record.isRecord())
        throw Error("The connection record must be a record, not " + std::string(kindName(record.kind())) + ".");
    Connection c;
    c.type = textField(record, "type", "config", c.type);
    if (record.hasField("GPIB")) {
        const Value& g = record.field("GPIB");
        c.gpib.board = intField(g, "board", "config.GPIB", c.gpib.board);
        c.gpib.primary = intField(g, "primary", "config.GPIB", c.gpib.primary);
        c.gpib.secondary = intField(g, "secondary", "config.GPIB", c.gpib.secondary);
    }
    if (record.hasField("RS232")) {
        const Value& s = record.field("RS232");
        c.rs232.port = intField(s, "port", "config.RS232", c.rs232.port);
        c.rs232.baudrate = intField(s, "baudrate", "config.RS232", c.rs232.baudrate);
        c.rs232.handshake = textField(s, "handshake", "config.RS232", c.rs232.handshake);
    }
    if (record.hasField("TCPIP")) {
        const Value& t = record.field("TCPIP");
        c.tcpip.address = textField(t, "address", "config.TCPIP", c.tcpip.address);
        c.tcpip.board = intField(t, "board", "config.TCPIP", c.tcpip.board);
    }
    return c;
}

Value connectionToValue(const Connection& c) {
    Record gpib, rs232, tcpip, r;
    gpib.set("board", Value::scalar(c.gpib.board));
    gpib.set("primary", Value::scalar(c.gpib.primary));
    gpib.set("secondary", Value::scalar(c.gpib.secondary));
    rs232.set("port", Value::scalar(c.rs232.port));
    rs232.set("baudrate", Value::scalar(c.rs232.baudrate));
    rs232.set("handshake", Value::text(c.rs232.handshake));
    tcpip.set("address", Value::text(c.tcpip.address));
    tcpip.set("board", Value::scalar(c.tcpip.board));
    r.set("type", Value::text(c.type));
    r.set("GPIB", Value::record(std::move(gpib)));
    r.set("RS232", Value::record(std::move(rs232)));
    r.set("TCPIP", Value::record(std::move(tcpip)));
    return Value::record(std::move(r));
}

Value formatConfig(Value record) {
    if (record.hasField("GPIB") && record.field("GPIB").isRecord()) {
        Value& g = record.field("GPIB");
        roundField(g, "board");
        roundField(g, "primary");
        roundField(g, "secondary");
    }
    if (record.hasField("RS232") && record.field("RS232").isRecord()) {
        Value& s = record.field("RS232");
        roundField(s, "port");
        roundField(s, "baudrate");
    }
    if (record.hasField("TCPIP") && record.field("TCPIP").isRecord()) roundField(record.field("TCPIP"), "board");
    return record;
}

Value sigGenSettingsToValue(const SigGenSettings& s, bool withReconFilter) {
    struct Field {
        const char* name;
        double SigGenSettings::*member;
    };
    static constexpr Field kNumeric[] = {
        {"Frequency", &SigGenSettings::Frequency},       {"Amplitude", &SigGenSettings::Amplitude},
        {"OverSampling", &SigGenSettings::OverSampling}, {"SamplingRate", &SigGenSettings::SamplingRate},
        {"BBfilter", &SigGenSettings::BBfilter},         {"Scaling", &SigGenSettings::Scaling},
        {"ModAtten", &SigGenSettings::ModAtten},         {"RFblanking", &SigGenSettings::RFblanking},
        {"ALC", &SigGenSettings::ALC},                   {"ArbRefSource", &SigGenSettings::ArbRefSource},
        {"MarkerPolarity", &SigGenSettings::MarkerPolarity},
    };
    Record r;
    r.set("Title", Value::text(s.Title));
    for (const Field& f : kNumeric) r.set(f.name, Value::scalar(s.*f.member));
    if (withReconFilter) r.set("ReconFilter", Value::scalar(s.ReconFilter));
    return Value::record(std::move(r));
}

SigGenSettings sigGenSettingsFromValue(const Value& record, bool needReconFilter) {
    if (!record.isRecord())
        throw Error("The settings must be a record, not " + std::string(kindName(record.kind())) + ".");
    SigGenSettings s;
    auto number = [&](const char* field, double& out, bool needed) {
        if (!record.hasField(field)) {
            if (needed) throw Error("The settings record has no field \"" + std::string(field) + "\".");
            return;
        }
        out = valueScalar(record.field(field), std::string("setting.") + field);
    };
    if (record.hasField("Title") && record.field("Title").isText()) s.Title = record.field("Title").str();
    number("Frequency", s.Frequency, true);
    number("Amplitude", s.Amplitude, true);
    number("OverSampling", s.OverSampling, false);
    number("SamplingRate", s.SamplingRate, true);
    number("BBfilter", s.BBfilter, !needReconFilter);
    number("Scaling", s.Scaling, !needReconFilter);
    number("ModAtten", s.ModAtten, !needReconFilter);
    number("RFblanking", s.RFblanking, true);
    number("ALC", s.ALC, !needReconFilter);
    number("ArbRefSource", s.ArbRefSource, true);
    number("MarkerPolarity", s.MarkerPolarity, true);
    number("ReconFilter", s.ReconFilter, needReconFilter);
    return s;
}

IoResult ByNameIo::ping(const Connection&) { return resultOf(callByName("hwPing", 2, {config_}), "hwPing"); }

IoResult ByNameIo::send(const Connection&, std::string_view command) {
    return resultOf(callByName("hwSend", 2, {config_, Value::text(std::string(command))}), "hwSend");
}

IoResult ByNameIo::query(const Connection&, std::string_view q) {
    return resultOf(callByName("hwQuery", 2, {config_, Value::text(std::string(q))}), "hwQuery");
}

IoResult ByNameIo::download(const Connection&, const std::vector<std::complex<double>>& iq,
                            const MarkerMatrix& markers, const std::string& name) {
    Value data = data_.isSet() ? data_ : complexResult(iq);
    Value marks = markers_.isSet() ? markers_ : Value::matrix(markers.rows, markers.cols, markers.data);
    return resultOf(callByName("hwDownload", 2,
                               {config_, std::move(data), std::move(marks), Value::text("norm"), Value::scalar(1),
                                Value::text(name)}),
                    "hwDownload");
}

IoResult ByNameIo::returnLocal(const Connection&) {
    return resultOf(callByName("hwReturnLocal", 2, {config_}), "hwReturnLocal");
}

IoResult ByNameIo::setTimeout(const Connection&, double milliseconds) {
    return resultOf(callByName("hwSetTimeout", 2, {config_, Value::scalar(milliseconds)}), "hwSetTimeout");
}

void setDownloadQuestion(QuestionCallback question) { questionSlot() = std::move(question); }
const QuestionCallback& downloadQuestion() { return questionSlot(); }

LoadedCorrections loadKltIqCorrectionData(const std::string& fileName) {
    LoadedCorrections out{Value::empty(), ""};
    Record content;
    try {
        content = readMatFile(fileName);
    } catch (const std::exception& e) {
        out.status = e.what();
    }
    if (content.size() == 0) {
        if (out.status.empty()) out.status = "File empty or not found.";
        return out;
    }
    if (!content.has("KltIqCorrectionData")) {
        out.status = "Invalid file format.";
        return out;
    }
    out.records = content.at("KltIqCorrectionData");
    std::vector<const Value*> records;
    if (out.records.isRecord()) records.push_back(&out.records);
    else if (out.records.isCell())
        for (const Value& v : out.records.cells()) records.push_back(&v);
    if (records.empty()) out.status = "Invalid data structure.";
    for (const Value* r : records) {
        bool ok = r->isRecord() && r->hasField("rev") && r->field("rev").isReal() && r->field("rev").numel() == 1;
        if (ok) {
            const double rev = r->field("rev").realAt(0);
            std::vector<const char*> need;
            if (rev == 3) need = {"t1", "t2", "t3", "fbc", "bc", "cbc", "image", "rfChannel"};
            else if (rev == 2) need = {"rfChannel"};
            else if (rev != 1) ok = false;
            for (const char* f : need) ok = ok && r->hasField(f);
            for (const char* f : {"rev", "F", "H", "ID", "date", "fltr", "modAttn", "cf", "bw", "pwr"})
                ok = ok && r->hasField(f);
        }
        if (!ok) out.status = "Invalid data structure.";
    }
    return out;
}

CorrectionRecord correctionRecordFromValue(const Value& r) {
    if (!r.isRecord()) throw Error("A correction record must be a record, not " + std::string(kindName(r.kind())) + ".");
    CorrectionRecord c;
    c.rev = valueScalar(r.field("rev"), "c.rev");
    c.F = valueReal(r.field("F"), "c.F");
    c.H = valueComplex(r.field("H"), "c.H");
    if (r.hasField("rfChannel")) c.rfChannel = valueComplex(r.field("rfChannel"), "c.rfChannel");
    return c;
}

std::vector<CorrectionRecord> correctionRecordsFromValue(const Value& x) {
    std::vector<CorrectionRecord> out;
    if (x.isRecord()) out.push_back(correctionRecordFromValue(x));
    else if (x.isCell())
        for (const Value& v : x.cells()) out.push_back(correctionRecordFromValue(v));
    return out;
}

LoadedCorrections getCorrectionData(InstrumentIo& io, const Connection& c, double frequency,
                                    const std::string& folder) {
    const IoResult id = io.query(c, "*IDN?");
    if (!id.ok()) return {Value::empty(), id.response.empty() ? "The instrument did not identify itself." : id.response};
    return loadKltIqCorrectionData(correctionFileName(folder, id.response, frequency));
}

}  // namespace tolvane
