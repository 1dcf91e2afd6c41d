#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flowplots/vectors.h"
#include "mapelements/legend.h"
#include "plot_fixture.h"

using namespace testing_support;

namespace {

// A section of n1 x n2 points 10 m apart (centres at 5, 15, ...).
struct Section {
    int n1, n2, kgrid;
    platform::Field2D<float> U, V;
    std::vector<float> xl, yl, dx, dy;
    Section(int a, int b, int k, float u, float v) : n1(a), n2(b), kgrid(k) {
        U.resize(a + k, b, u);
        V.resize(a, b + k, v);
        for (int i = 0; i < a; ++i) xl.push_back(5.0f + 10.0f * i), dx.push_back(10.0f);
        for (int j = 0; j < b; ++j) yl.push_back(5.0f + 10.0f * j), dy.push_back(10.0f);
    }
    void draw() const { flowplots::PLVEKT(U, V, n1, n2, xl, yl, dx, dy, kgrid); }
};

class Vectors : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        start_graph();  // 0.5 mm per metre
        mapelements::LEGDEF(110.0f, 0.0f, 40.0f, 100.0f, 0.0f);
    }
    // The start of the arrow at (x, y) in the stream.
    static std::string start(float x, float y) { return "PU" + plotter_point(x, y) + ";"; }
    // Whether an arrow runs from (x0, y0) to the tip (x1, y1): the tip follows
    // the start within the arrow's own instructions.
    static bool arrow(const std::string& plot, float x0, float y0, float x1, float y1) {
        const std::string from = start(x0, y0);
        const std::size_t at = plot.find(from);
        if (at == std::string::npos) return false;
        const std::size_t body = at + from.size();
        const std::size_t next = plot.find("PU", body);
        return plot.substr(body, next == std::string::npos ? std::string::npos : next - body)
                   .find(plotter_point(x1, y1)) != std::string::npos;
    }
};

TEST_F(Vectors, SlowPointsGetNoArrowOnlyTheReferenceArrow) {
    Section s(3, 3, 0, 0.005f, 0.0f);
    answer("\n\n");
    s.draw();
    // No wind worth an arrow: the proposed scale is the 1000 m per m/s of an empty field.
    EXPECT_NE(out().find(" Skalierung der Pfeillänge, Wert in m/(m/s) [1000]: "), std::string::npos) << out();
    const std::string plot = finish();
    for (float x : s.xl)
        for (float y : s.yl) EXPECT_EQ(plot.find(start(x, y)), std::string::npos);
    EXPECT_NE(out().find(" LEGPFL-I-Skalierungspfeil für"), std::string::npos);
}

TEST_F(Vectors, DefaultScaleIsTheSmallestCrossingTime) {
    Section s(4, 3, 0, 2.0f, 1.0f);
    answer("0\n\n");  // 0 keeps the proposal
    s.draw();
    EXPECT_NE(out().find(" - PLVEKT -   4   3"), std::string::npos) << out();
    EXPECT_NE(out().find(" Skalierung der Pfeillänge, Wert in m/(m/s) [   5]: "), std::string::npos);
    EXPECT_NE(out().find(" 1m/s entspricht in der Darstellung   5.0m"), std::string::npos);
    EXPECT_NE(out().find(" Nur jeden n-ten Vektor zeichnen (N>1): "), std::string::npos);
    const std::string plot = finish();
    // Every point gets its arrow: 2 m/s x 5 m per m/s along x, 1 x 5 along y.
    for (float x : s.xl)
        for (float y : s.yl) {
            EXPECT_TRUE(arrow(plot, x, y, x + 10.0f, y + 5.0f)) << x << "," << y;
        }
}

TEST_F(Vectors, StaggeredComponentsAreAveragedToThePoints) {
    Section s(3, 1, 1, 0.0f, 0.0f);
    for (int i = 1; i <= 4; ++i) s.U(i, 1) = static_cast<float>(i - 1);  // faces 0, 1, 2, 3 m/s
    answer("4\n\n");
    s.draw();
    const std::string plot = finish();
    // Point 2 lies between the faces of 1 and 2 m/s: 1.5 m/s x 4 = 6 m.
    EXPECT_TRUE(arrow(plot, 15.0f, 5.0f, 21.0f, 5.0f));
    EXPECT_TRUE(arrow(plot, 5.0f, 5.0f, 7.0f, 5.0f));
    EXPECT_FALSE(arrow(plot, 5.0f, 5.0f, 5.0f, 5.0f));
}

