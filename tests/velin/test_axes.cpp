// Axes, their ticks and names, headings, and the transforms with their inverses.
#include <cmath>
#include <functional>
#include <string>

#include "fixture.h"
#include "platform/fatal.h"
#include "velin/velin.h"

using namespace velin;
using velintest::count;
using velintest::fatal_text;

namespace {

class Axes : public velintest::VelinTest {
protected:
    // The stream of a graph start without numbers: IP, palette, then the axes.
    std::string axes(float xax, float yax, float x0, float xs, float x1, float y0, float ys, float y1, int ticks = 1) {
        INIPLO("HPGL2", "DINA4Q");
        PLFILE(plot_);
        XNONUM();
        YNONUM();
        XTICKS(ticks);
        YTICKS(ticks);
        AREA2D(xax, yax);
        long long from = position();
        GRAF(x0, xs, x1, y0, ys, y1);
        std::string stream = finish(from);
        auto axis = stream.find("PC8,125,125,125");
        return stream.substr(axis + 15);
    }
};

// The numbered step: 1, 2 or 5 times a power of ten nearest to a fifth of
// the range (or the given share); 1 where the range gives none.
TEST(AxisStep, NearestOneTwoFive) {
    const struct {
        float range;
        int parts;
        float step;
    } cases[] = {{300.0f, 5, 50.0f},   {400.0f, 5, 100.0f}, {80.0f, 5, 20.0f},  {70.0f, 5, 10.0f},
                 {37.0f, 5, 5.0f},     {38.0f, 5, 10.0f},   {144.2f, 5, 20.0f}, {0.3f, 5, 0.05f},
                 {1000.0f, 8, 100.0f}, {0.0f, 5, 1.0f},     {-20.0f, 5, 1.0f},  {NAN, 5, 1.0f},
                 {INFINITY, 5, 1.0f},  {50.0f, 0, 1.0f}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(axis_step(c.range, c.parts), c.step) << c.range << " / " << c.parts;
}

TEST_F(Axes, BadRangesAndLevels) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    AREA2D(100, 100);
    EXPECT_EQ(fatal_text([] { GRAF(0, 0, 100, 0, 10, 100); }), "GRAF-F-Schrittweite passt nicht zum Bereich");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    AREA2D(100, 100);
    EXPECT_EQ(fatal_text([] { GRAF(0, -10, 100, 0, 10, 100); }), "GRAF-F-Schrittweite passt nicht zum Bereich");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    AREA2D(100, 100);
    EXPECT_EQ(fatal_text([] { LOGLOG(0, 10, 100, 1, 10, 100); }), "XLOG-F-LOG(0) undefined");
    EXPECT_EQ(fatal_text([] { YLOG(0, 10, 100, -1, 10, 100); }), "YLOG-F-LOG(0) undefined");
    EXPECT_EQ(fatal_text([] { XGRAXS(0, 1, 10, 50, "X", 1, 0, 0); }), "XGRAXS-F-von falschem Level aufgerufen");
    GRAF(0, 10, 100, 0, 10, 100);
    EXPECT_EQ(fatal_text([] { XGRAXS(5, 1, 5, 50, "X", 1, 0, 0); }), "XGRAXS-F-Xmin und Xmax gleich?");
    EXPECT_EQ(fatal_text([] { YGRAXS(5, 1, 5, 50, "Y", 1, 0, 0); }), "YGRAXS-F-Ymin und Ymax gleich?");
}

TEST_F(Axes, TicksEveryStep) {
    std::string s = axes(150, 100, 0, 10, 100, 0, 5, 50);
    EXPECT_FLOAT_EQ(plot_state().s.FumX, 1.5f);
    EXPECT_FLOAT_EQ(plot_state().s.FumY, 2.0f);
    // Ticks of 1.5 mm (1 % of the longer axis) every 15 mm on x, every 10 mm on y.
    EXPECT_EQ(s.substr(0, 66), "PU0,0;PD0,-60PU0,0;PD603,0,603,-60PU603,0;PD1206,0,1206,-60PU1206,");
    EXPECT_NE(s.find("PU5427,0;PD6030,0,6030,-60PU0,0;PD-60,0PU0,0;PD0,402,-60,402PU0,402;PD0,804,-60,804"),
              std::string::npos);
    EXPECT_EQ(count(s, "PD"), 22);
}

TEST_F(Axes, TickCountZeroDrawsTheAxisLinesOnly) {
    // Steps of 15 mm (603 units) along x and 10 mm (402 units) along y, and nothing in place.
    std::string x, y;
    for (int k = 0; k < 10; ++k) {
        x += "PU" + std::to_string(603 * k) + ",0;PD" + std::to_string(603 * k + 603) + ",0";
        y += "PU0," + std::to_string(402 * k) + ";PD0," + std::to_string(402 * k + 402);
    }
    EXPECT_EQ(axes(150, 100, 0, 10, 100, 0, 5, 50, 0), x + y + "SP0PG;");
    EXPECT_EQ(count(axes(150, 100, 0, 10, 100, 0, 5, 50, 1), "-60"), 11 + 11);  // 1.5 mm ticks with a count of 1
}

TEST_F(Axes, LastTickBeforeTheMaximum) {
    std::string s = axes(150, 100, 0, 30, 100, 0, 50, 50);
    EXPECT_EQ(s.substr(0, s.find("PU0,0;PD-60")),
              "PU0,0;PD0,-60PU0,0;PD1809,0,1809,-60PU1809,0;PD3618,0,3618,-60PU3618,0;PD5427,0,5427,-60"
              "PU5427,0;PD6030,0");
}

TEST_F(Axes, TenthsReachTheMaximum) {
    std::string s = axes(100, 100, 0, 0.1f, 1, 0, 1, 1);
    EXPECT_NE(s.find("PD4020,0,4020,-40"), std::string::npos);
    EXPECT_EQ(count(s, ",-40"), 11 + 1);  // x ticks, and one of the two y ticks
}

TEST_F(Axes, LogarithmicAxisWithMinorTicks) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    XNONUM();
    YNONUM();
    XTICKS(10);
    AREA2D(90, 60);
    long long from = position();
    LOGLOG(1, 10, 1000, 1, 10, 100);
    std::string s = finish(from);
    EXPECT_FLOAT_EQ(plot_state().s.xaxis.max, 3.0f);
    // Decades every 30 mm; the tick of 2 lies at 30 * log10(2) = 9.03 mm, 0.6 of 0.9 mm long.
    EXPECT_NE(s.find("PU1206,0;PD2412,0,2412,-36PU2412,0;PD3618,0,3618,-36"), std::string::npos);
    EXPECT_NE(s.find("PU363,0;PD363,-21"), std::string::npos);
    EXPECT_NE(s.find("PU3562,0;PD3562,-21"), std::string::npos);  // 900
    EXPECT_EQ(count(s, ",-21"), 3 * 9);
}

