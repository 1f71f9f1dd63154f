#include "instrument/connection.hpp"

#include "base/text.hpp"

namespace tolvane {

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
