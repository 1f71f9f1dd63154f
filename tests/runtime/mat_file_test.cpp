#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/diagnostics.hpp"
#include "runtime/mat_file.hpp"
#include "value_compare.hpp"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

using testing_support::rec;
using testing_support::sameValue;

::testing::AssertionResult sameRecord(const Record& a, const Record& b) {
    if (sameValue(Value::record(a), Value::record(b))) return ::testing::AssertionSuccess();
    auto out = ::testing::AssertionFailure() << "records differ;";
    for (const auto& [name, v] : a.fields())
        if (!b.has(name) || !sameValue(v, b.at(name))) out << " field " << name;
    return out;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

class MatFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tolvane-mat-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name) const { return (dir / name).string(); }

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        return names;
    }

    // Runs a Python script with SciPy; the test fails when it exits non-zero.
    static int python(const std::string& script) {
        const std::string command = "/usr/bin/python3 -c '" + script + "'";
        return std::system(command.c_str());
    }

    fs::path dir;
};

// Every kind a value can take, as written; the record that reads back
// differs only where the file format has no equivalent (see expectedBack).
Record everyKind() {
    Record r;
    r.set("scalar", Value::scalar(-2.5));
    r.set("matrix", Value::matrix(2, 3, {1, 4, 2, 5, 3, 6}));
    r.set("emptyMatrix", Value::empty());
    r.set("column", Value::column({1, nan, inf}));
    r.set("wave", Value::complexRow({{1, -1}, {0.5, 0}, {-inf, nan}}));
    r.set("complexMatrix", Value::complexMatrix(2, 2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}));
    r.set("name", Value::text("OneX-Fwd - Format 1.2"));
    r.set("unicode", Value::text("1 \xc2\xb5s \xe2\x86\x92 \xce\xa9"));
    r.set("emptyText", Value::text(""));
    r.set("parameters",
          rec({{"OverSampling", Value::scalar(4)},
               {"slot", rec({{"DATAslotMod", Value::column({1, 2})}, {"label", Value::text("a")}})},
               {"empty", Value::record()},
               {"unassigned", Value{}}}));
    r.set("list", Value::cell({Value::text("x"), Value::row({1, 2}), rec({{"a", Value::scalar(1)}})}));
    r.set("grid", Value::cellMatrix(2, 2, {Value::scalar(1), Value::scalar(2), Value::text("c"), Value::cell({})}));
    r.set("figure", Value::handle(3));
    return r;
}

Record expectedBack() {
    Record r = everyKind();
    r.at("parameters").setField("unassigned", Value::empty());
    r.set("figure", Value::scalar(3));
    return r;
}

TEST_F(MatFileTest, EveryKindRoundTrips) {
    const std::string path = file("all.mat");
    writeMatFile(path, everyKind());
    // Field order and the order of the variables are kept.
    EXPECT_TRUE(sameRecord(readMatFile(path), expectedBack()));
}

