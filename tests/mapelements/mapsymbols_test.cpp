#include <gtest/gtest.h>

#include "mapelements/legend.h"
#include "mapelements/mapsymbols.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;
using namespace mapelements;

namespace {

std::string mm(float x, float y) {
    int ix, iy;
    velin::MM2ABS(x, y, ix, iy);
    return std::to_string(ix) + "," + std::to_string(iy);
}

class MapSymbols : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        start_graph();  // 0.5 mm per metre
        velin::NOCHEK();
    }
};

TEST_F(MapSymbols, ScaleBarWidth) {
    EXPECT_FLOAT_EQ(XSKALA(100.0f, 'B'), 50.0f);
    const std::string label = "100 m";
    EXPECT_FLOAT_EQ(XSKALA(100.0f, 't'),
                    50.0f + 0.5f * velin::XMESS("0", 1) + 0.6f * velin::XMESS(label, 5));
}

TEST_F(MapSymbols, ScaleBarWithSections) {
    MSKALA(10.0f, 10.0f, 'L', 100.0f, 2.0f, 4);
    const std::string plot = finish();
    // Middle lines of sections 1 and 3, dividers at the right end of every section.
    EXPECT_NE(plot.find("PU" + mm(10.0f, 11.0f) + ";PD" + mm(22.5f, 11.0f)), std::string::npos);
    EXPECT_NE(plot.find("PU" + mm(35.0f, 11.0f) + ";PD" + mm(47.5f, 11.0f)), std::string::npos);
    EXPECT_EQ(plot.find("PU" + mm(22.5f, 11.0f) + ";PD" + mm(35.0f, 11.0f)), std::string::npos);
    for (float x : {22.5f, 35.0f, 47.5f, 60.0f})
        EXPECT_NE(plot.find("PU" + mm(x, 10.0f) + ";PD" + mm(x, 12.0f)), std::string::npos) << x;
    EXPECT_GE(RRLEGP().XBORD, 60.0f);
}

TEST_F(MapSymbols, ScaleBarAlignment) {
    MSKALA(50.0f, 10.0f, 'M', 100.0f, 2.0f, 2);
    MSKALA(50.0f, 30.0f, 'r', 100.0f, 2.0f, 1);
    MSKALA(50.0f, 50.0f, 'x', 10.0f, 2.0f, 0);
    const std::string plot = finish();
    EXPECT_NE(plot.find("PU" + mm(25.0f, 11.0f) + ";PD" + mm(50.0f, 11.0f)), std::string::npos);
    EXPECT_NE(plot.find("PU" + mm(0.0f, 31.0f) + ";PD" + mm(50.0f, 31.0f)), std::string::npos);
    EXPECT_NE(out().find(" MSKALA-W-x-Ausrichtung nicht definiert!"), std::string::npos);
    EXPECT_NE(out().find(" MSKALA-I-Balkenlänge<10mm! 5.000"), std::string::npos);
}

TEST_F(MapSymbols, NorthArrowHasNoMemory) {
    const long long a = position();
    NORTH(16.0f, 6.0f, 90.0f, 50.0f, 50.0f);
    const long long b = position();
    NORTH(16.0f, 6.0f, 90.0f, 50.0f, 50.0f);
    const long long c = position();
    const std::string plot = finish();
    EXPECT_EQ(plot.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)),
              plot.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(c - b)));
    // Pointing up: the outline starts at (50, 50 - 6.4) and runs to the tip at (50, 58).
    EXPECT_NE(plot.find("PU" + mm(50.0f, 43.6f)), std::string::npos);
    EXPECT_NE(plot.find(mm(50.0f, 58.0f)), std::string::npos);
}

TEST_F(MapSymbols, NorthArrowReportsItsExtentToTheLegend) {
    LEGDEF(110.0f, 0.0f, 40.0f, 100.0f, 0.0f);
    NORTH(16.0f, 6.0f, 90.0f, 130.0f, 20.0f);
    EXPECT_FLOAT_EQ(RRLEGP().XBORD, 133.0f);
    EXPECT_FLOAT_EQ(RRLEGP().YLEGP, 12.0f);
}

TEST_F(MapSymbols, WindRoseWithAndWithoutInflowWedge) {
    const long long a = position();
    DIRNOFL(90.0f, -1.0f, 8.0f, 50.0f, 50.0f);
    const long long b = position();
    DIRNOFL(90.0f, 270.0f, 8.0f, 50.0f, 50.0f);
    const std::string plot = finish();
    const std::string without = plot.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
    const std::string with = plot.substr(static_cast<std::size_t>(b));
    EXPECT_EQ(count(with, "FP") - count(without, "FP"), 1);
    // Wind from the west: the wedge points at the circle from the left.
    EXPECT_NE(with.find(mm(42.0f, 50.0f)), std::string::npos);
}

TEST_F(MapSymbols, LogoUsesTheHighestPen) {
    AVO_LOGO(50.0f, 50.0f, 5.0f, 1, 'l', false);
    EXPECT_NE(out().find(" Logo mit Stift   8 geplottet, Position x,y:  50.0  50.0 mm"), std::string::npos) << out();
    AVO_LOGO(50.0f, 50.0f, 5.0f, 1, 'r', true);
    EXPECT_EQ(count(out(), " Logo mit Stift"), 1);
}

}  // namespace
