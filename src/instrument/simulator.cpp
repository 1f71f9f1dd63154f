#include "instrument/simulator.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "instrument/jobs.hpp"
#include "instrument/scpi_block.hpp"
#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxErrors = 32;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    const std::size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

struct Node {
    std::string full;   // upper case
    std::string brief;  // the short form, upper case
    bool optional = false;
};

std::vector<Node> parsePattern(const std::string& pattern) {
    std::vector<Node> nodes;
    std::size_t i = 0;
    while (i < pattern.size()) {
        bool optional = false;
        if (pattern[i] == '[') {
            optional = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] == ':') ++i;
        Node n;
        n.optional = optional;
        while (i < pattern.size() && pattern[i] != ':' && pattern[i] != '[' && pattern[i] != ']') {
            const char ch = pattern[i++];
            if (std::isupper(static_cast<unsigned char>(ch)) || ch == '*' || std::isdigit(static_cast<unsigned char>(ch)))
                n.brief.push_back(ch);
            n.full.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
        }
        if (i < pattern.size() && pattern[i] == ']') ++i;
        nodes.push_back(std::move(n));
    }
    return nodes;
}

bool matchNodes(const std::vector<Node>& p, std::size_t pi, const std::vector<std::string>& h, std::size_t hi) {
    if (pi == p.size()) return hi == h.size();
    if (p[pi].optional && matchNodes(p, pi + 1, h, hi)) return true;
    return hi < h.size() && (h[hi] == p[pi].full || h[hi] == p[pi].brief) && matchNodes(p, pi + 1, h, hi + 1);
}

// A number with an optional unit: Hz, kHz, MHz, GHz, dBm, dB (any case).
bool parseQuantity(const std::string& text, double& value) {
    const std::string t = trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    value = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(value)) return false;
    const std::string unit = upper(trim(end));
    if (unit.empty() || unit == "HZ" || unit == "DBM" || unit == "DB") return true;
    if (unit == "KHZ") value *= 1e3;
    else if (unit == "MHZ") value *= 1e6;
    else if (unit == "GHZ") value *= 1e9;
    else return false;
    return true;
}

bool parseBool(const std::string& text, bool& value) {
    const std::string t = upper(trim(text));
    if (t == "ON" || t == "1") value = true;
    else if (t == "OFF" || t == "0") value = false;
    else return false;
    return true;
}

// One of the choices (long forms, short form in capitals), given in any
// case and either form; the long form in upper case goes to `value`.
bool parseChoice(const std::string& text, std::initializer_list<const char*> choices, std::string& value) {
    const std::vector<std::string> h = {upper(trim(text))};
    for (const char* c : choices)
        if (matchNodes(parsePattern(c), 0, h, 0)) {
            value = upper(c);
            return true;
        }
    return false;
}

std::string number(double v) { return decimalText(v); }

// The quoted text at the start of `args`, or false.
bool quotedArgument(const std::string& args, std::string& text, std::size_t* after = nullptr) {
    const std::string t = trim(args);
    if (t.size() < 2 || (t[0] != '"' && t[0] != '\'')) return false;
    const std::size_t close = t.find(t[0], 1);
    if (close == std::string::npos) return false;
    text = t.substr(1, close - 1);
    if (after) *after = close + 1;
    return trim(t.substr(close + 1)).empty() || after;
}

// File name for a stored waveform: unusual characters replaced.
std::string fileNameFor(const std::string& name) {
    std::string out;
    for (char ch : name)
        out.push_back(std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '_' || ch == '.' || ch == ' '
                          ? ch
                          : '_');
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

}  // namespace

