#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/library.hpp"
#include "runtime/registry.hpp"

namespace tolvane {
namespace {

// A registry with a few shapes of function: fixed counts, a variable input
// list, a local function, and a body that leaves its output unassigned.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        FunctionSpec frame{"Frame", 18, 2, {}, {"waveform", "events"}, 1,
                           [this](Call& c) {
                               ++ran;
                               seenNargin = c.nargin();
                               seenNargout = c.nargout();
                               c.setOut(0, Value::scalar(1));
                               c.setOut(1, Value::scalar(2));
                           }};
        reg.add(frame);
        FunctionSpec var{"VarIn", -2, 1, {"type", "varargin"}, {"bits"}, 1, [this](Call& c) {
                             surplus = c.varargin().size();
                             if (c.has(0) && c.in(0).realAt(0) == 1) c.setOut(0, Value::scalar(5));
                         }};
        reg.add(var);
        FunctionSpec local{"Calculate", 0, 0, {}, {}, 467, [](Call&) {}};
        reg.addLocal("OneX_Fwd_GUI_c", local);
        FunctionSpec reader{"Reader", 2, 1, {"first", "second"}, {"out"}, 1,
                            [](Call& c) { c.setOut(0, c.in(1)); }};
        reg.add(reader);
        previous = setWarningSink([this](const std::string& w) { warnings.push_back(w); });
    }
    void TearDown() override { setWarningSink(previous); }

    std::vector<Value> args(std::size_t n) { return std::vector<Value>(n, Value::scalar(0)); }

    Registry reg;
    WarningSink previous;
    std::vector<std::string> warnings;
    int ran = 0, seenNargin = -1, seenNargout = -1;
    std::size_t surplus = 99;
};

TEST_F(RegistryTest, CountMessagesAreExactAndOutputsAreCheckedFirst) {
    struct Case {
        std::string name;
        int nargout;
        std::size_t nargin;
        std::string message;
    } cases[] = {
        {"Frame", 1, 19,
         "Run-time Error: File: Frame Line: 1 Column: 1 The function \"Frame\" was called with more than the "
         "declared number of inputs (18)."},
        {"Frame", 3, 2,
         "Run-time Error: File: Frame Line: 1 Column: 1 The function \"Frame\" was called with more than the "
         "declared number of outputs (2)."},
        {"Frame", 3, 19,  // both violated: outputs are reported
         "Run-time Error: File: Frame Line: 1 Column: 1 The function \"Frame\" was called with more than the "
         "declared number of outputs (2)."},
        {"OneX_Fwd_GUI_c/Calculate", 0, 1,
         "Run-time Error: File: OneX_Fwd_GUI_c/Calculate Line: 467 Column: 1 The function "
         "\"OneX_Fwd_GUI_c/Calculate\" was called with more than the declared number of inputs (0)."},
    };
    for (const auto& c : cases) {
        try {
            reg.call(c.name, c.nargout, args(c.nargin));
            ADD_FAILURE() << "no error for " << c.name;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
    EXPECT_EQ(ran, 0) << "a count violation must not reach the body";
}

TEST_F(RegistryTest, ZeroOutputsStillDeliversTheFirstResult) {
    auto out = reg.call("Frame", 0, args(3));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], Value::scalar(1));
    EXPECT_EQ(seenNargin, 3);
    EXPECT_EQ(seenNargout, 0);
    out = reg.call("Frame", 2, {});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], Value::scalar(2));
}

TEST_F(RegistryTest, VariableListGathersSurplusAndUnassignedOutputWarns) {
    auto out = reg.call("VarIn", 1, args(40));
    EXPECT_EQ(surplus, 39u);
    EXPECT_FALSE(out[0].isSet());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"bits\""), std::string::npos);
    EXPECT_NE(warnings[0].find("\"VarIn\""), std::string::npos);

    warnings.clear();
    reg.call("VarIn", 0, args(1));  // not asked for: no warning
    EXPECT_TRUE(warnings.empty());
}

TEST_F(RegistryTest, ReadingAnAbsentInputNamesIt) {
    try {
        reg.call("Reader", 1, args(1));
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_NE(std::string(e.what()).find("\"second\""), std::string::npos) << e.what();
    }
    try {
        reg.call("NoSuchFunction", 1, {});
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_NE(std::string(e.what()).find("NoSuchFunction"), std::string::npos);
    }
}

TEST(LibraryTest, InitializeDeclaresThirteenGlobalsAndTerminateReleases) {
    Library lib;
    lib.initialize();
    for (const auto& name : globalNames()) {
        EXPECT_TRUE(lib.globals().declared(name)) << name;
        EXPECT_FALSE(lib.globals().get(name).isSet()) << name;
    }
    EXPECT_EQ(globalNames().size(), 13u);
    lib.terminate();
    EXPECT_FALSE(lib.globals().declared("parameters"));
    EXPECT_TRUE(lib.registry().names().empty());
}

// A front end's functions come with every initialisation, including one
// after termination, and at once when the library is already running.
TEST(LibraryTest, ExtensionsRegisterAtEveryInitialisation) {
    Library lib;
    int runs = 0;
    auto registrar = [&runs](Library& l) {
        ++runs;
        FunctionSpec f;
        f.name = "FrontEndEntry";
        f.body = [](Call&) {};
        l.registry().add(std::move(f));
    };
    lib.addExtension(registrar);
    EXPECT_EQ(runs, 0);
    lib.initialize();
    EXPECT_TRUE(lib.registry().contains("FrontEndEntry"));
    EXPECT_TRUE(lib.registry().contains("GenerateBitStream"));
    lib.terminate();
    EXPECT_FALSE(lib.registry().contains("FrontEndEntry"));
    lib.initialize();
    EXPECT_TRUE(lib.registry().contains("FrontEndEntry"));
    EXPECT_EQ(runs, 2);

    Library running;
    running.initialize();
    running.addExtension(registrar);
    EXPECT_TRUE(running.registry().contains("FrontEndEntry"));
    EXPECT_EQ(runs, 3);
}

}  // namespace
}  // namespace tolvane
