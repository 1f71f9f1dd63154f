// The instrument I/O driver: the six operations over TCP, a serial line or
// GPIB, with a time-out on every wait, progress and cancel for downloads.
//
// Sessions stay open between operations on the same address, so that a
// download's commands travel on one connection; any failure closes the
// session, and the next operation opens a fresh one. Returning to local
// closes a TCP or serial session (the instrument leaves remote when its
// connection ends) and sends the GPIB go-to-local message on GPIB.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "instrument/connection.hpp"
#include "instrument/transport.hpp"

namespace tolvane {

// Reports bytes sent against the total of a download; returning false
// cancels the download before the next chunk.
using ProgressCallback = std::function<bool(std::size_t sent, std::size_t total)>;

class Driver : public InstrumentIo {
public:
    Driver();
    ~Driver() override;

    IoResult ping(const Connection& c) override;
    IoResult send(const Connection& c, std::string_view command) override;
    IoResult query(const Connection& c, std::string_view query) override;
    IoResult download(const Connection& c, const std::vector<std::complex<double>>& iq, const MarkerMatrix& markers,
                      const std::string& name) override;
    IoResult returnLocal(const Connection& c) override;
    IoResult setTimeout(const Connection& c, double milliseconds) override;

    // The time-out of connections that had no setTimeout (milliseconds).
    void setDefaultTimeout(int milliseconds) { defaultTimeoutMs_ = milliseconds; }
    int timeoutFor(const Connection& c) const;
    // The serial device of port n, instead of TOLVANE_SERIAL_PORT<n> or
    // /dev/ttyS<n-1>.
    void setSerialDevice(int port, std::string path) { serialDevices_[port] = std::move(path); }
    // Called during every later download; empty for none.
    void setProgress(ProgressCallback progress) { progress_ = std::move(progress); }
    // Bytes per chunk of a download, between progress reports.
    void setChunkSize(std::size_t bytes) { chunk_ = bytes ? bytes : 1; }
    // Closes every open session.
    void closeAll();

private:
    struct Session;
    // The open session for the connection, opened when needed.
    Session* session(const Connection& c, IoResult& failure);
    void drop(const Connection& c);
    std::string key(const Connection& c) const;
    IoResult fail(const Connection& c, int status, const std::string& what);
    IoResult writeMessage(const Connection& c, Session& s, const std::string& bytes);
    IoResult readReply(const Connection& c, Session& s, std::string_view query, std::string& reply);
    IoResult exchange(const Connection& c, std::string_view query);

    std::map<std::string, std::unique_ptr<Session>> sessions_;
    std::map<std::string, int> timeouts_;
    std::map<int, std::string> serialDevices_;
    ProgressCallback progress_;
    std::size_t chunk_ = 256 * 1024;
    int defaultTimeoutMs_ = 5000;
};

// The process-wide driver that `hwIO` uses.
Driver& instrumentDriver();

}  // namespace tolvane
