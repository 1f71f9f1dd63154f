// The simulated signal generator: a SCPI instrument state machine that takes
// the bytes a controller sends and produces the replies. It keeps the ARB,
// RF and modulation settings, parses waveform and marker downloads strictly
// (block length, byte count, markers only after their samples), stores them
// by name, logs every command, and puts what it does not understand in its
// error queue, as an instrument does.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tolvane {

struct SimulatorOptions {
    // The *IDN? reply; the serial number (third field) begins "US".
    std::string identification = "Tolvane,Simulated Signal Generator,US00000001,1.0";
    // The largest download block taken; a larger one is skipped unread and
    // reported in the error queue.
    std::size_t maxBlockBytes = 256u << 20;
    // When set, each waveform and marker download is also written to
    // <folder>/<name>.wfm and <name>.mkr (the block's bytes).
    std::string saveFolder;
};

// A stored waveform: the bytes of its sample block (4 per sample) and of
// its marker block (1 per sample).
struct StoredWaveform {
    std::string samples;
    std::string markers;
};

// The play-back state the commands set.
struct InstrumentSettings {
    bool arbOn = false;
    std::string arbWaveform;  // the selected waveform, as "ARBI:<name>"
    double frequency = 1e9;
    double amplitude = -135;
    double sampleRate = 100e6;
    std::string bbFilter = "THROUGH";
    double runtimeScaling = 100;
    bool iqAttenuationAuto = true;
    double iqAttenuation = 0;
    bool alc = true;
    bool rfBlanking = false;
    std::string markerPolarity = "POS";
    std::string clockReference = "INT";
    std::string reconstructionFilter = "THROUGH";
    bool output = false;
    bool modulation = false;
};

class SimulatedInstrument {
public:
    explicit SimulatedInstrument(SimulatorOptions options = {});

    // Runs one command line (without its terminator); a reply, if any, is
    // appended to `replies` with its line feed.
    void execute(const std::string& line, std::string& replies);
    // Takes a :MMEM:DATA download: `target` is the quoted text before the
    // block ("WFM1:<name>" or "MKR1:<name>"), `bytes` the block.
    void store(const std::string& header, std::string bytes);

    // Adds an error to the queue (at most 32; then -350,"Queue overflow").
    void pushError(int code, const std::string& text);
    // Records a received command in the log.
    void logCommand(std::string entry);

    const InstrumentSettings& settings() const { return settings_; }
    const std::map<std::string, StoredWaveform>& waveforms() const { return waveforms_; }
    const std::vector<std::string>& log() const { return log_; }
    const std::deque<std::string>& errors() const { return errors_; }
    const SimulatorOptions& options() const { return options_; }
    // Called with every log entry as it is made.
    void setLogListener(std::function<void(const std::string&)> listener) { listener_ = std::move(listener); }

private:
    SimulatorOptions options_;
    InstrumentSettings settings_;
    std::map<std::string, StoredWaveform> waveforms_;
    std::deque<std::string> errors_;
    std::vector<std::string> log_;
    std::function<void(const std::string&)> listener_;
};

// The bytes of one connection, cut into command lines and download blocks.
// Lines are at most 4096 bytes; a block's byte count is checked against the
// instrument's limit before anything is stored.
class CommandStream {
public:
    explicit CommandStream(SimulatedInstrument& instrument) : instrument_(instrument) {}
    // Takes received bytes; replies are appended to `replies`.
    void feed(const char* data, std::size_t n, std::string& replies);
    // True while the stream is inside a download block.
    bool inBlock() const { return state_ != State::Line && state_ != State::Discard; }

private:
    enum class State { Line, Discard, BlockDigit, BlockCount, BlockBody, BlockSkip, BlockEnd };
    void blockError(const std::string& text);

    SimulatedInstrument& instrument_;
    State state_ = State::Line;
    std::string line_;
    bool inQuotes_ = false;
    std::string blockHeader_;  // the command text before '#'
    std::size_t digits_ = 0;
    std::size_t count_ = 0;
    std::size_t left_ = 0;
    std::string body_;
    bool sawCr_ = false;
};

// True when `header` (a SCPI command header, any letter case, long or short
// forms) matches `pattern`, written with the short form in capitals and
// optional nodes in brackets, for example "[:SOURce]:RADio:ARB[:STATe]".
bool scpiHeaderMatches(const std::string& pattern, const std::string& header);

}  // namespace tolvane
