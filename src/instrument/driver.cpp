#include "instrument/driver.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "instrument/scpi_block.hpp"

namespace tolvane {

struct Driver::Session {
    std::unique_ptr<Transport> link;
    std::string rx;  // bytes read beyond the last reply
};

namespace {

std::string quoted(std::string_view text) { return "\"" + shownText(std::string(text)) + "\""; }

// The reply of *OPC? once the instrument has taken everything.
bool isOpcDone(const std::string& reply) {
    std::string t = reply;
    t.erase(std::remove_if(t.begin(), t.end(), [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; }), t.end());
    return t == "1" || t == "+1";
}

// The error number at the start of a :SYST:ERR? reply ("+0,\"No error\"").
bool errorCode(const std::string& reply, long& code) {
    std::size_t i = 0;
    while (i < reply.size() && reply[i] == ' ') ++i;
    const char* begin = reply.c_str() + i;
    char* end = nullptr;
    code = std::strtol(begin, &end, 10);
    if (end == begin) return false;
    while (*end == ' ') ++end;
    return *end == ',' || *end == '\0';
}

}  // namespace

Driver::Driver() = default;
Driver::~Driver() = default;

Driver& instrumentDriver() {
    static Driver driver;
    return driver;
}

std::string Driver::key(const Connection& c) const {
    switch (busOf(c)) {
    case Bus::Tcpip:
        return "TCPIP|" + c.tcpip.address;
    case Bus::Rs232: {
        const auto it = serialDevices_.find(c.rs232.port);
        return "RS232|" + serialDevicePath(c.rs232.port, it == serialDevices_.end() ? "" : it->second) + "|" +
               std::to_string(c.rs232.baudrate) + "|" + c.rs232.handshake;
    }
    case Bus::Gpib:
        return "GPIB|" + std::to_string(c.gpib.board) + "|" + std::to_string(c.gpib.primary) + "|" +
               std::to_string(c.gpib.secondary);
    case Bus::Unknown:
        break;
    }
    return "?|" + c.type;
}

int Driver::timeoutFor(const Connection& c) const {
    const auto it = timeouts_.find(key(c));
    return it == timeouts_.end() ? defaultTimeoutMs_ : it->second;
}

void Driver::drop(const Connection& c) { sessions_.erase(key(c)); }

void Driver::closeAll() { sessions_.clear(); }

IoResult Driver::fail(const Connection& c, int status, const std::string& what) {
    drop(c);
    return {status, what};
}

Driver::Session* Driver::session(const Connection& c, IoResult& failure) {
    const std::string k = key(c);
    if (auto it = sessions_.find(k); it != sessions_.end()) return it->second.get();
    auto s = std::make_unique<Session>();
    LinkResult r;
    const int timeout = timeoutFor(c);
    switch (busOf(c)) {
    case Bus::Tcpip:
        r = openTcpTransport(c.tcpip.address, timeout, s->link);
        break;
    case Bus::Rs232: {
        const auto it = serialDevices_.find(c.rs232.port);
        r = openSerialTransport(serialDevicePath(c.rs232.port, it == serialDevices_.end() ? "" : it->second),
                                c.rs232.baudrate, c.rs232.handshake, s->link);
        break;
    }
    case Bus::Gpib:
        r = openGpibTransport(c.gpib, timeout, s->link);
        break;
    case Bus::Unknown:
        r = {kIoBadRequest, "the connection type \"" + c.type + "\" is not GPIB, TCPIP or RS232"};
        break;
    }
    if (!r.ok()) {
        failure = {r.status, "No connection to " + addressText(c) + ": " + r.error + "."};
        return nullptr;
    }
    Session* raw = s.get();
    sessions_[k] = std::move(s);
    return raw;
}

IoResult Driver::writeMessage(const Connection& c, Session& s, const std::string& bytes) {
    const LinkResult r = s.link->write(bytes.data(), bytes.size(), timeoutFor(c), true);
    if (!r.ok()) return fail(c, r.status, "Sending " + quoted(bytes.substr(0, bytes.size() - 1)) + " failed: " + r.error + ".");
    return {};
}

IoResult Driver::readReply(const Connection& c, Session& s, std::string_view query, std::string& reply) {
    using clock = std::chrono::steady_clock;
    const int timeout = timeoutFor(c);
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout);
    ReplyReader reader;
    std::string buffer(64 * 1024, '\0');
    for (;;) {
        if (!s.rx.empty()) {
            const std::size_t used = reader.feed(s.rx.data(), s.rx.size());
            s.rx.erase(0, used);
        }
        if (reader.state() == ReplyReader::State::Done) {
            reply = reader.reply();
            return {};
        }
        if (reader.state() == ReplyReader::State::Failed)
            return fail(c, kIoBadReply, "The reply to " + quoted(query) + " from " + addressText(c) +
                                            " cannot be read: " + reader.error() + ".");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0)
            return fail(c, kIoTimeout, "No answer to " + quoted(query) + " from " + addressText(c) + " within " +
                                           std::to_string(timeout) + " ms.");
        std::size_t got = 0;
        const LinkResult r = s.link->readSome(buffer.data(), buffer.size(), static_cast<int>(left), got);
        if (r.status == kIoTimeout)
            return fail(c, kIoTimeout, "No answer to " + quoted(query) + " from " + addressText(c) + " within " +
                                           std::to_string(timeout) + " ms.");
        if (!r.ok()) return fail(c, r.status, "No answer to " + quoted(query) + ": " + r.error + ".");
        s.rx.append(buffer.data(), got);
    }
}

