#include "instrument/simulator_server.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <list>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace tolvane {

namespace {

using Clock = std::chrono::steady_clock;

// What a faulty instrument answers instead of its reply: not a number, not
// a block, ended by a line feed.
const std::string kGarbage = std::string("\x01\xFE@garbage!?", 12) + "\n";

struct Connection {
    int fd = -1;
    bool socket = true;
    bool faulty = false;
    std::size_t received = 0;
    std::unique_ptr<CommandStream> stream;
    std::deque<std::pair<Clock::time_point, std::string>> due;  // replies waiting for their time
    std::string out;                                            // bytes being sent
    bool closing = false;
};

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

SimulatorServer::SimulatorServer(SimulatorOptions options, SimulatorFaults faults)
    : instrument_(std::move(options)), faults_(faults) {}

SimulatorServer::~SimulatorServer() { stop(); }

void SimulatorServer::setLogListener(std::function<void(const std::string&)> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    instrument_.setLogListener(std::move(listener));
}

bool SimulatorServer::start(int port, bool pty, std::string& error) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 8) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        closeFd(listenFd_);
        return false;
    }
    port_ = ntohs(addr.sin_port);

    if (pty) {
        ptyMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[256] = {};
        if (ptyMaster_ < 0 || ::grantpt(ptyMaster_) != 0 || ::unlockpt(ptyMaster_) != 0 ||
            ::ptsname_r(ptyMaster_, name, sizeof name) != 0) {
            error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
            closeFd(ptyMaster_);
            closeFd(listenFd_);
            return false;
        }
        ptyPath_ = name;
        // The line starts raw: no echo of what the controller sends, no
        // translation of line ends.
        const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave >= 0) {
            termios t{};
            if (::tcgetattr(slave, &t) == 0) {
                ::cfmakeraw(&t);
                ::tcsetattr(slave, TCSANOW, &t);
            }
            ::close(slave);
        }
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimulatorServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const char b = 1;
        [[maybe_unused]] const ssize_t w = ::write(wakeWrite_, &b, 1);
        thread_.join();
    }
    closeFd(listenFd_);
    closeFd(ptyMaster_);
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
}

bool SimulatorServer::waitUntilIdle(int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (open_.load() > 0) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void SimulatorServer::run() {
    std::list<Connection> conns;
    Connection* ptyConn = nullptr;
    bool ptyIdle = true;  // no controller has the terminal open
    if (ptyMaster_ >= 0) {
        Connection c;
        c.fd = ptyMaster_;
        c.socket = false;
        c.faulty = true;
        c.stream = std::make_unique<CommandStream>(instrument_);
        conns.push_back(std::move(c));
        ptyConn = &conns.back();
    }
    std::vector<char> buffer(256 * 1024);

    auto takeReplies = [&](Connection& c, std::string replies) {
        if (replies.empty()) return;
        if (c.faulty && faults_.neverAnswer) return;
        if (c.faulty && faults_.garbage) replies = kGarbage;
        const int delay = c.faulty ? faults_.replyDelayMs : 0;
        c.due.emplace_back(Clock::now() + std::chrono::milliseconds(delay), std::move(replies));
    };

    while (!stopping_) {
        const auto now = Clock::now();
        int timeout = -1;
        for (Connection& c : conns) {
            while (!c.due.empty() && c.due.front().first <= now) {
                c.out += c.due.front().second;
                c.due.pop_front();
            }
            if (!c.due.empty()) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(c.due.front().first - now).count() + 1;
                timeout = timeout < 0 ? static_cast<int>(ms) : std::min(timeout, static_cast<int>(ms));
            }
        }
        if (ptyConn && ptyIdle) timeout = timeout < 0 ? 20 : std::min(timeout, 20);

        std::vector<pollfd> fds;
        fds.push_back({wakeRead_, POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        std::vector<Connection*> polled;
        for (Connection& c : conns) {
            if (&c == ptyConn && ptyIdle) continue;
            fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
            polled.push_back(&c);
        }
        const int r = ::poll(fds.data(), fds.size(), timeout);
        if (r < 0 && errno != EINTR) break;
        if (stopping_) break;

        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                const int n = ++accepted_;
                ++open_;
                Connection c;
                c.fd = fd;
                c.faulty = faults_.faultyConnections == 0 || n <= faults_.faultyConnections;
                c.stream = std::make_unique<CommandStream>(instrument_);
                conns.push_back(std::move(c));
            }
        }
        if (ptyConn && ptyIdle) {
            // Is a controller there now? Without one the master reports a
            // hang-up and nothing to read.
            pollfd p{ptyMaster_, POLLIN, 0};
            ::poll(&p, 1, 0);
            if ((p.revents & POLLIN) || !(p.revents & POLLHUP)) ptyIdle = false;
        }

        // A socket that ends is closed. When the controller closes the
        // terminal, what it left half-sent is dropped, as a real line would,
        // and the terminal waits for the next controller.
        auto hangUp = [&](Connection& c) {
            if (&c != ptyConn) {
                c.closing = true;
                return;
            }
            ptyIdle = true;
            std::lock_guard<std::mutex> lock(mutex_);
            c.stream = std::make_unique<CommandStream>(instrument_);
            c.due.clear();
            c.out.clear();
        };
        for (std::size_t k = 0; k < polled.size(); ++k) {
            Connection& c = *polled[k];
            const short ev = fds[k + 2].revents;
            if (ev & POLLIN) {
                std::size_t want = buffer.size();
                if (c.faulty && c.socket && faults_.closeAfterBytes)
                    want = std::min(want, faults_.closeAfterBytes - c.received);
                const ssize_t got = ::read(c.fd, buffer.data(), want);
                if (got > 0) {
                    c.received += static_cast<std::size_t>(got);
                    std::string replies;
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        c.stream->feed(buffer.data(), static_cast<std::size_t>(got), replies);
                    }
                    takeReplies(c, std::move(replies));
                    if (c.faulty && c.socket && faults_.closeAfterBytes && c.received >= faults_.closeAfterBytes)
                        c.closing = true;
                } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                    hangUp(c);
                }
            } else if ((ev & (POLLHUP | POLLERR)) && !(ev & POLLOUT)) {
                hangUp(c);
            }
            if (!c.closing && !c.out.empty() && (ev & POLLOUT)) {
                const ssize_t w = c.socket ? ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL)
                                           : ::write(c.fd, c.out.data(), c.out.size());
                if (w > 0) c.out.erase(0, static_cast<std::size_t>(w));
                else if (w < 0 && errno != EAGAIN && errno != EINTR && c.socket) c.closing = true;
            }
        }
        for (auto it = conns.begin(); it != conns.end();) {
            if (it->closing && &*it != ptyConn) {
                ::close(it->fd);
                --open_;
                it = conns.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Connection& c : conns)
        if (&c != ptyConn) ::close(c.fd);
}

}  // namespace tolvane
