// A stand-in VISA library for the tests: the few VISA calls the driver
// makes, forwarded over TCP to the simulated instrument at
// TOLVANE_STANDIN_VISA_TARGET (host:port). Each call that matters to the
// tests is appended to the file TOLVANE_STANDIN_VISA_LOG when set.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using ViStatus = std::int32_t;
using ViSession = std::uint32_t;
using ViUInt32 = std::uint32_t;

constexpr ViStatus kSuccess = 0;
constexpr ViStatus kTermChar = 0x3FFF0005;
constexpr ViStatus kMaxCount = 0x3FFF0006;
constexpr ViStatus kErrorTimeout = static_cast<ViStatus>(0xBFFF0015U);
constexpr ViStatus kErrorResource = static_cast<ViStatus>(0xBFFF0011U);
constexpr ViStatus kErrorSession = static_cast<ViStatus>(0xBFFF000EU);
constexpr ViStatus kErrorConnLost = static_cast<ViStatus>(0xBFFF00A6U);

struct Session {
    int fd = -1;
    int timeoutMs = 2000;
    bool termEnabled = false;
    char term = '\n';
    std::string rx;
};

std::mutex mutex;
std::map<ViSession, Session> sessions;
ViSession next = 1;

void logLine(const std::string& line) {
    const char* path = std::getenv("TOLVANE_STANDIN_VISA_LOG");
    if (!path || !*path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

int connectTarget() {
    const char* target = std::getenv("TOLVANE_STANDIN_VISA_TARGET");
    if (!target) return -1;
    const std::string t = target;
    const std::size_t colon = t.rfind(':');
    if (colon == std::string::npos) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(std::atoi(t.c_str() + colon + 1)));
    if (::inet_pton(AF_INET, t.substr(0, colon).c_str(), &addr.sin_addr) != 1) return -1;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT ViStatus viOpenDefaultRM(ViSession* rm) {
    std::lock_guard<std::mutex> lock(mutex);
    *rm = next++;
    sessions[*rm] = Session{};
    return kSuccess;
}

EXPORT ViStatus viOpen(ViSession, const char* resource, ViUInt32, ViUInt32, ViSession* vi) {
    logLine(std::string("viOpen ") + resource);
    const int fd = connectTarget();
    if (fd < 0) return kErrorResource;
    std::lock_guard<std::mutex> lock(mutex);
    *vi = next++;
    sessions[*vi].fd = fd;
    return kSuccess;
}

EXPORT ViStatus viClose(ViSession s) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = sessions.find(s);
    if (it == sessions.end()) return kErrorSession;
    if (it->second.fd >= 0) ::close(it->second.fd);
    sessions.erase(it);
    return kSuccess;
}

EXPORT ViStatus viSetAttribute(ViSession s, ViUInt32 attribute, std::uint64_t value) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = sessions.find(s);
    if (it == sessions.end()) return kErrorSession;
    if (attribute == 0x3FFF001AU) it->second.timeoutMs = static_cast<int>(value);
    if (attribute == 0x3FFF0038U) it->second.termEnabled = value != 0;
    if (attribute == 0x3FFF0018U) it->second.term = static_cast<char>(value);
    return kSuccess;
}

EXPORT ViStatus viWrite(ViSession s, const unsigned char* data, ViUInt32 count, ViUInt32* written) {
    int fd;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = sessions.find(s);
        if (it == sessions.end()) return kErrorSession;
        fd = it->second.fd;
    }
    ViUInt32 done = 0;
    while (done < count) {
        const ssize_t w = ::send(fd, data + done, count - done, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (written) *written = done;
            return kErrorConnLost;
        }
        done += static_cast<ViUInt32>(w);
    }
    if (written) *written = done;
    return kSuccess;
}

EXPORT ViStatus viRead(ViSession s, unsigned char* buffer, ViUInt32 count, ViUInt32* got) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = sessions.find(s);
    if (it == sessions.end()) return kErrorSession;
    Session& ses = it->second;
    *got = 0;
    for (;;) {
        if (!ses.rx.empty()) {
            std::size_t n = std::min<std::size_t>(count, ses.rx.size());
            ViStatus st = n == count ? kMaxCount : kSuccess;
            if (ses.termEnabled) {
                const std::size_t at = ses.rx.find(ses.term);
                if (at != std::string::npos && at < n) {
                    n = at + 1;
                    st = kTermChar;
                }
            }
            if (st != kSuccess || n == ses.rx.size()) {
                std::memcpy(buffer, ses.rx.data(), n);
                ses.rx.erase(0, n);
                *got = static_cast<ViUInt32>(n);
                return st;
            }
        }
        pollfd p{ses.fd, POLLIN, 0};
        const int r = ::poll(&p, 1, ses.timeoutMs);
        if (r == 0) return kErrorTimeout;
        char chunk[65536];
        const ssize_t n = ::read(ses.fd, chunk, sizeof chunk);
        if (n <= 0) return kErrorConnLost;
        ses.rx.append(chunk, static_cast<std::size_t>(n));
    }
}

EXPORT ViStatus viGpibControlREN(ViSession, std::uint16_t mode) {
    logLine("viGpibControlREN " + std::to_string(mode));
    return kSuccess;
}

EXPORT ViStatus viStatusDesc(ViSession, ViStatus status, char* text) {
    const char* d = status == kErrorTimeout   ? "VI_ERROR_TMO: Timeout expired before operation completed."
                    : status == kErrorResource ? "VI_ERROR_RSRC_NFOUND: Insufficient location information."
                    : status == kErrorConnLost ? "VI_ERROR_CONN_LOST: The connection was lost."
                                               : "Unknown status.";
    std::snprintf(text, 256, "%s", d);
    return kSuccess;
}
