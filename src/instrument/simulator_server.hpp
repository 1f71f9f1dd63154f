// The simulated instrument on the loopback address and on a pseudo-terminal,
// served by one background thread, with fault options for tests.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "instrument/simulator.hpp"

namespace tolvane {

struct SimulatorFaults {
    int replyDelayMs = 0;              // each reply is sent this late
    std::size_t closeAfterBytes = 0;   // close a connection after it sent this many bytes (0: never)
    bool garbage = false;              // every reply is replaced by unreadable bytes
    bool neverAnswer = false;          // no reply is ever sent
    int faultyConnections = 0;         // the faults apply to the first k TCP connections (0: to all)
};

class SimulatorServer {
public:
    SimulatorServer(SimulatorOptions options, SimulatorFaults faults);
    ~SimulatorServer();
    SimulatorServer(const SimulatorServer&) = delete;
    SimulatorServer& operator=(const SimulatorServer&) = delete;

    // Listens on 127.0.0.1:`port` (0: any free port) and, when `pty`, on a
    // new pseudo-terminal; then serves until stop(). False, with the reason
    // in `error`, when it cannot start.
    bool start(int port, bool pty, std::string& error);
    void stop();

    int port() const { return port_; }
    const std::string& ptyPath() const { return ptyPath_; }

    // Runs `f` on the instrument while the server is not touching it.
    template <typename F>
    auto withInstrument(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(instrument_);
    }
    // Called (on the server thread) with every command the instrument logs.
    void setLogListener(std::function<void(const std::string&)> listener);
    // Number of TCP connections accepted so far.
    int connections() const { return accepted_.load(); }
    // Waits up to `timeoutMs` until every TCP connection has been closed by
    // its controller and all it sent has been taken; false on time-out.
    bool waitUntilIdle(int timeoutMs) const;

private:
    void run();

    SimulatedInstrument instrument_;
    SimulatorFaults faults_;
    std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int ptyMaster_ = -1;
    int port_ = 0;
    std::string ptyPath_;
};

}  // namespace tolvane