IoResult Driver::exchange(const Connection& c, std::string_view q) {
    IoResult failure;
    Session* s = session(c, failure);
    if (!s) return failure;
    s->rx.clear();  // bytes nobody asked for are not the answer to this query
    std::string bytes(q);
    if (bytes.empty() || bytes.back() != '\n') bytes.push_back('\n');
    if (IoResult r = writeMessage(c, *s, bytes); !r.ok()) return r;
    std::string reply;
    if (IoResult r = readReply(c, *s, q, reply); !r.ok()) return r;
    return {kIoOk, reply};
}

IoResult Driver::ping(const Connection& c) {
    const IoResult r = exchange(c, "*IDN?");
    if (!r.ok()) return {r.status, "No instrument answered at " + addressText(c) + ". " + r.response};
    return {kIoOk, "Instrument found at " + addressText(c) + ": " + shownText(r.response, 200)};
}

IoResult Driver::send(const Connection& c, std::string_view command) {
    IoResult failure;
    Session* s = session(c, failure);
    if (!s) return failure;
    std::string bytes(command);
    if (bytes.empty() || bytes.back() != '\n') bytes.push_back('\n');
    if (IoResult r = writeMessage(c, *s, bytes); !r.ok()) return r;
    return {kIoOk, "Sent " + quoted(command) + " to " + addressText(c) + "."};
}

IoResult Driver::query(const Connection& c, std::string_view q) { return exchange(c, q); }