TEST_F(Vectors, ThinningDrawsEveryNthPoint) {
    Section s(10, 10, 0, 1.0f, 0.0f);
    answer("4\n3\n");
    s.draw();
    const std::string plot = finish();
    int drawn = 0;
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i) {
            const bool expected = i % 3 == 0 && j % 3 == 0;
            const bool found = plot.find(start(s.xl[i], s.yl[j])) != std::string::npos;
            EXPECT_EQ(found, expected) << i + 1 << "," << j + 1;
            drawn += found;
        }
    EXPECT_EQ(drawn, 16);  // points 1, 4, 7, 10 in each direction
}

TEST_F(Vectors, ThinningStepsBelowTwoDrawEveryPoint) {
    Section s(3, 3, 0, 1.0f, 0.0f);
    answer("4\n-4\n");
    s.draw();
    const std::string plot = finish();
    for (float x : s.xl)
        for (float y : s.yl) EXPECT_NE(plot.find(start(x, y)), std::string::npos);
}

TEST_F(Vectors, FlowAgainstBothAxesAsksNoThinningQuestion) {
    Section s(3, 3, 0, -2.0f, -1.0f);
    answer("\n");
    s.draw();
    EXPECT_EQ(out().find("Nur jeden n-ten"), std::string::npos);
}

TEST_F(Vectors, LongReferenceArrowIsHalvedForTheRestOfTheRun) {
    Section s(2, 2, 0, 1.0f, 0.0f);
    // 80 m per m/s: the 2 m/s arrow would be 80 mm long in a 40 mm legend.
    answer("80\n\n");
    s.draw();
    EXPECT_NE(out().find(" LEGPFL-I-Pfeil neu skaliert - Faktor 0.250"), std::string::npos) << out();
    EXPECT_NE(out().find(" LEGPFL-I-Skalierungspfeil für   0.5m/s gezeichnet"), std::string::npos);
    EXPECT_FLOAT_EQ(flowplots::reference_arrow().fred, 0.25f);
    // The next reference arrow keeps the factor and the label column.
    const float column = flowplots::reference_arrow().XTXT;
    answer("5\n\n");
    s.draw();
    EXPECT_FLOAT_EQ(flowplots::reference_arrow().fred, 0.25f);
    EXPECT_FLOAT_EQ(flowplots::reference_arrow().XTXT, column);
}

TEST_F(Vectors, ReferenceArrowMovesTheLegendLineDown) {
    mapelements::LegendState& leg = mapelements::RRLEGP();
    const float before = leg.YLEGP;
    flowplots::LEGPFL(2.0f, 5.0f, "m/s", 0.0f);
    EXPECT_LT(leg.YLEGP, before);
    EXPECT_GT(leg.XBORD, leg.XLEG + leg.XLSEP + 5.0f);  // arrow (5 mm) and label
}

// The label states the speed the drawn arrow stands for after 0 to 3 halvings.
struct Halving {
    float scale;  // m per m/s; the plot has 0.5 mm per metre, the legend is 40 mm wide
    float factor;
    const char* label;
    const char* console;
};

class ReferenceLabel : public Vectors, public ::testing::WithParamInterface<Halving> {};

TEST_P(ReferenceLabel, NamesTheSpeedOfTheDrawnArrow) {
    const Halving h = GetParam();
    flowplots::LEGPFL(2.0f, h.scale, "m/s", 0.0f);
    EXPECT_FLOAT_EQ(flowplots::reference_arrow().fred, h.factor);
    EXPECT_EQ(flowplots::reference_label(2.0f * h.factor, "m/s"), h.label);
    EXPECT_NE(out().find(std::string(" LEGPFL-I-Skalierungspfeil für") + h.console + "m/s gezeichnet"), std::string::npos)
        << out();
}

INSTANTIATE_TEST_SUITE_P(Halvings, ReferenceLabel,
                         ::testing::Values(Halving{10.0f, 1.0f, "2 m/s", "     2"},
                                           Halving{30.0f, 0.5f, "1 m/s", "     1"},
                                           Halving{60.0f, 0.25f, "0.5 m/s", "   0.5"},
                                           Halving{120.0f, 0.125f, "0.25 m/s", "  0.25"},
                                           Halving{240.0f, 0.0625f, "0.125 m/s", " 0.125"}));

}  // namespace
