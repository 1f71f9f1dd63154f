// The setup windows (slot setup, RPC setup, connection dialog) on the
// scenario platform (scenario_platform.hpp), opened from the layouts of the
// program, with a stand-in main window (data/setup_host.ui) whose buttons
// call each window's run() and print the answer and the returned record on
// the console, taking the record over only on "OK" as the main window does.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include "app/scripting/script_runner.hpp"
#include "app/windows/rpc_setup.hpp"
#include "app/windows/sig_gen_connection.hpp"
#include "app/windows/slot_setup.hpp"
#include "base/diagnostics.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/library.hpp"
#include "scenario_platform.hpp"

namespace tolvane::app::test {

inline std::string programLayouts() { return TOLVANE_LAYOUT_DIR; }
inline std::string hostLayouts() { return std::string(TOLVANE_TEST_DATA_DIR) + "/../app/data"; }

// Numbers separated by blanks.
inline std::string joinNumbers(const std::vector<double>& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i) out += ' ';
        out += numberText(v[i]);
    }
    return out;
}

inline std::string numbers(const Value& v) {
    std::vector<double> all;
    for (std::size_t i = 0; i < v.numel(); ++i) all.push_back(v.realAt(i));
    return joinNumbers(all);
}

inline std::string fieldNames(const Value& record) {
    std::string out;
    for (const auto& [name, v] : record.rec().fields()) out += (out.empty() ? "" : ",") + name;
    return out;
}

struct SetupWindows {
    ScenarioPlatform platform{{programLayouts(), hostLayouts()}};
    WindowId host = 0;
    RpcSetup rpc{platform};
    SlotSetup slot{platform, rpc};
    SigGenConnection connection{platform};

    // What the stand-in main window keeps.
    Value slotRecord = SlotSetup::defaultSlotStruct();
    Value chnRecord = RpcSetup::defaultChnStruct();
    double rpcSlot = 5;
    Value configuration = defaultConnectionValue();
    Value configurationSA = defaultConnectionValue();
    std::string generation = "c";

    SetupWindows() {
        library().initialize();
        host = platform.openLayout("setup_host");
        rpc.InitializeFigure(RpcSetup::load(platform, host));
        slot.InitializeFigure(SlotSetup::load(platform, host));
        platform.setDispatcher(host, [this](const CallbackEvent& e) {
            try {
                hostCallback(e);
            } catch (const Error& err) {
                platform.console(err.what());
            }
        });
        platform.set(host, "setupHost", "Visible", Value::text("on"));
    }

    void hostCallback(const CallbackEvent& e) {
        if (e.operation == "pbSlotSetup_Callback") {
            const auto [response, edited] = slot.run(slotRecord);
            if (response == "OK") slotRecord = edited;
            platform.console("slot setup " + response);
            for (const char* f : {"DATAslotActive", "DATAslotMod", "RAslotActive", "RAslotValue", "RAslotGain",
                                  "RPCslotActiveChn"})
                platform.console(std::string(f) + ": " + numbers(slotRecord.field(f)));
        } else if (e.operation == "pbRpcSetup_Callback") {
            const auto [response, edited] = rpc.run(chnRecord, rpcSlot);
            if (response == "OK") chnRecord = edited;
            platform.console("rpc setup " + response);
            for (const char* f : {"Active", "Value", "Gain"})
                platform.console(std::string(f) + ": " + numbers(chnRecord.field(f)));
        } else if (e.operation == "pbSigGenIO_Callback") {
            // The record the dialog returned, whatever the answer; kept on OK.
            const auto [response, returned] = connection.run(host, configuration, generation);
            if (response == "OK") configuration = returned;
            printConnection("connection " + response, returned);
        } else if (e.operation == "pbSpecAnIO_Callback") {
            const auto [response, returned] = connection.run(host, configurationSA, "Spectrum Analyzer");
            if (response == "OK") configurationSA = returned;
            printConnection("spectrum analyzer connection " + response, returned);
        }
    }

    void printConnection(const std::string& head, const Value& c) {
        const Value& g = c.field("GPIB");
        const Value& s = c.field("RS232");
        const Value& t = c.field("TCPIP");
        platform.console(head + ": " + c.field("type").str() + " GPIB " + numbers(g.field("board")) + "/" +
                         numbers(g.field("primary")) + "/" + numbers(g.field("secondary")) + " RS232 " +
                         numbers(s.field("port")) + "/" + numbers(s.field("baudrate")) + "/" +
                         s.field("handshake").str() + " TCPIP " + t.field("address").str() + "/" +
                         numbers(t.field("board")));
        platform.console("fields: " + fieldNames(c));
    }

    ScriptRunner runner() {
        return ScriptRunner(platform, [this](const std::string& name) -> WindowId {
            if (name == "host") return host;
            if (name == "slot") return slot.window();
            if (name == "rpc") return rpc.window();
            if (name == "connection") return platform.findWindow(SigGenConnection::kWindowTag);
            throw ScriptFault("unknown window '" + name + "'");
        });
    }

    // Runs the script from the host window; returns the transcript lines it
    // added. A script fault fails the test.
    std::vector<std::string> run(const std::string& script) {
        const std::size_t before = platform.transcript().size();
        ScriptRunner r = runner();
        r.address(host);
        std::istringstream in(script);
        try {
            r.run(readScript(in));
        } catch (const ScriptError& e) {
            ADD_FAILURE() << "script fault: " << e.what();
        }
        return {platform.transcript().begin() + static_cast<std::ptrdiff_t>(before), platform.transcript().end()};
    }
};

// The expected lines appear in the transcript in this order (other lines
// may come between them).
inline ::testing::AssertionResult linesInOrder(const std::vector<std::string>& transcript,
                                               const std::vector<std::string>& expected) {
    std::size_t at = 0;
    for (const std::string& line : expected) {
        while (at < transcript.size() && transcript[at] != line) ++at;
        if (at == transcript.size()) {
            std::string all;
            for (const auto& t : transcript) all += "\n  " + t;
            return ::testing::AssertionFailure() << "missing (in order): " << line << "\ntranscript:" << all;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

// A table row: a script and the lines it must show.
struct ScriptCase {
    const char* name;
    std::string script;
    std::vector<std::string> lines;
};
// Test names print the case's name, not its bytes.
inline void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.name; }

}  // namespace tolvane::app::test
