#include "instrument/jobs.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/diagnostics.hpp"

namespace tolvane {

std::string decimalText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    if (value == 0) return "0";
    char buf[400];
    const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed).ptr;
    return std::string(buf, end);
}

namespace {

std::string quote() { return "\""; }

std::string commonHead(int n, const std::string& fileName, const SigGenSettings& s) {
    switch (n) {
    case 1:
        return " :source:rad:arb:state off";
    case 2:
        return " :source:rad:arb:wav " + quote() + "arbi:" + fileName + quote() + " ";
    case 3:
        return " :source:freq:fix " + decimalText(s.Frequency) + "Hz";
    case 4:
        return " :source:power:level:immediate:amplitude " + decimalText(s.Amplitude) + "dbm";
    default:
        return " :source:rad:arb:clock:srate " + decimalText(s.SamplingRate) + "Hz";
    }
}

std::string rfBlanking(const SigGenSettings& s) {
    return std::string(" :source:rad:arb:marker:rfblank ") + (s.RFblanking == 1 ? "on" : "off");
}
std::string markerPolarity(const SigGenSettings& s) {
    return std::string(" :source:rad:arb:marker:polarity ") + (s.MarkerPolarity == 0 ? "Pos" : "Neg");
}
std::string clockReference(const SigGenSettings& s) {
    return std::string(" :source:rad:arb:clock:ref ") + (s.ArbRefSource == 0 ? "int" : "ext");
}

}  // namespace

std::vector<std::string> playCommands_c(const std::string& fileName, const SigGenSettings& s) {
    std::vector<std::string> list;
    for (int n = 1; n <= 5; ++n) list.push_back(commonHead(n, fileName, s));
    list.push_back(std::string(" :source:dm:bbfilter ") +
                   (s.BBfilter == 1 ? "2.1MHz" : s.BBfilter == 2 ? "40MHz" : "Through"));
    list.push_back(" :source:rad:ARB:rscaling " + decimalText(s.Scaling));
    list.push_back(":source:DM:IQAT:AUTO off");
    list.push_back(":source:DM:IQAT " + decimalText(s.ModAtten));
    list.push_back(std::string(" :pow:alc:state ") + (s.ALC == 0 ? "off" : "on"));
    list.push_back(rfBlanking(s));
    list.push_back(markerPolarity(s));
    list.push_back(clockReference(s));
    list.push_back(" :source:rad:arb:state on");
    list.push_back(" :output:state on");
    list.push_back(" :OUTPUT:MOD ON");
    return list;
}

std::vector<std::string> playCommands(const std::string& fileName, const SigGenSettings& s) {
    std::vector<std::string> list;
    for (int n = 1; n <= 5; ++n) list.push_back(commonHead(n, fileName, s));
    const double f = s.ReconFilter;
    list.push_back(std::string(" :source:rad:arb:rfilter ") +
                   (f == 1 ? "250.0khz" : f == 2 ? "2.5Mhz" : f == 3 ? "8Mhz" : "through"));
    list.push_back(rfBlanking(s));
    list.push_back(markerPolarity(s));
    list.push_back(clockReference(s));
    list.push_back(" :source:rad:arb:state on");
    list.push_back(" :output:state on");
    return list;
}

IoResult playJob(InstrumentIo& io, const Connection& c, const std::vector<std::string>& commands) {
    IoResult result{kIoOk, ""};
    IoResult first{kIoOk, ""};
    for (const std::string& command : commands) {
        result = io.send(c, command);
        if (!result.ok() && first.ok()) first = result;
    }
    io.returnLocal(c);
    return first.ok() ? result : first;
}

double serialDownloadMinutes(std::size_t samples, double baudrate, double segments) {
    return static_cast<double>(samples) * 32 * 1.125 / baudrate / 60 * segments;
}

IoResult downloadJob(InstrumentIo& io, const Connection& c, const std::vector<std::complex<double>>& iq,
                     const MarkerMatrix& markers, const std::string& name, double segments,
                     const QuestionCallback& question) {
    if (!(segments > 0) && !(segments < 0)) segments = 1;  // absent or 0 (or NaN)
    io.setTimeout(c, 10000);
    if (busOf(c) == Bus::Rs232 && segments > 0) {
        const double minutes = serialDownloadMinutes(iq.size(), c.rs232.baudrate, segments);
        if (minutes > 0.75) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "This download will take approximately %0.1f minutes. Do you want to continue?", minutes);
            if (!question || !question("RS-232 Download", text)) return {-1, "Download cancelled"};
        }
    }

    IoResult first{kIoOk, ""};
    auto step = [&](IoResult r) {
        if (!r.ok() && first.ok()) first = r;
        return r;
    };
    const IoResult state = step(io.query(c, ":SOUR:RAD:ARB:STATe?"));
    // Read as a number, the reply must be exactly 1 for the player to be
    // switched back on.
    bool wasOn = false;
    if (state.ok()) {
        const char* begin = state.response.c_str();
        char* end = nullptr;
        const double v = std::strtod(begin, &end);
        while (end && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) ++end;
        wasOn = end != begin && *end == '\0' && v == 1;
    }
    IoResult last{kIoOk, ""};
    if (first.ok()) step(io.send(c, ":SOUR:RAD:ARB:STATe OFF"));
    if (first.ok()) step(io.download(c, iq, markers, name));
    if (first.ok()) last = step(io.send(c, "\n"));
    if (wasOn) step(io.send(c, ":SOUR:RAD:ARB:STATe ON"));
    step(io.send(c, ":OUTPUT:MOD ON"));
    return first.ok() ? last : first;
}

std::string clock2str(const std::vector<double>& clock) {
    static const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (clock.size() < 6) throw Error("clock2str needs six numbers: year, month, day, hour, minute, seconds.");
    const int month = static_cast<int>(clock[1]);
    if (month < 1 || month > 12 || clock[1] != month)
        throw Error("The month of the clock vector must be a whole number from 1 to 12, not " + numberText(clock[1]) +
                    ".");
    auto twoDigits = [](double v) {
        std::string t = decimalText(v);
        return t.size() == 1 ? "0" + t : t;
    };
    return twoDigits(clock[2]) + months[month - 1] + decimalText(clock[0]) + " " + decimalText(clock[3]) + ":" +
           twoDigits(clock[4]) + ":" + twoDigits(std::trunc(clock[5]));
}

}  // namespace tolvane
