// SCPI over a POSIX serial line: 8 data bits, no parity, one stop bit, the
// configured speed and flow control.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "base/text.hpp"
#include "instrument/fd_transport.hpp"

namespace tolvane {

std::string serialDevicePath(int port, const std::string& overridePath) {
    if (!overridePath.empty()) return overridePath;
    const std::string var = "TOLVANE_SERIAL_PORT" + std::to_string(port);
    if (const char* env = std::getenv(var.c_str()); env && *env) return env;
    return "/dev/ttyS" + std::to_string(port - 1);
}

namespace {

bool speedOf(int baud, speed_t& speed) {
    struct Rate {
        int baud;
        speed_t speed;
    };
    static const Rate rates[] = {{300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
                                 {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
                                 {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},
                                 {921600, B921600}};
    for (const Rate& r : rates)
        if (r.baud == baud) {
            speed = r.speed;
            return true;
        }
    return false;
}

}  // namespace

LinkResult openSerialTransport(const std::string& device, int baudrate, const std::string& handshake,
                               std::unique_ptr<Transport>& out) {
    const std::string name = "RS232 " + device;
    speed_t speed{};
    if (!speedOf(baudrate, speed))
        return {kIoBadRequest, "the serial speed " + std::to_string(baudrate) + " bit/s is not supported"};
    const std::string hs = asciiLower(handshake);
    const bool xon = hs == "xon/xoff";
    const bool rtscts = hs == "rts/cts" || hs == "hardware";
    if (!xon && !rtscts && hs != "none" && !hs.empty())
        return {kIoBadRequest, "the serial handshake \"" + handshake + "\" is not None, Xon/Xoff or RTS/CTS"};
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {kIoUnavailable, "could not open " + name + " (" + std::strerror(errno) + ")"};
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        const int err = errno;
        ::close(fd);
        return {kIoUnavailable, device + " is not a serial line (" + std::strerror(err) + ")"};
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (xon) t.c_iflag |= IXON | IXOFF;
    if (rtscts) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        const int err = errno;
        ::close(fd);
        return {kIoUnavailable, "could not set up " + name + " (" + std::strerror(err) + ")"};
    }
    // Bytes left from an earlier exchange would be taken for replies.
    ::tcflush(fd, TCIFLUSH);
    out = std::make_unique<FdTransport>(fd, false, name);
    return {};
}

}  // namespace tolvane
