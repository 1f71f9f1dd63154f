#include "session/analysis_report.hpp"

#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>

namespace tolvane {

namespace {

using Json = nlohmann::ordered_json;

// A finite number, else null.
Json number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }
Json number(const std::optional<double>& x) { return x ? number(*x) : Json(nullptr); }

template <std::size_t N>
Json numbers(const std::array<double, N>& xs) {
    Json out = Json::array();
    for (double x : xs) out.push_back(number(x));
    return out;
}

Json slotJson(const SlotReport& s) {
    Json j;
    j["index"] = s.index;
    j["pilotPowerDb"] = number(s.pilotPowerDb);
    j["macPowerDb"] = number(s.macPowerDb);
    j["dataPowerDb"] = number(s.dataPowerDb);
    j["data"] = s.data;
    j["evmPercent"] = number(s.evmPercent);
    j["idlePowerDb"] = number(s.idlePowerDb);
    j["ra"] = {{"active", s.raActive}, {"bit", s.raBit}, {"gainDb", number(s.raGainDb)}};
    Json rpc = Json::array();
    for (const RpcReport& r : s.rpc)
        rpc.push_back({{"macIndex", r.macIndex}, {"active", r.active}, {"bit", r.bit}, {"gainDb", number(r.gainDb)}});
    j["rpc"] = std::move(rpc);
    return j;
}

Json packetJson(const PacketReport& p) {
    Json j;
    j["startSlot"] = p.startSlot;
    j["slots"] = p.occupiedSlots;
    j["drc"] = p.drc;
    j["macIndex"] = p.macIndex;
    j["fcsOk"] = p.fcsOk;
    j["payloadHex"] = p.payloadHex;
    j["iterations"] = p.iterations;
    return j;
}

// ---- the table

// `x` with `decimals` places, or "-" when there is no finite number.
std::string fixed(double x, int decimals) {
    if (!std::isfinite(x)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, x);
    return text;
}
std::string fixed(const std::optional<double>& x, int decimals) { return x ? fixed(*x, decimals) : "-"; }

// `s` right-aligned in `width` characters.
std::string right(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string left(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

void summary(std::ostream& out, const AnalysisReport& r) {
    auto line = [&](const char* label, const std::string& value) { out << left(label, 20) << value << '\n'; };
    line("Sample rate", fixed(r.sampleRate / 1e6, 6) + " MHz");
    line("Slots", std::to_string(r.firstSlot) + " to " + std::to_string(r.lastSlot) + " of " +
                      std::to_string(r.frameSlots));
    line("PN offset", std::to_string(r.pnOffset));
    line("Timing offset", fixed(r.timingOffsetChips, 4) + " chips");
    line("Frequency error", fixed(r.frequencyErrorHz, 3) + " Hz");
    line("Phase error", fixed(r.phaseErrorDeg, 3) + " deg");
    line("Chip rate error", fixed(r.chipRateErrorPpm, 4) + " ppm");
    line("Rho", "overall " + fixed(r.rho.overall, 5) + "  pilot " + fixed(r.rho.pilot, 5) + "  MAC " +
                    fixed(r.rho.mac, 5) + "  data " + fixed(r.rho.data, 5));
    line("EVM", "rms " + fixed(r.evmRmsPercent, 3) + " %  peak " + fixed(r.evmPeakPercent, 3) + " %");
    line("Origin offset", fixed(r.originOffsetDb, 2) + " dB");
    line("IQ imbalance", "gain " + fixed(r.iqGainDb, 3) + " dB  quadrature " + fixed(r.iqQuadratureDeg, 3) + " deg");
    line("SNR", fixed(r.snrDb, 2) + " dB");
}

void slotTable(std::ostream& out, const AnalysisReport& r) {
    if (r.slotReports.empty()) return;
    out << "\nslot  pilot dB  MAC dB  data dB  data     EVM %  idle dB  RA bit gain dB  RPC active (MAC:bit/gain dB)\n";
    for (const SlotReport& s : r.slotReports) {
        out << right(std::to_string(s.index), 4) << right(fixed(s.pilotPowerDb, 2), 10)
            << right(fixed(s.macPowerDb, 2), 8) << right(fixed(s.dataPowerDb, 2), 9) << "  " << left(s.data, 7)
            << right(fixed(s.evmPercent, 2), 6) << right(fixed(s.idlePowerDb, 2), 9);
        out << (s.raActive ? right(std::to_string(s.raBit), 7) + right(fixed(s.raGainDb, 2), 9)
                           : right("-", 7) + right("-", 9));
        std::string rpc;
        for (const RpcReport& c : s.rpc)
            if (c.active) rpc += " " + std::to_string(c.macIndex) + ":" + std::to_string(c.bit) + "/" + fixed(c.gainDb, 2);
        out << "  " << (rpc.empty() ? std::string("-") : rpc.substr(1)) << '\n';
    }
}

// Rows of `perRow` values, each row led by the index of its first.
template <std::size_t N>
void valueRows(std::ostream& out, const char* title, const std::array<double, N>& xs, std::size_t perRow) {
    out << title << '\n';
    for (std::size_t i = 0; i < N; i += perRow) {
        out << right(std::to_string(i), 4) << ":";
        for (std::size_t k = i; k < i + perRow && k < N; ++k) out << right(fixed(xs[k], 1), 7);
        out << '\n';
    }
}

void codeDomain(std::ostream& out, const AnalysisReport& r) {
    out << '\n';
    valueRows(out, "MAC code-domain power, I (dB re the MAC power), Walsh code 0 to 63:", r.codeDomain.macI, 16);
    valueRows(out, "MAC code-domain power, Q:", r.codeDomain.macQ, 16);
    valueRows(out, "Data code-domain power (dB re the data power), Walsh code 0 to 15:", r.codeDomain.data, 16);
    if (!r.codeDomain.preamble.empty()) {
        out << "\nPreambles: slot  MAC  chips  power dB\n";
        for (const PreambleReport& p : r.codeDomain.preamble)
            out << "          " << right(std::to_string(p.slot), 5) << right(std::to_string(p.macIndex), 5)
                << right(std::to_string(p.chips), 7) << right(fixed(p.powerDb, 2), 10) << '\n';
    }
}

void packetTable(std::ostream& out, const AnalysisReport& r) {
    if (r.packets.empty()) return;
    out << "\nPackets: start  DRC  MAC  FCS   iterations  slots  payload\n";
    for (const PacketReport& p : r.packets) {
        std::string slots;
        for (int s : p.occupiedSlots) slots += (slots.empty() ? "" : ",") + std::to_string(s);
        out << "         " << right(std::to_string(p.startSlot), 5) << right(std::to_string(p.drc), 5)
            << right(std::to_string(p.macIndex), 5) << "  " << left(p.fcsOk ? "ok" : "bad", 4)
            << right(std::to_string(p.iterations), 11) << "  " << slots << "  " << p.payloadHex << '\n';
    }
}

}  // namespace

Json analysisReportJson(const AnalysisReport& r) {
    Json j;
    j["sampleRate"] = number(r.sampleRate);
    j["frameSlots"] = r.frameSlots;
    j["firstSlot"] = r.firstSlot;
    j["lastSlot"] = r.lastSlot;
    j["pnOffset"] = r.pnOffset;
    j["timingOffsetChips"] = number(r.timingOffsetChips);
    j["frequencyErrorHz"] = number(r.frequencyErrorHz);
    j["phaseErrorDeg"] = number(r.phaseErrorDeg);
    j["chipRateErrorPpm"] = number(r.chipRateErrorPpm);
    j["rho"] = {{"pilot", number(r.rho.pilot)},
                {"mac", number(r.rho.mac)},
                {"data", number(r.rho.data)},
                {"overall", number(r.rho.overall)}};
    j["evmPercent"] = {{"rms", number(r.evmRmsPercent)}, {"peak", number(r.evmPeakPercent)}};
    j["originOffsetDb"] = number(r.originOffsetDb);
    j["iqImbalance"] = {{"gainDb", number(r.iqGainDb)}, {"quadratureDeg", number(r.iqQuadratureDeg)}};
    j["snrDb"] = number(r.snrDb);
    Json slots = Json::array();
    for (const SlotReport& s : r.slotReports) slots.push_back(slotJson(s));
    j["slots"] = std::move(slots);
    Json preamble = Json::array();
    for (const PreambleReport& p : r.codeDomain.preamble)
        preamble.push_back(
            {{"slot", p.slot}, {"macIndex", p.macIndex}, {"chips", p.chips}, {"powerDb", number(p.powerDb)}});
    j["codeDomain"] = {{"mac", {{"i", numbers(r.codeDomain.macI)}, {"q", numbers(r.codeDomain.macQ)}}},
                       {"data", numbers(r.codeDomain.data)},
                       {"preamble", std::move(preamble)}};
    Json packets = Json::array();
    for (const PacketReport& p : r.packets) packets.push_back(packetJson(p));
    j["packets"] = std::move(packets);
    return j;
}

std::string analysisReportJsonText(const AnalysisReport& report) { return analysisReportJson(report).dump(2) + "\n"; }

std::string analysisReportTable(const AnalysisReport& report) {
    std::ostringstream out;
    summary(out, report);
    slotTable(out, report);
    codeDomain(out, report);
    packetTable(out, report);
    return out.str();
}

}  // namespace tolvane
