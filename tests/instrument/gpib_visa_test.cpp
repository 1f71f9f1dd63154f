// GPIB through a VISA library loaded at run time: the tests' stand-in VISA
// library forwards to the simulated instrument over loopback TCP.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "instrument/driver.hpp"
#include "instrument/jobs.hpp"
#include "instrument/scpi_block.hpp"
#include "instrument/simulator_server.hpp"
#include "../support/temp_dir.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

TEST(GpibThroughVisa, DownloadPlayAndGoToLocal) {
    SimulatorServer server({}, {});
    std::string error;
    ASSERT_TRUE(server.start(0, false, error)) << error;
    const testing_support::TempDir dir;
    ::setenv("TOLVANE_VISA_LIBRARY", TOLVANE_STANDIN_VISA, 1);
    ::setenv("TOLVANE_STANDIN_VISA_TARGET", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
    ::setenv("TOLVANE_STANDIN_VISA_LOG", dir.file("visa.log").c_str(), 1);

    Driver d;
    Connection c;  // GPIB board 0, primary 19 by default
    c.gpib.secondary = 2;
    std::vector<cplx> iq(70000);
    MarkerMatrix m{2, iq.size(), std::vector<double>(2 * iq.size())};
    for (std::size_t k = 0; k < iq.size(); ++k) {
        iq[k] = cplx(std::cos(0.1 * double(k)), std::sin(0.1 * double(k)));
        m.data[2 * k] = k % 3 == 0;
    }
    // The download is larger than one piece of the VISA writes.
    const IoResult r = downloadJob(d, c, iq, m, "gpib wave", 1, {});
    ASSERT_EQ(r.status, 0) << r.response;
    const IoResult p = playJob(d, c, playCommands_c("gpib wave", SigGenSettings{}));
    ASSERT_EQ(p.status, 0) << p.response;
    EXPECT_EQ(d.query(c, "*IDN?").response, "Tolvane,Simulated Signal Generator,US00000001,1.0");

    std::string words, marks, why;
    appendWaveformWords(iq, words, why);
    appendMarkerBytes(m, iq.size(), marks, why);
    server.withInstrument([&](SimulatedInstrument& i) {
        EXPECT_TRUE(i.waveforms().at("gpib wave").samples == words);
        EXPECT_TRUE(i.waveforms().at("gpib wave").markers == marks);
        EXPECT_TRUE(i.errors().empty());
        EXPECT_TRUE(i.settings().arbOn && i.settings().modulation && i.settings().output);
        return 0;
    });
    d.closeAll();
    std::ifstream log(dir.file("visa.log"));
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str(), "viOpen GPIB0::19::2::INSTR\nviGpibControlREN 6\n");
}

}  // namespace
}  // namespace tolvane