IoResult Driver::download(const Connection& c, const std::vector<std::complex<double>>& iq,
                          const MarkerMatrix& markers, const std::string& name) {
    // Everything is checked and encoded before the first byte goes out.
    if (name.empty()) return {kIoBadRequest, "The waveform has no name to be stored under."};
    for (unsigned char ch : name)
        if (ch < 0x20 || ch == 0x7F || ch == '"')
            return {kIoBadRequest, "The waveform name " + quoted(name) +
                                       " cannot be sent: it holds a double quote or a control character."};
    if (iq.empty()) return {kIoBadRequest, "The waveform " + quoted(name) + " has no samples."};
    if (iq.size() > kMaxBlockBytes / 4)
        return {kIoBadRequest, "The waveform " + quoted(name) + " has too many samples for one download (" +
                                   std::to_string(iq.size()) + ")."};
    std::string why;
    std::string samples = ":MMEM:DATA \"WFM1:" + name + "\"," + blockHeader(4 * iq.size());
    samples.reserve(samples.size() + 4 * iq.size() + 1);
    if (!appendWaveformWords(iq, samples, why)) return {kIoBadRequest, "The waveform cannot be sent: " + why + "."};
    samples.push_back('\n');
    std::string marks;
    if (markers.rows * markers.cols > 0) {
        marks = ":MMEM:DATA \"MKR1:" + name + "\"," + blockHeader(iq.size());
        if (!appendMarkerBytes(markers, iq.size(), marks, why))
            return {kIoBadRequest, "The markers cannot be sent: " + why + "."};
        marks.push_back('\n');
    }

    IoResult failure;
    Session* s = session(c, failure);
    if (!s) return failure;
    const std::size_t total = samples.size() + marks.size();
    std::size_t sent = 0;
    if (progress_ && !progress_(0, total))
        return fail(c, kIoCancelled, "Download cancelled before the first byte was sent.");
    for (const std::string* message : {&samples, &marks}) {
        for (std::size_t at = 0; at < message->size();) {
            const std::size_t n = std::min(chunk_, message->size() - at);
            const LinkResult r = s->link->write(message->data() + at, n, timeoutFor(c), at + n == message->size());
            if (!r.ok())
                return fail(c, r.status, "The download of " + quoted(name) + " to " + addressText(c) + " failed after " +
                                             std::to_string(sent) + " of " + std::to_string(total) +
                                             " bytes: " + r.error + ".");
            at += n;
            sent += n;
            if (progress_ && !progress_(sent, total))
                return fail(c, kIoCancelled, "Download cancelled after " + std::to_string(sent) + " of " +
                                                 std::to_string(total) + " bytes; the instrument's copy of " +
                                                 quoted(name) + " is incomplete.");
        }
    }

    IoResult opc = exchange(c, "*OPC?");
    if (!opc.ok()) return {opc.status, "The download of " + quoted(name) + " was not confirmed. " + opc.response};
    if (!isOpcDone(opc.response))
        return fail(c, kIoBadReply, "The download of " + quoted(name) + " was not confirmed: the instrument answered " +
                                        "\"*OPC?\" with " + quoted(opc.response) + " instead of 1.");
    IoResult err = exchange(c, ":SYST:ERR?");
    if (!err.ok()) return {err.status, "The instrument's error queue could not be read after the download of " +
                                           quoted(name) + ". " + err.response};
    long code = 0;
    if (!errorCode(err.response, code))
        return fail(c, kIoBadReply, "The instrument answered \":SYST:ERR?\" with " + quoted(err.response) +
                                        ", which is not an error entry.");
    if (code != 0)
        return {kIoInstrumentError, "The instrument reported an error after the download of " + quoted(name) + ": " +
                                        shownText(err.response, 200)};
    return {kIoOk, "Downloaded " + quoted(name) + " to " + addressText(c) + ": " + std::to_string(iq.size()) +
                       " samples" + (marks.empty() ? "" : " and markers") + ", " + std::to_string(total) + " bytes."};
}

IoResult Driver::returnLocal(const Connection& c) {
    const std::string k = key(c);
    const auto it = sessions_.find(k);
    if (busOf(c) != Bus::Gpib) {
        if (it != sessions_.end()) sessions_.erase(it);
        return {kIoOk, "Closed the connection to " + addressText(c) + "; its front panel is free."};
    }
    IoResult failure;
    Session* s = session(c, failure);
    if (!s) return failure;
    const LinkResult r = s->link->goToLocal(timeoutFor(c));
    if (!r.ok()) return fail(c, r.status, "Returning " + addressText(c) + " to local failed: " + r.error + ".");
    return {kIoOk, addressText(c) + " is back under front-panel control."};
}

IoResult Driver::setTimeout(const Connection& c, double milliseconds) {
    if (!std::isfinite(milliseconds) || milliseconds < 1)
        return {kIoBadRequest, "The time-out must be a number of milliseconds of at least 1, not " +
                                   std::to_string(milliseconds) + "."};
    const double capped = std::min(milliseconds, double(std::numeric_limits<int>::max() / 2));
    timeouts_[key(c)] = static_cast<int>(std::lround(capped));
    return {kIoOk, "The time-out of " + addressText(c) + " is " + std::to_string(timeouts_[key(c)]) + " ms."};
}

}  // namespace tolvane