TEST_F(Axes, NumbersAndNames) {
    start_graph("HPGL2");
    long long from = position();
    XNONUM();
    XTICKS(0);
    XGRAXS(0, 10, 100, 100, "AB", -2, 0, 50);  // name above: baseline 2.5 text heights over the axis
    XGRAXS(0, 10, 100, 100, "AB", 2, 0, 50);   // name below: 3.5 text heights under it
    std::string s = finish(from);
    // The top stroke of "A" starts (100 - 3) / 2 = 48.5 mm from the left.
    EXPECT_NE(s.find("PU1949,2291;PD1973,2291"), std::string::npos);
    EXPECT_NE(s.find("PU1949,1809;PD1973,1809"), std::string::npos);
}

TEST_F(Axes, NumbersUnderTheTicks) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    YNONUM();
    XTICKS(0);
    AREA2D(100, 100);
    long long from = position();
    GRAF(0, 50, 100, 0, 100, 100);
    std::string s = finish(from);
    // Numbers 0.8 of the text height: "50.0" is 1.6 * (4 * 0.9 - 0.3) = 5.28 mm wide, centred
    // under x = 50 mm, its baseline 1.5 * 1.6 mm below the axis.
    float w = 1.6f * (4 * 0.9f - 0.3f);
    EXPECT_FLOAT_EQ(plot_state().s.text_height, 2.0f);
    int x = static_cast<int>(std::trunc(40.2f * (50.0f - w / 2.0f)));
    int y = static_cast<int>(std::trunc(40.2f * (-2.4f + 1.6f)));  // top of the "5", one text height up
    EXPECT_NE(s.find("PU" + std::to_string(x) + "," + std::to_string(y) + ";"), std::string::npos) << s;
}

