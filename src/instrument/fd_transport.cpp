#include "instrument/fd_transport.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tolvane {

int pollFor(int fd, short events, int timeoutMs, short& revents) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (r < 0 && errno == EINTR) continue;
        revents = p.revents;
        return r;
    }
}

FdTransport::FdTransport(int fd, bool socket, std::string name) : fd_(fd), socket_(socket), name_(std::move(name)) {}

FdTransport::~FdTransport() {
    if (fd_ >= 0) ::close(fd_);
}

LinkResult FdTransport::write(const char* data, std::size_t n, int timeoutMs, bool) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = socket_ ? ::send(fd_, data + done, n - done, MSG_NOSIGNAL)
                                  : ::write(fd_, data + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return {kIoClosed, "the link to " + name_ + " failed while sending (" + std::strerror(errno) + ")"};
        short revents = 0;
        const int r = pollFor(fd_, POLLOUT, timeoutMs, revents);
        if (r == 0)
            return {kIoTimeout, name_ + " took no data for " + std::to_string(timeoutMs) + " ms (" +
                                    std::to_string(done) + " of " + std::to_string(n) + " bytes sent)"};
        if (r < 0) return {kIoClosed, "waiting to send to " + name_ + " failed (" + std::strerror(errno) + ")"};
        if ((revents & (POLLERR | POLLHUP)) && !(revents & POLLOUT))
            return {kIoClosed, name_ + " closed the connection while sending"};
    }
    return {};
}

LinkResult FdTransport::readSome(char* buffer, std::size_t max, int timeoutMs, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t r = ::read(fd_, buffer, max);
        if (r > 0) {
            got = static_cast<std::size_t>(r);
            return {};
        }
        if (r == 0) return {kIoClosed, name_ + " closed the connection"};
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return {kIoClosed, "reading from " + name_ + " failed (" + std::strerror(errno) + ")"};
        short revents = 0;
        const int p = pollFor(fd_, POLLIN, timeoutMs, revents);
        if (p == 0) return {kIoTimeout, "no answer from " + name_ + " within " + std::to_string(timeoutMs) + " ms"};
        if (p < 0) return {kIoClosed, "waiting for " + name_ + " failed (" + std::strerror(errno) + ")"};
        if ((revents & (POLLERR | POLLNVAL)) && !(revents & POLLIN))
            return {kIoClosed, name_ + " closed the connection"};
        if ((revents & POLLHUP) && !(revents & POLLIN)) return {kIoClosed, name_ + " closed the connection"};
    }
}

LinkResult FdTransport::goToLocal(int) { return {}; }

}  // namespace tolvane
