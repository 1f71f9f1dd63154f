// Adapters registering the instrument functions by name: the driver hwIO,
// the I/O operations handing their operation codes to it, the download and
// play jobs, the waveform file, the time stamp and the corrections.
#include <cmath>

#include "instrument/corrections.hpp"
#include "instrument/driver.hpp"
#include "instrument/jobs.hpp"
#include "instrument/waveform_file.hpp"
#include "base/diagnostics.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/library.hpp"

namespace tolvane {

namespace {

void setPair(Call& c, const IoResult& r) {
    c.setOut(0, Value::scalar(r.status));
    c.setOut(1, Value::text(r.response));
}

// Copies the driver's two results (the status and the text) to the
// caller's outputs; what the driver left unset stays unset.
void passPair(Call& c, std::vector<Value> out) {
    c.setOut(0, std::move(out.at(0)));
    if (out.size() > 1 && out[1].isSet()) c.setOut(1, std::move(out[1]));
}

const Value& textInput(const Call& c, std::size_t i) {
    const Value& v = c.in(i);
    if (!v.isText() && !v.isEmpty())
        throw Error("\"" + inputName(c, i) + "\" must be text, not " + kindName(v.kind()) + ".");
    return v;
}

std::string textOf(const Call& c, std::size_t i) {
    const Value& v = textInput(c, i);
    return v.isText() ? v.str() : std::string();
}

MarkerMatrix markersFromValue(const Value& v) {
    MarkerMatrix m;
    if (!v.isSet() || v.numel() == 0) return m;
    m.rows = v.rows();
    m.cols = v.cols();
    m.data = valueReal(v, "markers");
    return m;
}

// The driver: hwIO(code, rec, operands...).
void hwIOBody(Call& c) {
    const std::vector<Value>& in = c.varargin();
    if (in.size() < 2) throw Error("hwIO needs an operation code and a connection record.");
    const double code = valueScalar(in[0], "code");
    const Connection conn = connectionFromValue(in[1]);
    Driver& d = instrumentDriver();
    auto operand = [&](std::size_t i, const char* name) -> const Value& {
        if (i >= in.size() || !in[i].isSet()) throw Error("hwIO operation " + numberText(code) + " needs its " + name + ".");
        return in[i];
    };
    auto text = [&](std::size_t i, const char* name) {
        const Value& v = operand(i, name);
        if (v.isEmpty()) return std::string();
        if (!v.isText()) throw Error(std::string("The ") + name + " of hwIO must be text.");
        return v.str();
    };
    IoResult r;
    if (code == 1) r = d.ping(conn);
    else if (code == 2) r = d.send(conn, text(2, "command"));
    else if (code == 3) r = d.query(conn, text(2, "query"));
    else if (code == 4)
        r = d.download(conn, valueComplex(operand(2, "data"), "data"), markersFromValue(operand(3, "markers")),
                       text(6, "file name"));
    else if (code == 5) r = d.returnLocal(conn);
    else if (code == 50) r = d.setTimeout(conn, valueScalar(operand(2, "time-out"), "time-out"));
    else r = {kIoBadRequest, "hwIO has no operation " + numberText(code) + "."};
    setPair(c, r);
}

// Each operation: normalise the record, then hand the operation code and
// the operands to hwIO by name.
void forward(Call& c, double code, std::vector<Value> operands) {
    std::vector<Value> args{Value::scalar(code), formatConfig(c.in(0))};
    for (Value& v : operands) args.push_back(std::move(v));
    passPair(c, callByName("hwIO", 2, std::move(args)));
}

void downloadWrapBody(Call& c) {
    const Value& config = c.in(3);
    const Connection conn = connectionFromValue(config);
    const std::vector<cplx> iq = argComplex(c, 0);
    const Value& markers = c.in(1);
    const std::string name = textOf(c, 2);
    double segments = 1;
    if (!c.varargin().empty()) segments = valueScalar(c.varargin()[0], "num_wfm_segments");
    ByNameIo io(config);
    io.setDownloadValues(c.in(0), markers);
    setPair(c, downloadJob(io, conn, iq, markersFromValue(markers), name, segments, downloadQuestion()));
}

void playBody(Call& c, bool current) {
    const std::string name = textOf(c, 0);
    const SigGenSettings s = sigGenSettingsFromValue(c.in(1), !current);
    const Connection conn = connectionFromValue(c.in(2));
    ByNameIo io(c.in(2));
    setPair(c, playJob(io, conn, current ? playCommands_c(name, s) : playCommands(name, s)));
}

Value sameShape(const Value& like, std::vector<cplx> data) {
    Value v = Value::complexMatrix(like.rows(), like.cols(), std::move(data));
    v.simplify();
    return v;
}

void correctionBody(Call& c, bool iqCorrection) {
    const std::vector<cplx> s = argComplex(c, 0);
    Corrected r;
    try {
        const CorrectionRecord rec = correctionRecordFromValue(c.in(1));
        const double rate = argScalar(c, 2);
        r = iqCorrection ? applyIqCorrection(s, rec, rate) : applyRfChannelCorrection(s, rec, rate);
    } catch (const std::exception& e) {
        r = {s, e.what()};
    }
    c.setOut(0, sameShape(c.in(0), std::move(r.waveform)));
    c.setOut(1, r.status.empty() ? Value::empty() : Value::text(r.status));
}

}  // namespace

void registerInstrument(Registry& reg) {
    define(reg, "hwIO", -1, 2, {}, {"status", "response"}, hwIOBody);
    define(reg, "formatconfig", 1, 1, {"config_in"}, {"config_out"},
           [](Call& c) { c.setOut(0, formatConfig(c.in(0))); });
    define(reg, "hwPing", 1, 2, {"config"}, {"status", "response"}, [](Call& c) { forward(c, 1, {}); });
    define(reg, "hwSend", 2, 2, {"config", "command"}, {"status", "response"},
           [](Call& c) { forward(c, 2, {textInput(c, 1)}); });
    define(reg, "hwQuery", 2, 2, {"config", "query"}, {"status", "response"},
           [](Call& c) { forward(c, 3, {textInput(c, 1)}); });
    define(reg, "hwDownload", 6, 2, {"config", "data", "markers", "mode", "scale", "filename"}, {"status", "response"},
           [](Call& c) {
               // The driver always receives "norm" and 1, whatever was passed.
               forward(c, 4, {c.in(1), c.in(2), Value::text("norm"), Value::scalar(1), textInput(c, 5)});
           });
    define(reg, "hwReturnLocal", 1, 2, {"config"}, {"status", "response"}, [](Call& c) { forward(c, 5, {}); });
    define(reg, "hwSetTimeout", 2, 2, {"config", "timeOutValue"}, {"status", "response"},
           [](Call& c) { forward(c, 50, {c.in(1)}); });
    define(reg, "VerifyComm", 1, 2, {"config"}, {"status", "description"},
           [](Call& c) { passPair(c, callByName("hwPing", 2, {c.in(0)})); });

    define(reg, "KLTDownLoadWrap", -6, 2, {"IQData", "Marker", "Filename", "config", "input5"},
           {"status", "description"}, downloadWrapBody);
    define(reg, "KLTPlay_c", 4, 2, {"FileName", "setting", "config", "input4"}, {"status", "description"},
           [](Call& c) { playBody(c, true); });
    define(reg, "KLTPlay", 4, 2, {"FileName", "setting", "config", "input4"}, {"status", "description"},
           [](Call& c) { playBody(c, false); });
    define(reg, "saveIronmothWaveform", -1, 1, {}, {"success"}, [](Call& c) {
        const std::vector<Value>& in = c.varargin();
        bool ok = false;
        if (in.size() >= 1 && in.size() <= 3) {
            try {
                std::string file = "KLT-C";
                if (in.size() >= 2) {
                    if (!in[1].isText()) throw Error("The file name must be text.");
                    file = in[1].str();
                }
                const double scale = in.size() == 3 ? valueScalar(in[2], "scale") : 1.0;
                writeInstrumentWaveformFile(file, valueComplex(in[0], "waveform"), scale);
                ok = true;
            } catch (const std::exception& e) {
                warn(e.what());
            }
        }
        c.setOut(0, Value::scalar(ok ? 1 : 0));
    });
    define(reg, "clock2str", 1, 1, {"clkVector"}, {"timestampString"},
           [](Call& c) { c.setOut(0, Value::text(clock2str(argReal(c, 0)))); });

    define(reg, "GetCorrectionData", 1, 3, {"f"}, {"status", "x", "noFlatness"}, [](Call& c) {
        const Value config = library().globals().get("configuration");
        if (!config.isSet()) throw RuntimeError(uninitialisedMessage("configuration", "GetCorrectionData"));
        ByNameIo io(config);
        const LoadedCorrections r = getCorrectionData(io, connectionFromValue(config), argScalar(c, 0),
                                                      correctionFolder());
        c.setOut(0, r.status.empty() ? Value::empty() : Value::text(r.status));
        c.setOut(1, r.records);
        c.setOut(2, Value::scalar(0));
    });
    define(reg, "LoadKltIqCorrectionData", 1, 2, {"fileName"}, {"x", "status"}, [](Call& c) {
        const LoadedCorrections r = loadKltIqCorrectionData(textOf(c, 0));
        c.setOut(0, r.records);
        c.setOut(1, r.status.empty() ? Value::empty() : Value::text(r.status));
    });
    define(reg, "ApplyIqCorrection", 3, 2, {"s", "c", "sR"}, {"x", "status"}, [](Call& c) { correctionBody(c, true); });
    define(reg, "ApplyRfChannelCorrection", 3, 2, {"s", "c", "sR"}, {"x", "status"},
           [](Call& c) { correctionBody(c, false); });
    define(reg, "applyDacRes", 2, 1, {"wave", "numBits"}, {"resWave"}, [](Call& c) {
        const Value& wave = c.in(0);
        c.setOut(0, sameShape(wave, applyDacRes(argComplex(c, 0), argScalar(c, 1))));
    });
}

}  // namespace tolvane