TEST_F(Axes, Headings) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    HEADIN("ONE", 3, 1.0f, 4);
    EXPECT_NE(out().find(" HEADIN-W-max. 3 Zeilen\n"), std::string::npos);
    HEADIN("TWO", 3, 1.0f, 3);
    HEADIN("THREE", 5, 1.0f, 3);
    EXPECT_EQ(fatal_text([] { HEADIN("FOUR", 4, 1.0f, 3); }), "HEADIN-F-zuviele HEADIN-Aufrufe");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    XNONUM();
    YNONUM();
    HEADIN("L", 1, 2.0f, 1);
    AREA2D(100, 100);
    GRAF(0, 10, 100, 0, 10, 100);
    HEADIN("LATE", 4, 1.0f, 1);
    EXPECT_NE(out().find(" HEADIN-W-von falschem Level aufgerufen\n"), std::string::npos);
    std::string s = finish(0);
    // "L" at twice the height: 2.4 mm wide, centred; baseline 100 + 2 + 1.5 * 4 mm.
    EXPECT_NE(s.find("PU1961,4502;PD1961,4422"), std::string::npos);
}

TEST_F(Axes, InverseTransformsInEveryMode) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    XNONUM();
    YNONUM();
    auto graph = [&](const std::function<void()>& scale) {
        AREA2D(120, 80);
        scale();
    };
    graph([] { GRAF(-5, 5, 25, 100, 50, 300); });
    EXPECT_NEAR(XINVRS(XPOSN(7.5f, 150), YPOSN(7.5f, 150)), 7.5f, 1e-5);
    EXPECT_NEAR(YINVRS(XPOSN(7.5f, 150), YPOSN(7.5f, 150)), 150.0f, 1e-4);
    ENDGR(0);
    graph([] { LOGLOG(1, 10, 1000, 0.1f, 10, 100); });
    EXPECT_NEAR(XINVRS(XPOSN(42, 3), YPOSN(42, 3)), 42.0f, 1e-3);
    EXPECT_NEAR(YINVRS(XPOSN(42, 3), YPOSN(42, 3)), 3.0f, 1e-5);
    ENDGR(0);
    graph([] { XLOG(1, 10, 1000, 0, 10, 100); });
    EXPECT_NEAR(XINVRS(XPOSN(250, 33), YPOSN(250, 33)), 250.0f, 1e-2);
    EXPECT_NEAR(YINVRS(XPOSN(250, 33), YPOSN(250, 33)), 33.0f, 1e-4);
    ENDGR(0);
    graph([] { YLOG(0, 10, 100, 1, 10, 1000); });
    EXPECT_NEAR(XINVRS(XPOSN(33, 250), YPOSN(33, 250)), 33.0f, 1e-4);
    EXPECT_NEAR(YINVRS(XPOSN(33, 250), YPOSN(33, 250)), 250.0f, 1e-2);
    ENDGR(0);
    graph([] { RPOLAR(10, 2); });
    for (float angle : {30.0f, 90.0f, 180.0f, -45.0f}) {
        float x = XPOSN(angle, 5), y = YPOSN(angle, 5);
        EXPECT_NEAR(XINVRS(x, y), angle, 1e-3) << angle;
        EXPECT_NEAR(YINVRS(x, y), 5.0f, 1e-4) << angle;
    }
}

}  // namespace
