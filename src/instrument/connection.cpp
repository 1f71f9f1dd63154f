#include "instrument/connection.hpp"

#include <cctype>

namespace tolvane {

namespace {

bool equalsIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

}  // namespace

Bus busOf(const Connection& c) {
    if (equalsIgnoringCase(c.type, "GPIB")) return Bus::Gpib;
    if (equalsIgnoringCase(c.type, "TCPIP")) return Bus::Tcpip;
    if (equalsIgnoringCase(c.type, "RS232")) return Bus::Rs232;
    return Bus::Unknown;
}

std::string addressText(const Connection& c) {
    switch (busOf(c)) {
    case Bus::Gpib: {
        std::string s = "GPIB" + std::to_string(c.gpib.board) + "::" + std::to_string(c.gpib.primary);
        if (c.gpib.secondary >= 0) s += "::" + std::to_string(c.gpib.secondary);
        return s + "::INSTR";
    }
    case Bus::Tcpip: {
        const std::string& a = c.tcpip.address;
        const bool hasPort = a.find(':') != std::string::npos && a.find(':') == a.rfind(':');
        return "TCPIP " + a + (hasPort || (!a.empty() && a[0] == '[' && a.find("]:") != std::string::npos) ? "" : ":5025");
    }
    case Bus::Rs232:
        return "RS232 port " + std::to_string(c.rs232.port);
    case Bus::Unknown:
        break;
    }
    return "connection type \"" + c.type + "\"";
}

}  // namespace tolvane