bool scpiHeaderMatches(const std::string& pattern, const std::string& header) {
    std::string h = upper(header);
    if (!h.empty() && h.back() == '?') h.pop_back();
    if (!h.empty() && h[0] == ':') h.erase(0, 1);
    std::vector<std::string> nodes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = h.find(':', start);
        nodes.push_back(h.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return matchNodes(parsePattern(pattern), 0, nodes, 0);
}

SimulatedInstrument::SimulatedInstrument(SimulatorOptions options) : options_(std::move(options)) {}

void SimulatedInstrument::pushError(int code, const std::string& text) {
    if (errors_.size() >= kMaxErrors) {
        errors_.back() = "-350,\"Queue overflow\"";
        return;
    }
    errors_.push_back((code > 0 ? "+" : "") + std::to_string(code) + ",\"" + text + "\"");
}

void SimulatedInstrument::logCommand(std::string entry) {
    if (listener_) listener_(entry);
    log_.push_back(std::move(entry));
}

void SimulatedInstrument::execute(const std::string& rawLine, std::string& replies) {
    const std::string line = trim(rawLine);
    if (line.empty()) return;
    logCommand(line);
    const std::size_t space = line.find_first_of(" \t");
    const std::string header = line.substr(0, space);
    const std::string args = space == std::string::npos ? "" : trim(line.substr(space));
    const bool isQuery = header.back() == '?';
    auto reply = [&](const std::string& text) { replies += text + "\n"; };
    auto illegal = [&] { pushError(-224, "Illegal parameter value"); };
    InstrumentSettings& s = settings_;

    const std::string H = upper(header);
    if (H == "*IDN?") return reply(options_.identification);
    if (H == "*OPC?") return reply("1");
    if (H == "*OPC" || H == "*WAI") return;
    if (H == "*CLS") {
        errors_.clear();
        return;
    }
    if (H == "*RST") {
        s = InstrumentSettings{};
        return;
    }
    if (H == "*ESR?" || H == "*STB?") return reply("0");

    auto match = [&](const char* pattern) { return scpiHeaderMatches(pattern, header); };
    auto boolSetting = [&](bool& field) {
        if (isQuery) return reply(field ? "1" : "0");
        if (!parseBool(args, field)) illegal();
    };
    auto numberSetting = [&](double& field) {
        if (isQuery) return reply(number(field));
        double v = 0;
        if (parseQuantity(args, v)) field = v;
        else illegal();
    };
    auto choiceSetting = [&](std::string& field, std::initializer_list<const char*> choices) {
        if (isQuery) return reply(field);
        if (!parseChoice(args, choices, field)) illegal();
    };

    if (match(":SYSTem:ERRor[:NEXT]") && isQuery) {
        if (errors_.empty()) return reply("+0,\"No error\"");
        const std::string e = errors_.front();
        errors_.pop_front();
        return reply(e);
    }
    if (match("[:SOURce]:RADio:ARB[:STATe]")) return boolSetting(s.arbOn);
    if (match("[:SOURce]:RADio:ARB:WAVeform")) {
        if (isQuery) return reply("\"" + s.arbWaveform + "\"");
        std::string target;
        if (!quotedArgument(args, target)) return illegal();
        const std::string prefix = upper(target.substr(0, 5));
        const std::string name = target.size() > 5 ? target.substr(5) : "";
        if ((prefix != "ARBI:" && prefix != "WFM1:") || !waveforms_.count(name))
            return pushError(-256, "File name not found; " + target);
        s.arbWaveform = "ARBI:" + name;
        return;
    }
    if (match("[:SOURce]:FREQuency[:CW]") || match("[:SOURce]:FREQuency:FIXed")) return numberSetting(s.frequency);
    if (match("[:SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]")) return numberSetting(s.amplitude);
    if (match("[:SOURce]:RADio:ARB:SCLock:RATE") || match("[:SOURce]:RADio:ARB:CLOCk:SRATe"))
        return numberSetting(s.sampleRate);
    if (match("[:SOURce]:DM:BBFilter")) {
        if (isQuery) return reply(s.bbFilter);
        double v = 0;
        if (parseQuantity(args, v) && (v == 2.1e6 || v == 40e6)) s.bbFilter = number(v);
        else if (!parseChoice(args, {"THRough"}, s.bbFilter)) illegal();
        return;
    }
    if (match("[:SOURce]:RADio:ARB:RSCaling")) return numberSetting(s.runtimeScaling);
    if (match("[:SOURce]:DM:IQATtenuation:AUTO")) return boolSetting(s.iqAttenuationAuto);
    if (match("[:SOURce]:DM:IQATtenuation[:LEVel]")) {
        if (!isQuery) s.iqAttenuationAuto = false;
        return numberSetting(s.iqAttenuation);
    }
    if (match("[:SOURce]:POWer:ALC[:STATe]")) return boolSetting(s.alc);
    if (match("[:SOURce]:RADio:ARB:MARKer:RFBLank")) return boolSetting(s.rfBlanking);
    if (match("[:SOURce]:RADio:ARB:MARKer:POLarity"))
        return choiceSetting(s.markerPolarity, {"POSitive", "NEGative"});
    if (match("[:SOURce]:RADio:ARB:CLOCk:REFerence"))
        return choiceSetting(s.clockReference, {"INTernal", "EXTernal"});
    if (match("[:SOURce]:RADio:ARB:RFILter")) {
        if (isQuery) return reply(s.reconstructionFilter);
        double v = 0;
        if (parseQuantity(args, v) && (v == 250e3 || v == 2.5e6 || v == 8e6)) s.reconstructionFilter = number(v);
        else if (!parseChoice(args, {"THRough"}, s.reconstructionFilter)) illegal();
        return;
    }
    if (match(":OUTPut[:STATe]")) return boolSetting(s.output);
    if (match(":OUTPut:MODulation[:STATe]")) return boolSetting(s.modulation);
    if (match(":MMEMory:DATA")) {
        if (!isQuery) return pushError(-161, "Invalid block data; a download needs a definite-length block");
        std::string target;
        if (!quotedArgument(args, target)) return illegal();
        const std::string prefix = upper(target.substr(0, 5));
        const auto it = waveforms_.find(target.size() > 5 ? target.substr(5) : "");
        if ((prefix != "WFM1:" && prefix != "MKR1:") || it == waveforms_.end())
            return pushError(-256, "File name not found; " + target);
        const std::string& bytes = prefix == "WFM1:" ? it->second.samples : it->second.markers;
        return reply(blockHeader(bytes.size()) + bytes);
    }
    pushError(-113, "Undefined header; " + shownText(header));
}

void SimulatedInstrument::store(const std::string& command, std::string bytes) {
    // command: ":MMEM:DATA \"WFM1:<name>\","
    const std::size_t space = command.find_first_of(" \t");
    const std::string header = command.substr(0, space);
    std::string rest = space == std::string::npos ? "" : trim(command.substr(space));
    logCommand(command + blockHeader(bytes.size()) + "<" + std::to_string(bytes.size()) + " bytes>");
    if (!scpiHeaderMatches(":MMEMory:DATA", header) || header.back() == '?')
        return pushError(-113, "Undefined header; " + shownText(header));
    std::string target;
    std::size_t after = 0;
    if (!quotedArgument(rest, target, &after) || trim(rest.substr(after)) != ",")
        return pushError(-161, "Invalid block data; expected \"WFM1:<name>\", or \"MKR1:<name>\", before the block");
    const std::string prefix = upper(target.substr(0, 5));
    const std::string name = target.size() > 5 ? target.substr(5) : "";
    if (name.empty() || (prefix != "WFM1:" && prefix != "MKR1:"))
        return pushError(-256, "File name not found; " + shownText(target));
    std::string ext;
    if (prefix == "WFM1:") {
        if (bytes.empty() || bytes.size() % 4 != 0)
            return pushError(-161, "Invalid block data; waveform of " + std::to_string(bytes.size()) +
                                       " bytes is not 4 bytes per sample");
        StoredWaveform& w = waveforms_[name];
        // A new waveform resets the markers of its name.
        w.markers.assign(bytes.size() / 4, '\0');
        w.samples = std::move(bytes);
        ext = ".wfm";
    } else {
        const auto it = waveforms_.find(name);
        if (it == waveforms_.end())
            return pushError(-221, "Settings conflict; markers for \"" + shownText(name) + "\" before its samples");
        const std::size_t samples = it->second.samples.size() / 4;
        if (bytes.size() != samples)
            return pushError(-161, "Invalid block data; " + std::to_string(bytes.size()) + " marker bytes for " +
                                       std::to_string(samples) + " samples");
        for (unsigned char b : bytes)
            if (b & ~3u) return pushError(-161, "Invalid block data; marker byte with bits other than 0 and 1");
        it->second.markers = std::move(bytes);
        ext = ".mkr";
    }
    if (!options_.saveFolder.empty()) {
        const StoredWaveform& w = waveforms_.at(name);
        try {
            writeFileAtomically((std::filesystem::path(options_.saveFolder) / (fileNameFor(name) + ext)).string(),
                                ext == ".wfm" ? w.samples : w.markers);
        } catch (const Error& e) {
            pushError(-250, std::string("Mass storage error; ") + e.what());
        }
    }
}

void CommandStream::blockError(const std::string& text) {
    instrument_.logCommand(blockHeader_ + "#<" + text + ">");
    instrument_.pushError(-161, "Invalid block data; " + text);
}

void CommandStream::feed(const char* data, std::size_t n, std::string& replies) {
    std::size_t i = 0;
    while (i < n) {
        const char ch = data[i];
        switch (state_) {
        case State::Line:
            ++i;
            if (ch == '\n') {
                const std::string line = std::move(line_);
                line_.clear();
                inQuotes_ = false;
                instrument_.execute(line, replies);
                break;
            }
            if (ch == '"') inQuotes_ = !inQuotes_;
            if (ch == '#' && !inQuotes_) {
                const std::string t = trim(line_);
                const std::string header = t.substr(0, t.find_first_of(" \t"));
                if (!t.empty() && t.back() == ',' && scpiHeaderMatches(":MMEMory:DATA", header)) {
                    blockHeader_ = t;
                    line_.clear();
                    state_ = State::BlockDigit;
                    break;
                }
            }
            if (line_.size() >= kMaxLine) {
                instrument_.logCommand(shownText(line_) + "<line longer than 4096 bytes>");
                instrument_.pushError(-223, "Too much data; command line longer than 4096 bytes");
                line_.clear();
                state_ = State::Discard;
                break;
            }
            line_.push_back(ch);
            break;
        case State::Discard:
            ++i;
            if (ch == '\n') {
                state_ = State::Line;
                inQuotes_ = false;
            }
            break;
        case State::BlockDigit:
            ++i;
            if (ch < '1' || ch > '9') {
                blockError("length digit " + shownText(std::string(1, ch)) + " (1 to 9 expected)");
                state_ = ch == '\n' ? State::Line : State::Discard;
                break;
            }
            digits_ = static_cast<std::size_t>(ch - '0');
            count_ = 0;
            state_ = State::BlockCount;
            break;
        case State::BlockCount:
            ++i;
            if (ch < '0' || ch > '9') {
                blockError("byte count holds " + shownText(std::string(1, ch)));
                state_ = ch == '\n' ? State::Line : State::Discard;
                break;
            }
            count_ = count_ * 10 + static_cast<std::size_t>(ch - '0');
            if (--digits_ == 0) {
                left_ = count_;
                sawCr_ = false;
                if (count_ > instrument_.options().maxBlockBytes) {
                    blockError("block of " + std::to_string(count_) + " bytes is larger than the " +
                               std::to_string(instrument_.options().maxBlockBytes) + " accepted");
                    state_ = State::BlockSkip;
                } else {
                    body_.clear();
                    body_.reserve(count_);
                    state_ = State::BlockBody;
                }
                if (left_ == 0) state_ = state_ == State::BlockSkip ? State::Discard : State::BlockEnd;
            }
            break;
        case State::BlockBody:
        case State::BlockSkip: {
            const std::size_t take = std::min(left_, n - i);
            if (state_ == State::BlockBody) body_.append(data + i, take);
            i += take;
            left_ -= take;
            if (left_ == 0) state_ = state_ == State::BlockBody ? State::BlockEnd : State::Discard;
            break;
        }
        case State::BlockEnd:
            ++i;
            if (ch == '\r' && !sawCr_) {
                sawCr_ = true;
                break;
            }
            if (ch == '\n') {
                instrument_.store(blockHeader_, std::move(body_));
                body_.clear();
                state_ = State::Line;
            } else {
                blockError("block of " + std::to_string(count_) + " bytes followed by " +
                           shownText(std::string(1, ch)) + " instead of a line feed");
                body_.clear();
                state_ = State::Discard;
            }
            break;
        }
    }
}

}  // namespace tolvane
