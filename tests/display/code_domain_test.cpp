// The code-domain power display: which bar each MAC index becomes, where the
// floor lies, and the table beside the bars.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "display/code_domain.hpp"

using namespace tolvane::display;

namespace {

CodeDomainView viewWithLevels() {
    CodeDomainView v;
    v.macIndexDb.fill(-200);  // far below the floor
    v.macIndexDb[4] = -3.5;   // RA: even, in-phase
    v.macIndexDb[7] = -12.25;  // odd, quadrature
    v.macIndexDb[62] = -45;
    v.macIndexDb[63] = -std::numeric_limits<double>::infinity();
    v.macIndexDb[10] = std::numeric_limits<double>::quiet_NaN();
    v.pnOffset = 137;
    v.frequencyErrorHz = -12.34;
    v.rhoPilot = 0.999876;
    v.rhoMac = 0.99912;
    v.rhoOverall = 0.9991;
    v.evmRmsPercent = 0.5;
    return v;
}

}  // namespace

TEST(CodeDomainFigure, EvenIndicesAreInPhaseBarsAndOddOnesQuadratureBarsFromTheFloor) {
    const Figure f = codeDomainFigure(Placement{}, "(label)", viewWithLevels());
    EXPECT_EQ(f.name, "Code Domain Power (label)");
    ASSERT_EQ(f.axes.size(), 1u);
    const Axes& a = f.axes[0];
    EXPECT_EQ(a.tag, "QV_CodeDomain");
    ASSERT_EQ(a.traces.size(), 2u);
    const Trace& i = a.traces[0];
    const Trace& q = a.traces[1];
    for (const Trace* t : {&i, &q}) {
        EXPECT_EQ(t->kind, TraceKind::Bars);
        EXPECT_EQ(t->barBase, kCodeDomainFloorDb);
        ASSERT_EQ(t->x.size(), 32u);
        ASSERT_EQ(t->y.size(), 32u);
    }
    EXPECT_EQ(i.color.b, 1.0);
    EXPECT_EQ(i.color.r, 0.0);
    EXPECT_EQ(q.color.r, 1.0);
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(i.x[static_cast<std::size_t>(k)], 2 * k);
        EXPECT_EQ(q.x[static_cast<std::size_t>(k)], 2 * k + 1);
    }
    // Levels as given; below the floor, -Inf and NaN all sit on the floor.
    EXPECT_EQ(i.y[2], -3.5);
    EXPECT_EQ(q.y[3], -12.25);
    EXPECT_EQ(i.y[31], -45);
    EXPECT_EQ(q.y[31], kCodeDomainFloorDb);
    EXPECT_EQ(i.y[5], kCodeDomainFloorDb);
    EXPECT_EQ(i.y[0], kCodeDomainFloorDb);
    EXPECT_EQ(a.y.min, kCodeDomainFloorDb);
    EXPECT_LE(a.x.min, -0.5);
    EXPECT_GE(a.x.max, 63.5);
}

TEST(CodeDomainFigure, TheTableShowsTheMeasurementsAndDashesForMissingParts) {
    const auto lines = codeDomainTable(viewWithLevels());
    const std::string all = [&] {
        std::string s;
        for (const auto& l : lines) s += l + "\n";
        return s;
    }();
    EXPECT_NE(all.find("PN offset    137\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Freq error   -12.3 Hz\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Rho pilot    0.99988\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Rho data     -\n"), std::string::npos) << all;
    EXPECT_NE(all.find("EVM rms      0.50 %\n"), std::string::npos) << all;
    const Figure f = codeDomainFigure(Placement{}, "", viewWithLevels());
    ASSERT_EQ(f.texts.size(), 1u);
    EXPECT_EQ(f.texts[0].lines, lines);
    // The table lies right of the plot box.
    const auto& p = f.axes[0].position;
    EXPECT_GT(f.texts[0].left, p[0] + p[2]);
}
