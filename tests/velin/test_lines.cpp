// Lines, curves, markers, arrows, circles and frames as exact HP-GL streams.
// The graph of start_graph maps user units 1:1 to millimetres at the origin;
// one millimetre is 40.2 plotter units.
#include <cmath>

#include "fixture.h"
#include "platform/fatal.h"
#include "velin/velin.h"

using namespace velin;

namespace {

class Lines : public velintest::VelinTest {
protected:
    // A polyline from (x1, y) to (x2, y) in user units.
    void line(float x1, float x2, float y) {
        float x[2] = {x1, x2}, yy[2] = {y, y};
        CURVE(x, yy, 2, 0);
    }
    static int count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    }
};

TEST_F(Lines, ClippingAtTheBox) {
    start_graph("HPGL2");  // box: -40 .. 140 mm on both axes
    long long from = position();
    PENUP(-40, 0);
    PENDN(-40, 50);  // on the edge: outside
    float x[3] = {10, 50, 90}, y[3] = {200, 210, 200};
    int drawn = plot_state().s.Nvec;
    CURVE(x, y, 3, 0);  // all above the box
    EXPECT_EQ(plot_state().s.Nvec, drawn);
    PENUP(50, 50);
    PENDN(50, 200);  // leaves the box at its top edge
    PENUP(-100, 50);
    PENDN(50, 50);  // enters through the left edge
    EXPECT_EQ(finish(from), "PU2010,2010;PD2010,5628PU-1608,2010;PD2010,2010SP0PG;");
    EXPECT_NE(out().find(" ## Punkt außerhalb des Plotbereichs=      50.0000     200.0000\n"), std::string::npos);
    EXPECT_NE(out().find(" ## Punkt außerhalb des Plotbereichs=    -100.0000      50.0000\n"), std::string::npos);
}

TEST_F(Lines, PointsThatAreNotNumbers) {
    start_graph("HPGL2");
    NOCHEK();
    long long from = position();
    PENUP(10, 10);
    PENDN(20, 10);
    PENDN(NAN, 10);
    PENDN(30, 30);
    PENDN(40, 30);
    EXPECT_EQ(plot_state().s.NptsOut, 0);
    EXPECT_EQ(finish(from), "PU402,402;PD804,402PU1206,1206;PD1608,1206SP0PG;");
}

TEST_F(Lines, OutsidePointsAreCountedButOnlyFiveReported) {
    start_graph("HPGL2");
    for (int i = 0; i < 8; ++i) {
        PENUP(50, 50);
        PENDN(50, 300);
    }
    EXPECT_EQ(plot_state().s.NptsOut, 8);
    EXPECT_EQ(count(out(), "Punkt außerhalb"), 5);
}

TEST_F(Lines, LongCurvesStreamThroughTheWorkArrays) {
    start_graph("HPGL2");
    NOCHEK();
    // 15000 points; some leave the box, among them the last of the first block of 6000.
    std::vector<float> x(15000), y(15000);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = 0.006f * static_cast<float>(i);
        y[i] = (i / 50) % 7 == 3 || i == 5999 ? 160.0f : 10.0f + static_cast<float>(i % 50);
    }
    long long from = position();
    CURVE(x, y, 15000, 0);
    long long middle = position();
    EXPECT_EQ(plot_state().work_x.size(), 6000u);
    PENUP(x[0], y[0]);
    DOCRV(std::span(x).subspan(1), std::span(y).subspan(1), 14999);
    long long to = position();
    std::string stream = finish(from);
    std::string curve = stream.substr(0, static_cast<std::size_t>(middle - from));
    EXPECT_GT(curve.size(), 100000u);
    EXPECT_EQ(curve, stream.substr(static_cast<std::size_t>(middle - from), static_cast<std::size_t>(to - middle)));
}