TEST_F(MatFileTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::string path = file("keep.mat");
    Record old;
    old.set("x", Value::scalar(1));
    writeMatFile(path, old);

    // The first variable is fine; the second fails deep inside, after the
    // first has been written.
    Record bad;
    bad.set("a", Value::row({1, 2, 3}));
    bad.set("b", rec({{"inner", rec({{"not a name", Value::scalar(1)}})}}));
    const std::string message = errorOf([&] { writeMatFile(path, bad); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("\"not a name\""), std::string::npos) << message;
    EXPECT_NE(message.find(" b.inner "), std::string::npos) << message;

    EXPECT_TRUE(sameRecord(readMatFile(path), old));
    EXPECT_EQ(filesInDir(), std::vector<std::string>{"keep.mat"});
}

// Record arrays: written as 1 x N struct arrays, read back as every struct
// array is (a cell row of records; one record alone as that record), seen
// by SciPy as struct arrays with the fields in order; a record with other
// fields is refused naming it.
TEST_F(MatFileTest, RecordArraysAreStructArrays) {
    const std::vector<std::string> fields = {"startSlot", "payload"};
    const auto packet = [](double slot, std::vector<double> bits) {
        return Record(rec({{"startSlot", Value::scalar(slot)}, {"payload", Value::row(std::move(bits))}}).rec());
    };
    const std::string path = file("arrays.mat");
    Record vars;
    vars.set("x", Value::scalar(1));
    writeMatFile(path, vars,
                 {{"packets", fields, {packet(1, {1, 0, 1}), packet(5, {0, 0})}},
                  {"one", fields, {packet(9, {1})}},
                  {"none", fields, {}}});
    const Record back = readMatFile(path);
    EXPECT_TRUE(sameValue(back.at("x"), Value::scalar(1)));
    EXPECT_TRUE(sameValue(back.at("packets"),
                          Value::cellMatrix(1, 2, {Value::record(packet(1, {1, 0, 1})), Value::record(packet(5, {0, 0}))})));
    EXPECT_TRUE(sameValue(back.at("one"), Value::record(packet(9, {1}))));
    EXPECT_TRUE(sameValue(back.at("none"), Value::cellMatrix(1, 0, {})));

    const std::string script =
        "import sys, numpy as np, scipy.io as sio\n"
        "m = sio.loadmat(\"" + path + "\")\n"
        "p, n = m[\"packets\"], m[\"none\"]\n"
        "ok = p.shape == (1, 2) and p.dtype.names == (\"startSlot\", \"payload\")\n"
        "ok = ok and p[0, 1][\"startSlot\"][0, 0] == 5 and np.array_equal(p[0, 0][\"payload\"], [[1, 0, 1]])\n"
        "ok = ok and n.shape == (1, 0) and n.dtype.names == (\"startSlot\", \"payload\")\n"
        "sys.exit(0 if ok else 1)\n";
    EXPECT_EQ(python(script), 0);

    Record other = packet(2, {1});
    other.set("extra", Value::scalar(0));
    const std::string message = errorOf([&] { writeMatFile(file("bad.mat"), vars, {{"packets", fields, {other}}}); });
    EXPECT_NE(message.find("packets(1) does not have the fields of the record array"), std::string::npos) << message;
}

// A file cut short is refused rather than read as damaged values.
TEST_F(MatFileTest, ATruncatedFileIsAnError) {
    const std::string path = file("cut.mat");
    Record vars;
    vars.set("list", Value::cell({Value::text("x"), Value::row({1, 2}), rec({{"a", Value::scalar(1)}})}));
    vars.set("wave", Value::complexRow(std::vector<cplx>(100, cplx(1, -1))));
    writeMatFile(path, vars);
    fs::resize_file(path, fs::file_size(path) * 2 / 3);
    const std::string message = errorOf([&] { readMatFile(path); });
    EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
    EXPECT_NE(message.find("truncated"), std::string::npos) << message;
}

TEST_F(MatFileTest, ErrorsNameTheFile) {
    std::ofstream(file("notes.mat")) << "this is not a MAT-file at all, just some text that is long enough\n";
    Record unset;
    unset.set("waveform", Value{});
    Record badName;
    badName.set("1x", Value::scalar(1));
    struct Case {
        std::string path;
        std::function<void()> action;
        std::string fragment;
    } cases[] = {
        {file("missing.mat"), [&] { readMatFile(file("missing.mat")); }, "no such file"},
        {file("notes.mat"), [&] { readMatFile(file("notes.mat")); }, "not a MAT-file"},
        {file("nofolder/x.mat"), [&] { writeMatFile(file("nofolder/x.mat"), Record{}); },
         "the folder \"" + file("nofolder") + "\" does not exist"},
        {file("u.mat"), [&] { writeMatFile(file("u.mat"), unset); }, "\"waveform\" has no value"},
        {file("n.mat"), [&] { writeMatFile(file("n.mat"), badName); }, "\"1x\" is not a valid identifier"},
    };
    for (const auto& c : cases) {
        const std::string message = errorOf(c.action);
        SCOPED_TRACE(message);
        EXPECT_NE(message.find("\"" + c.path + "\""), std::string::npos);
        EXPECT_NE(message.find(c.fragment), std::string::npos);
    }
}

// A file written by SciPy, compressed or not, reads back with the values
// SciPy stored: numeric classes as doubles, logical as 0/1, a struct array
// as a cell of records.
TEST_F(MatFileTest, ReadsAFileWrittenBySciPy) {
    for (const char* compression : {"False", "True"}) {
        SCOPED_TRACE(std::string("compressed: ") + compression);
        const std::string path = file("scipy.mat");
        const std::string script =
            "import numpy as np, scipy.io as sio\n"
            "rec = {\"OverSampling\": 4.0, \"slot\": {\"DATAslotMod\": np.array([[1.0],[2.0]]), \"label\": \"qpsk\"}}\n"
            "sio.savemat(\"" + path + "\", {\n"
            " \"wave\": np.array([[1+2j, 3-4j, -0.5+0j]]),\n"
            " \"parameters\": rec,\n"
            " \"counts\": np.array([[1, -2], [3, 4]], dtype=np.int32),\n"
            " \"flags\": np.array([[True, False, True]]),\n"
            " \"single\": np.float32(0.5),\n"
            " \"name\": \"OneX-Fwd\",\n"
            " \"unicode\": \"1 \\u00b5s\",\n"
            " \"list\": np.array([\"ab\", np.array([[1.0, 2.0]])], dtype=object),\n"
            " \"corrections\": np.array([[{\"rev\": 1.0}, {\"rev\": 2.0}]], dtype=object),\n"
            "}, do_compression=" + compression + ")\n";
        ASSERT_EQ(python(script), 0);

        Record expected;
        expected.set("wave", Value::complexRow({{1, 2}, {3, -4}, {-0.5, 0}}));
        expected.set("parameters", rec({{"OverSampling", Value::scalar(4)},
                                        {"slot", rec({{"DATAslotMod", Value::column({1, 2})},
                                                      {"label", Value::text("qpsk")}})}}));
        expected.set("counts", Value::matrix(2, 2, {1, 3, -2, 4}));
        expected.set("flags", Value::row({1, 0, 1}));
        expected.set("single", Value::scalar(0.5));
        expected.set("name", Value::text("OneX-Fwd"));
        expected.set("unicode", Value::text("1 \xc2\xb5s"));
        expected.set("list", Value::cell({Value::text("ab"), Value::row({1, 2})}));
        expected.set("corrections", Value::cell({rec({{"rev", Value::scalar(1)}}), rec({{"rev", Value::scalar(2)}})}));

        const Record back = readMatFile(path);
        for (const auto& [name, v] : expected.fields()) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(back.has(name));
            EXPECT_TRUE(sameValue(back.at(name), v));
        }
    }
}

