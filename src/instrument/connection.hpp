// The connection record (where the instrument is and how to reach it), the
// result pair of every instrument operation, and the six operations the jobs
// are written against.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// The connection record with the start-up defaults. Only the sub-record
// named by `type` ("GPIB", "TCPIP" or "RS232", any letter case) is used.
struct Connection {
    std::string type = "GPIB";
    struct Gpib {
        int board = 0;      // interface board index
        int primary = 19;   // primary address 0 ... 30
        int secondary = -1; // secondary address 0 ... 31, -1 for none
    } gpib;
    struct Rs232 {
        int port = 1;                      // 1 for the first serial device
        int baudrate = 9600;               // bits per second
        std::string handshake = "Xon/Xoff";  // "None", "Xon/Xoff" or "RTS/CTS"
    } rs232;
    struct Tcpip {
        std::string address = "0.0.0.0";  // host, optionally ":port" (default port 5025)
        int board = 0;
    } tcpip;
};

enum class Bus { Gpib, Tcpip, Rs232, Unknown };

// The bus named by `type`, without regard to letter case.
Bus busOf(const Connection& c);

// A short text naming the instrument's address for messages, for example
// "TCPIP 127.0.0.1:5025", "GPIB0::19::INSTR", "RS232 port 1 (/dev/ttyS0)".
std::string addressText(const Connection& c);

// Status codes of the result pair; 0 is success.
enum IoStatus : int {
    kIoOk = 0,
    kIoUnavailable = 1,  // no such bus, library missing, cannot connect or open
    kIoTimeout = 2,      // the instrument did not answer or accept data in time
    kIoClosed = 3,       // the connection closed or failed during the exchange
    kIoInstrumentError = 4,  // the instrument reported an error
    kIoBadReply = 5,     // a reply that cannot be read (too long, malformed)
    kIoBadRequest = 6,   // the request cannot be sent as given
    kIoCancelled = 7,    // cancelled by the user
};

// The result pair: a status (0 success) and a text for the user; for a
// query that succeeded, the instrument's reply.
struct IoResult {
    int status = kIoOk;
    std::string response;
    bool ok() const { return status == kIoOk; }
};

// The marker matrix of a waveform: `rows` rows (marker 1, marker 2) of one
// value per sample, stored column-major; a non-zero value sets the marker.
struct MarkerMatrix {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<double> data;
};

// The six operations of the instrument I/O layer. The driver implements them
// over the real buses; the runtime implements them by name, and tests record
// them.
class InstrumentIo {
public:
    virtual ~InstrumentIo() = default;
    // Is an instrument answering at this address.
    virtual IoResult ping(const Connection& c) = 0;
    // Sends one command; the line terminator is added when missing.
    virtual IoResult send(const Connection& c, std::string_view command) = 0;
    // Sends a query and reads one reply, returned as the response.
    virtual IoResult query(const Connection& c, std::string_view query) = 0;
    // Downloads samples and markers under `name` ("norm" scaling).
    virtual IoResult download(const Connection& c, const std::vector<std::complex<double>>& iq,
                              const MarkerMatrix& markers, const std::string& name) = 0;
    // Hands the instrument back to its front panel.
    virtual IoResult returnLocal(const Connection& c) = 0;
    // Sets the time-out of every later read and write on this connection,
    // in milliseconds.
    virtual IoResult setTimeout(const Connection& c, double milliseconds) = 0;
};

}  // namespace tolvane
