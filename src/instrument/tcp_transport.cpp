// SCPI over a raw TCP socket (port 5025 unless the address names one).
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "instrument/fd_transport.hpp"

namespace tolvane {

bool splitHostPort(const std::string& address, std::string& host, int& port, int defaultPort) {
    port = defaultPort;
    std::string rest;
    if (!address.empty() && address[0] == '[') {
        const std::size_t close = address.find(']');
        if (close == std::string::npos) return false;
        host = address.substr(1, close - 1);
        rest = address.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
    } else {
        const std::size_t colon = address.find(':');
        // More than one colon without brackets: a bare IPv6 address.
        if (colon != std::string::npos && address.find(':', colon + 1) == std::string::npos) {
            host = address.substr(0, colon);
            rest = address.substr(colon);
        } else {
            host = address;
        }
    }
    if (!rest.empty()) {
        const std::string digits = rest.substr(1);
        if (digits.empty() || digits.size() > 5) return false;
        long p = 0;
        for (char ch : digits) {
            if (ch < '0' || ch > '9') return false;
            p = p * 10 + (ch - '0');
        }
        if (p < 1 || p > 65535) return false;
        port = static_cast<int>(p);
    }
    return !host.empty();
}

namespace {

// Connects one address, waiting at most timeoutMs; returns the socket or -1
// with the reason in `why`.
int connectOne(const addrinfo* ai, int timeoutMs, std::string& why) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            why = std::strerror(errno);
            ::close(fd);
            return -1;
        }
        short revents = 0;
        const int r = pollFor(fd, POLLOUT, timeoutMs, revents);
        if (r == 0) {
            why = "no answer within " + std::to_string(timeoutMs) + " ms";
            ::close(fd);
            return -1;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (r < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
            why = std::strerror(err ? err : errno);
            ::close(fd);
            return -1;
        }
    }
    // Commands are short and answered one by one: send each at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

LinkResult openTcpTransport(const std::string& address, int timeoutMs, std::unique_ptr<Transport>& out) {
    std::string host;
    int port = 0;
    if (!splitHostPort(address, host, port, 5025))
        return {kIoBadRequest, "the LAN address \"" + address + "\" is not HOST or HOST:PORT (port 1 to 65535)"};
    const std::string name = "TCPIP " + host + ":" + std::to_string(port);
    if (host == "0.0.0.0") return {kIoUnavailable, "no LAN address is set (it is 0.0.0.0)"};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (rc != 0) return {kIoUnavailable, "could not find " + name + " (" + ::gai_strerror(rc) + ")"};
    std::string why = "no address";
    int fd = -1;
    for (const addrinfo* ai = list; ai && fd < 0; ai = ai->ai_next) fd = connectOne(ai, timeoutMs, why);
    ::freeaddrinfo(list);
    if (fd < 0) return {kIoUnavailable, "could not connect to " + name + " (" + why + ")"};
    out = std::make_unique<FdTransport>(fd, true, name);
    return {};
}

}  // namespace tolvane