TEST_F(Lines, DashedTenMillimetresInHpgl) {
    start_graph("HPGL");
    DASH();
    long long from = position();
    line(10, 20, 10);
    EXPECT_EQ(finish(from), "PU402,402;PD482,402PU542,402;PD623,402PU683,402;PD763,402SP0PG;");
}

TEST_F(Lines, DashedTenMillimetresInHpgl2) {
    start_graph("HPGL2");
    DASH();
    long long from = position();
    line(10, 20, 10);
    line(10, 20, 20);  // the device keeps its line type
    EXPECT_EQ(finish(from), "LT2,3.,1PU402,402;PD804,402PU402,804;PD804,804SP0PG;");
}

TEST_F(Lines, UserPatterns) {
    start_graph("HPGL2");
    float pattern[2] = {2.0f, 1.5f};
    MRSCOD(pattern, 2);
    long long from = position();
    line(10, 20, 10);
    float zero[2] = {0.0f, 0.0f};
    MRSCOD(zero, 2);  // no length at all: solid
    line(10, 20, 20);
    EXPECT_EQ(finish(from), "UL8,57.1,42.9LT8,3.5,1PU402,402;PD804,402LT;PU402,804;PD804,804SP0PG;");
}

TEST_F(Lines, ZeroPatternIsSolidInHpgl) {
    start_graph("HPGL");
    float zero[3] = {0.0f, -0.0f, 0.0f};
    MRSCOD(zero, 3);
    long long from = position();
    line(10, 20, 10);
    EXPECT_EQ(finish(from), "PU402,402;PD804,402SP0PG;");
}

TEST_F(Lines, LongDashesGrowInsteadOfStopping) {
    start_graph("HPGL");
    float pattern[2] = {5000.0f, 1.0f};
    MRSCOD(pattern, 2);
    std::vector<float> x(300), y(300);
    for (int i = 0; i < 300; ++i) {
        x[static_cast<std::size_t>(i)] = 10.0f + 0.25f * static_cast<float>(i);
        y[static_cast<std::size_t>(i)] = i % 2 ? 20.0f : 30.0f;
    }
    long long from = position();
    CURVE(x, y, 300, 0);
    std::string stream = finish(from);
    EXPECT_EQ(count(stream, "PU"), 1);
    EXPECT_EQ(count(stream, ","), 2 * 300 - 2);
}

TEST_F(Lines, ThickLineAsParallelStrokes) {
    start_graph("HPGL");
    SETPEN(1, 0.1f, 0, 0, 0);
    THKCRV(0.35f);
    long long from = position();
    line(10, 20, 10);
    // Four strokes, centred: offsets -0.125, -0.0417, +0.0417, +0.125 mm.
    EXPECT_EQ(finish(from),
              "PU402,396;PD804,396PU402,400;PD804,400PU402,403;PD804,403PU402,407;PD804,407SP0PG;");
}

TEST_F(Lines, ThickLineAsPenWidth) {
    start_graph("HPGL2");
    THKCRV(0.35f);
    long long from = position();
    line(10, 20, 10);
    line(10, 20, 20);
    EXPECT_EQ(finish(from), "PW0.35PU402,402;PD804,402PU402,804;PD804,804SP0PG;");
}

TEST_F(Lines, ThickClosedOutlineMitresItsCorners) {
    start_graph("HPGL");
    SETPEN(1, 0.1f, 0, 0, 0);
    float x[5] = {10, 20, 20, 10, 10}, y[5] = {10, 10, 20, 20, 10};
    long long from = position();
    BIGLIN(x, y, 5, 0.3f);
    EXPECT_EQ(finish(from),
              "PU397,397;PD808,397,808,808,397,808,397,397"
              "PU402,402;PD804,402,804,804,402,804,402,402"
              "PU406,406;PD799,406,799,799,406,799,406,406SP0PG;");
}