// A file written here loads in SciPy with the same values and field order.
TEST_F(MatFileTest, SciPyReadsAFileWrittenHere) {
    const std::string path = file("tolvane.mat");
    writeMatFile(path, everyKind());
    const std::string script =
        "import sys, math, numpy as np, scipy.io as sio\n"
        "d = sio.loadmat(\"" + path + "\", simplify_cells=True)\n"
        // Text is stored as UTF-16 code units, the standard form; SciPy
        // decodes those with the system codec unless told otherwise.
        "u = sio.loadmat(\"" + path + "\", simplify_cells=True, uint16_codec=\"utf-16-le\")\n"
        "def check(ok, what):\n"
        "    if not ok:\n"
        "        print(\"SciPy check failed:\", what, file=sys.stderr); sys.exit(1)\n"
        "check(d[\"scalar\"] == -2.5, \"scalar\")\n"
        "check(np.array_equal(d[\"matrix\"], [[1,2,3],[4,5,6]]), \"matrix\")\n"
        "check(d[\"emptyMatrix\"].size == 0, \"emptyMatrix\")\n"
        "c = d[\"column\"]; check(c[0] == 1 and math.isnan(c[1]) and c[2] == math.inf, \"column\")\n"
        "w = d[\"wave\"]; check(np.iscomplexobj(w) and w[0] == 1-1j and w[1] == 0.5 and w[2].real == -math.inf"
        " and math.isnan(w[2].imag), \"wave\")\n"
        "check(np.array_equal(d[\"complexMatrix\"], [[1+2j, 5+6j], [3+4j, 7+8j]]), \"complexMatrix\")\n"
        "check(d[\"name\"] == \"OneX-Fwd - Format 1.2\", \"name\")\n"
        "check(u[\"unicode\"] == \"1 \\u00b5s \\u2192 \\u03a9\", \"unicode: %r\" % u[\"unicode\"])\n"
        "p = d[\"parameters\"]\n"
        "check(list(p.keys()) == [\"OverSampling\", \"slot\", \"empty\", \"unassigned\"], \"field order\")\n"
        "check(p[\"OverSampling\"] == 4 and p[\"slot\"][\"label\"] == \"a\", \"parameters\")\n"
        "check(np.array_equal(p[\"slot\"][\"DATAslotMod\"], [1, 2]), \"nested matrix\")\n"
        "l = d[\"list\"]; check(len(l) == 3 and l[0] == \"x\" and np.array_equal(l[1], [1, 2]) and l[2].a == 1,"
        " \"list\")\n"
        "check(d[\"figure\"] == 3, \"figure\")\n";
    EXPECT_EQ(python(script), 0);
}

}  // namespace
}  // namespace tolvane
