// A link over a non-blocking file descriptor (a TCP socket or a serial
// line), with every wait bounded by poll().
#pragma once

#include "instrument/transport.hpp"

namespace tolvane {

class FdTransport : public Transport {
public:
    // Takes ownership of `fd` (already non-blocking). `name` names the link
    // in messages ("TCPIP 127.0.0.1:5025").
    FdTransport(int fd, bool socket, std::string name);
    ~FdTransport() override;
    FdTransport(const FdTransport&) = delete;
    FdTransport& operator=(const FdTransport&) = delete;

    LinkResult write(const char* data, std::size_t n, int timeoutMs, bool endOfMessage) override;
    LinkResult readSome(char* buffer, std::size_t max, int timeoutMs, std::size_t& got) override;
    LinkResult goToLocal(int timeoutMs) override;

protected:
    int fd_;
    bool socket_;
    std::string name_;
};

// Waits up to timeoutMs for `events` on fd; returns the poll result
// (0 on time-out, < 0 on error), retrying after signals.
int pollFor(int fd, short events, int timeoutMs, short& revents);

}  // namespace tolvane