TEST_F(Lines, MarkersOnlyAndTheNextSymbol) {
    start_graph("HPGL2");
    float x[7] = {10, 20, 30, 40, 50, 60, 70}, y[7] = {50, 50, 50, 50, 50, 50, 50};
    long long from = position();
    CURVE(x, y, 7, -3);
    EXPECT_EQ(plot_state().s.marker, 2);
    std::string square10 = "PU361,2050;PD361,1969,442,1969,442,2050,361,2050";
    std::string square40 = "PU1567,2050;PD1567,1969,1648,1969,1648,2050,1567,2050";
    std::string square70 = "PU2773,2050;PD2773,1969,2854,1969,2854,2050,2773,2050";
    long long line = position();
    CURVE(x, y, 7, 3);  // the same markers with the next symbol, then the line
    EXPECT_EQ(plot_state().s.marker, 3);
    std::string stream = finish(from);
    EXPECT_EQ(stream.substr(0, static_cast<std::size_t>(line - from)), square10 + square40 + square70);
    std::string second = stream.substr(static_cast<std::size_t>(line - from));
    EXPECT_EQ(count(second, "PU"), 3 + 1);
    EXPECT_NE(second.find("PU402,2010;PD804,2010,1206,2010,1608,2010,2010,2010,2412,2010,2814,2010SP0PG;"),
              std::string::npos);
}

TEST_F(Lines, MarkerNumbers) {
    start_graph("HPGL2");
    MARKER(99);
    EXPECT_NE(out().find(" MARKER-W-nicht definiert    99\n"), std::string::npos);
    EXPECT_EQ(plot_state().s.marker, 1);
    MARKER(32);  // a plus on top of a triangle
    float x[1] = {0}, y[1] = {0};
    long long from = position();
    CURVE(x, y, 1, 1);
    EXPECT_NE(out().find(" CURVE-I-MARKER at (0,0)!=     1     1     1\n"), std::string::npos);
    EXPECT_EQ(finish(from), "PU0,40;PD-40,-40,40,-40,0,40,0,40PU0,40;PD0,-40,0,0,-40,0,40,0PU0,0;SP0PG;");
}

TEST_F(Lines, ArrowWithFilledHead) {
    start_graph("HPGL2");
    long long from = position();
    VECTOR(10, 10, 30, 10, 1100);  // head 2*3/7 h long, 5/7 h wide on each side; h = 2 mm
    EXPECT_EQ(finish(from),
              "PU402,402;PD1137,402,1137,459,1206,402,1137,344,1137,402"
              "PU1137,402PM0PD1137,459,1206,402,1137,344PM2FTFPSP0PG;");
}

TEST_F(Lines, ArrowForms) {
    start_graph("HPGL2");
    long long from = position();
    HEIGHT(0.7f);  // half-width 0.5 * 0.7 * 2.5 / 7 = 0.25 mm: not filled
    RLVEC(10, 10, 30, 10, 1010);
    RLVEC(10, 20, 30, 20, 1020);
    RLVEC(10, 30, 30, 30, 1030);
    RLVEC(10, 40, 30, 40, 0);
    std::string stream = finish(from);
    EXPECT_EQ(stream,
              "PU402,402;PD1193,402,1193,412,1206,402,1193,391,1193,402"
              "PU402,804;PD1206,804,1193,814,1206,804,1193,793"
              "PU402,1206;PD1206,1206,1193,1216,1193,1195,1206,1206"
              "PU402,1608;PD1206,1608SP0PG;");
}

TEST_F(Lines, CirclesInHpgl2) {
    start_graph("HPGL2");
    long long from = position();
    CIRCLE(50, 50, 0, 0);
    EXPECT_NE(out().find(" CIRCLE-W-falscher Radius     0.000\n"), std::string::npos);
    CIRCLE(50, 50, 10, 0);
    CIRCLE(50, 50, 10, 90000);
    CIRCLE(50, 50, 10, 45110);
    EXPECT_EQ(finish(from),
              "PU2010,2010;CI402PU2010,2010;PM0CI402PM2FTFPPU2010,2010;FT3,16,45PM0CI402PM2FPEPFTSP0PG;");
}

