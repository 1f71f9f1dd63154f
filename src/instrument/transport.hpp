// The byte links to an instrument, one kind per bus. Every wait is bounded by
// the time-out the caller passes (milliseconds); no operation throws for an
// I/O condition, each returns a LinkResult.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "instrument/connection.hpp"

namespace tolvane {

struct LinkResult {
    int status = kIoOk;  // an IoStatus code
    std::string error;   // what went wrong, for the user
    bool ok() const { return status == kIoOk; }
};

class Transport {
public:
    virtual ~Transport() = default;
    // Writes all `n` bytes; each wait for the link to take more is bounded
    // by `timeoutMs`. `endOfMessage` is false for every piece of a long
    // message but its last (a GPIB link marks the message end on the bus).
    virtual LinkResult write(const char* data, std::size_t n, int timeoutMs, bool endOfMessage) = 0;
    // Reads at least one and at most `max` bytes, waiting at most
    // `timeoutMs`; the count read goes to `got`.
    virtual LinkResult readSome(char* buffer, std::size_t max, int timeoutMs, std::size_t& got) = 0;
    // Hands the instrument back to its front panel where the bus can.
    virtual LinkResult goToLocal(int timeoutMs) = 0;
    // True when the link keeps the instrument in remote while it is open, so
    // that returning to local means closing it.
    virtual bool localMeansClose() const { return true; }
};

// Where the serial line of port n is: set explicitly, or from the
// environment variable TOLVANE_SERIAL_PORT<n>, or /dev/ttyS<n-1>.
std::string serialDevicePath(int port, const std::string& overridePath);

// Opens the link named by the connection's type. On failure `out` stays
// empty and the result says why (for GPIB without a library, which library
// to install).
LinkResult openTcpTransport(const std::string& address, int timeoutMs, std::unique_ptr<Transport>& out);
LinkResult openSerialTransport(const std::string& device, int baudrate, const std::string& handshake,
                               std::unique_ptr<Transport>& out);
LinkResult openGpibTransport(const Connection::Gpib& gpib, int timeoutMs, std::unique_ptr<Transport>& out);

// Splits "host[:port]" ("[v6]:port" for IPv6); false when the port is not a
// number from 1 to 65535.
bool splitHostPort(const std::string& address, std::string& host, int& port, int defaultPort);

}  // namespace tolvane