TEST_F(Lines, CirclesInHpgl) {
    start_graph("HPGL");
    long long from = position();
    CIRCLE(50, 50, 4, 0);  // 10 * sqrt(4) = 20 points
    std::string stream = finish(from);
    EXPECT_EQ(stream.substr(0, 14), "PU2170,2010;PD");
    EXPECT_EQ(count(stream, ","), 2 * 20 - 1 + 1);
    EXPECT_NE(stream.find(",2170,2010SP0PG;"), std::string::npos);
}

TEST_F(Lines, HatchingLinesLieOnAFixedGrid) {
    start_graph("HPGL");
    NOCHEK();
    auto hatch = [&](float y0) {
        auto& st = plot_state();
        float x[4] = {0, 1, 1, 0}, y[4] = {y0, y0, y0 + 1, y0 + 1};
        std::copy(x, x + 4, st.work_x.begin());
        std::copy(y, y + 4, st.work_y.begin());
        float dist[1] = {0.25f};
        long long from = position();
        SHADEM(4, 0.0f, dist, 1);
        return from;
    };
    long long a = hatch(0.1f);
    RDEBUG();
    long long b = hatch(0.2f);
    RDEBUG();
    EXPECT_NE(out().find(" SHADE-I-Schraffurlinien       4\n"), std::string::npos);
    long long c = position();
    std::string stream = finish(a);
    std::string first = stream.substr(0, static_cast<std::size_t>(b - a));
    std::string second = stream.substr(static_cast<std::size_t>(b - a), static_cast<std::size_t>(c - b));
    EXPECT_EQ(first, "PU0,10;PD40,10PU0,20;PD40,20PU0,30;PD40,30PU0,40;PD40,40");
    EXPECT_EQ(second, first);
    SHADEM(2, 0.0f, std::vector<float>{0.25f}, 1);
    EXPECT_NE(out().find(" SHADEM-W-Anzahl der Stützpunkte zu gering - n=     2\n"), std::string::npos);
}

TEST_F(Lines, ArcBlockArrowAndLegendSample) {
    start_graph("HPGL2");
    long long from = position();
    ARC(50, 50, 10, 0, 90);  // a quarter of a 32-point circle: 8 chords
    long long arc_end = position();
    BIGVEC(20, 2, 0, 10, 10);  // shaft 2 mm wide, head 4 mm long and 4 mm wide
    long long arrow_end = position();
    float x[2] = {10, 20}, y[2] = {10, 10};
    CURVA(x, y, 2, 0, 0.35f);
    float y2[2] = {20, 20};
    CURVE(x, y2, 2, 0);
    std::string stream = finish(from);
    std::string arc = stream.substr(0, static_cast<std::size_t>(arc_end - from));
    EXPECT_EQ(arc.substr(0, 14), "PU2412,2010;PD");
    EXPECT_EQ(count(arc, ","), 1 + 8 + 7);
    EXPECT_EQ(stream.substr(static_cast<std::size_t>(arc_end - from), static_cast<std::size_t>(arrow_end - arc_end)),
              "PU402,361PM0PD1045,361,1045,321,1206,402,1045,482,1045,442,402,442,402,361PM2FTFP");
    EXPECT_EQ(stream.substr(static_cast<std::size_t>(arrow_end - from)),
              "PW0.35PU402,402;PD804,402PW0PU402,804;PD804,804SP0PG;");
}

TEST_F(Lines, FrameInBothModes) {
    start_graph("HPGL2");
    long long from = position();
    RRWIND(10, 20, 10, 30, 0.3f);
    EXPECT_EQ(finish(from), "PW0.30PU402,402;PM0PD804,402,804,1206,402,1206PM2EPSP0PG;");
    start_graph("HPGL");
    from = position();
    RRWIND(10, 20, 10, 30, 0.01f);
    EXPECT_EQ(finish(from), "PU402,402;PD804,402,804,1206,402,1206,402,402SP0PG;");
}

}  // namespace
