// Blanking areas as exact HP-GL streams. The graph of start_graph maps user
// units 1:1 to millimetres at the origin; one millimetre is 40.2 plotter
// units, so 10 mm is 402, 40 mm 1608, 50 mm 2010, 60 mm 2412, 90 mm 3618.
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

// The horizontal line at y = 50 from x = 10 to 90 in two pieces around x = 40..60.
const std::string AROUND_40_60 = "PU402,2010;PD1608,2010PU2412,2010;PD3618,2010SP0PG;";

class Blanking : public velintest::VelinTest {
protected:
    void line(float x1, float y1, float x2, float y2) {
        PENUP(x1, y1);
        PENDN(x2, y2);
    }
};

// ---- bad input -------------------------------------------------------------

TEST_F(Blanking, RectanglesWithoutPositiveSizeStop) {
    start_graph("HPGL2");
    EXPECT_EQ(fatal_text([] { BLREC(10, 10, 0, 5, 0); }), "BLREC-F-Abmessungen prüfen");
    EXPECT_EQ(fatal_text([] { BLREC(10, 10, 5, -1, 0); }), "BLREC-F-Abmessungen prüfen");
    EXPECT_EQ(fatal_text([] { BLREC(10, 10, NAN, 5, 0); }), "BLREC-F-Abmessungen prüfen");
    EXPECT_EQ(fatal_text([] { BLREC(INFINITY, 10, 5, 5, 0); }), "BLREC-F-Abmessungen prüfen");
    EXPECT_EQ(fatal_text([] { BLCIRC(10, 10, 0, 0); }), "BLCIRC-F-Abmessungen prüfen");
    EXPECT_EQ(fatal_text([] { BLCIRC(10, NAN, 3, 0); }), "BLCIRC-F-Abmessungen prüfen");
    int id = -1;
    BLKEY(id);
    EXPECT_EQ(id, 0);
}

TEST_F(Blanking, UnknownAreaNumbersStop) {
    start_graph("HPGL2");
    EXPECT_EQ(fatal_text([] { BLON(1); }), "BLON-F-ID nicht besetzt");
    BLREC(40, 40, 20, 20, 0);
    BLCIRC(20, 20, 5, 0);
    EXPECT_EQ(fatal_text([] { BLON(0); }), "BLON-F-ID nicht besetzt");
    EXPECT_EQ(fatal_text([] { BLOFF(3); }), "BLOFF-F-ID nicht besetzt");
    float x0 = 0, y0 = 0, x1 = 1, y1 = 1;
    EXPECT_EQ(fatal_text([&] { BLRCHK(2, x0, y0, x1, y1); }), "BLRCHK-F-kein Rechteck");
    EXPECT_EQ(fatal_text([&] { BLCCHK(1, x0, y0, x1, y1); }), "BLCCHK-F-kein Kreis");
    EXPECT_EQ(fatal_text([&] { BLCCHK(3, x0, y0, x1, y1); }), "BLCCHK-F-ID nicht besetzt");
}

TEST_F(Blanking, The2049thAreaStops) {
    start_graph("HPGL2");
    for (int i = 0; i < MAXBLN; ++i) BLREC(static_cast<float>(i % 50), static_cast<float>(i / 50), 0.5f, 0.5f, 0);
    int id = 0;
    BLKEY(id);
    EXPECT_EQ(id, 2048);
    EXPECT_EQ(fatal_text([] { BLREC(0, 0, 1, 1, 0); }), "BLREC-F-MAXBLN zu klein");
    EXPECT_EQ(fatal_text([] { BLCIRC(0, 0, 1, 0); }), "BLCIRC-F-MAXBLN zu klein");
    BLKEY(id);
    EXPECT_EQ(id, 2048);
    // A new graph starts without areas.
    ENDGR(0);
    BLKEY(id);
    EXPECT_EQ(id, 0);
}

TEST_F(Blanking, StackLimits) {
    start_graph("HPGL2");
    float x = 0, y = 0;
    int k = 0;
    EXPECT_EQ(fatal_text([&] { VPOP(x, y, k); }), "VPOP-F-BLNK_STACK-underflow");
    for (int i = 0; i < BLNK_STACK_SIZE; ++i) VPUSH(static_cast<float>(i), 1.0f, i);
    EXPECT_EQ(fatal_text([] { VPUSH(0, 0, 1); }), "VPUSH-F-BLNK_STACK-limit exceeded");
    VPOP(x, y, k);
    EXPECT_EQ(x, 49.0f);
    EXPECT_EQ(k, 50);  // pushed with 49: continues at the next area
}

// A line across more areas than the stack holds pieces for: each area,
// defined from the far end on, leaves the part behind it waiting.
TEST_F(Blanking, DeepSplitsFillTheStack) {
    start_graph("HPGL2");
    for (int i = 24; i >= 0; --i) BLREC(2.0f + 3.0f * static_cast<float>(i), 40, 1, 20, 0);
    long long from = position();
    line(0, 50, 90, 50);
    std::string stream = finish(from);
    EXPECT_EQ(count(stream, "PD"), 26);
    EXPECT_EQ(stream.substr(0, 31), "PU0,2010;PD80,2010PU120,2010;PD");
    start_graph("HPGL2");
    for (int i = 25; i >= 0; --i) BLREC(2.0f + 3.0f * static_cast<float>(i), 40, 1, 20, 0);
    EXPECT_EQ(fatal_text([this] { line(0, 50, 90, 50); }), "VPUSH-F-BLNK_STACK-limit exceeded");
}

// ---- single tests against one area -------------------------------------------

TEST_F(Blanking, RectangleTestOutcomes) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    struct Case {
        float x0, y0, x1, y1;
        int outcome;
        float ex0, ey0, ex1, ey1;
    };
    const Case cases[] = {
        {10, 50, 30, 50, BL_PASSES, 10, 50, 30, 50},      // before the area
        {10, 70, 90, 70, BL_PASSES, 10, 70, 90, 70},      // above it
        {10, 60, 90, 60, BL_PASSES, 10, 60, 90, 60},      // along its top border
        {30, 50, 50, 70, BL_PASSES, 30, 50, 50, 70},      // through its corner only
        {10, 50, 50, 50, BL_END_CUT, 10, 50, 40, 50},     // ends inside
        {50, 50, 50, 90, BL_START_MOVED, 50, 60, 50, 90}, // starts inside
        {45, 45, 55, 55, BL_HIDDEN, 45, 45, 55, 55},      // wholly inside
        {40, 50, 60, 50, BL_HIDDEN, 40, 50, 60, 50},      // from border to border
        {50, 30, 50, 80, BL_SPLIT, 50, 30, 50, 40},       // right through
        {50, 80, 50, 30, BL_SPLIT, 50, 80, 50, 60},       // and back
    };
    for (const Case& c : cases) {
        float x0 = c.x0, y0 = c.y0, x1 = c.x1, y1 = c.y1;
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1);
        EXPECT_EQ(BLRCHK(1, x0, y0, x1, y1), c.outcome);
        EXPECT_FLOAT_EQ(x0, c.ex0);
        EXPECT_FLOAT_EQ(y0, c.ey0);
        EXPECT_FLOAT_EQ(x1, c.ex1);
        EXPECT_FLOAT_EQ(y1, c.ey1);
    }
    // The two splits left their far parts, each continuing at area 2 (1 + 1, once).
    float x = 0, y = 0;
    int k = 0;
    VPOP(x, y, k);
    EXPECT_EQ(k, 2);
    EXPECT_FLOAT_EQ(y, 30);
    VPOP(x, y, k);
    EXPECT_EQ(k, 2);
    EXPECT_FLOAT_EQ(y, 40);
    VPOP(x, y, k);
    EXPECT_FLOAT_EQ(y, 80);
    VPOP(x, y, k);
    EXPECT_FLOAT_EQ(y, 60);
    EXPECT_EQ(fatal_text([&] { VPOP(x, y, k); }), "VPOP-F-BLNK_STACK-underflow");
}

TEST_F(Blanking, CircleTestOutcomes) {
    start_graph("HPGL2");
    BLCIRC(50, 50, 10, 0);
    struct Case {
        float x0, y0, x1, y1;
        int outcome;
        float ex0, ey0, ex1, ey1;
    };
    const Case cases[] = {
        {10, 50, 30, 50, BL_PASSES, 10, 50, 30, 50},       // before the circle
        {10, 60, 90, 60, BL_PASSES, 10, 60, 90, 60},       // tangent at the top
        {55, 59.99f, 65, 59.99f, BL_PASSES, 55, 59.99f, 65, 59.99f},  // inside the square only
        {10, 50, 50, 50, BL_END_CUT, 10, 50, 40, 50},
        {50, 50, 50, 90, BL_START_MOVED, 50, 60, 50, 90},
        {45, 45, 55, 55, BL_HIDDEN, 45, 45, 55, 55},
        {50, 50, 50, 50, BL_HIDDEN, 50, 50, 50, 50},       // a dot inside
        {40, 50, 60, 50, BL_HIDDEN, 40, 50, 60, 50},       // a chord
        {50, 30, 50, 80, BL_SPLIT, 50, 30, 50, 40},
    };
    for (const Case& c : cases) {
        float x0 = c.x0, y0 = c.y0, x1 = c.x1, y1 = c.y1;
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1);
        EXPECT_EQ(BLCCHK(1, x0, y0, x1, y1), c.outcome);
        EXPECT_NEAR(x0, c.ex0, 1e-4);
        EXPECT_NEAR(y0, c.ey0, 1e-4);
        EXPECT_NEAR(x1, c.ex1, 1e-4);
        EXPECT_NEAR(y1, c.ey1, 1e-4);
    }
    float x = 0, y = 0;
    int k = 0;
    VPOP(x, y, k);
    EXPECT_EQ(k, 2);
    EXPECT_FLOAT_EQ(y, 80);
    VPOP(x, y, k);
    EXPECT_FLOAT_EQ(y, 60);
    // A diagonal through the centre enters and leaves at 45 degrees.
    float x0 = 30, y0 = 30, x1 = 70, y1 = 70;
    EXPECT_EQ(BLCCHK(1, x0, y0, x1, y1), BL_SPLIT);
    EXPECT_NEAR(x1, 50 - 10 / std::sqrt(2.0f), 1e-4);
    VPOP(x, y, k);
    VPOP(x, y, k);
    EXPECT_NEAR(x, 50 + 10 / std::sqrt(2.0f), 1e-4);
}

// ---- drawing through the areas --------------------------------------------

TEST_F(Blanking, LineThroughARectangleIsDrawnInTwoPieces) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(10, 50, 90, 50);
    EXPECT_EQ(finish(from), AROUND_40_60);
    EXPECT_FLOAT_EQ(plot_state().cur_x, 90);
}

TEST_F(Blanking, LineThroughTwoRectanglesIsDrawnInThreePieces) {
    const std::string three = "PU402,2010;PD804,2010PU1206,2010;PD2412,2010PU2814,2010;PD3618,2010SP0PG;";
    start_graph("HPGL2");
    BLREC(20, 40, 10, 20, 0);
    BLREC(60, 40, 10, 20, 0);
    long long from = position();
    line(10, 50, 90, 50);
    EXPECT_EQ(finish(from), three);
    // Defined the other way round, the far piece waits behind the near one.
    start_graph("HPGL2");
    BLREC(60, 40, 10, 20, 0);
    BLREC(20, 40, 10, 20, 0);
    from = position();
    line(10, 50, 90, 50);
    EXPECT_EQ(finish(from), three);
}

TEST_F(Blanking, OverlappingRectanglesLeaveOneGap) {
    start_graph("HPGL2");
    BLREC(30, 40, 20, 20, 0);
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(10, 50, 90, 50);
    EXPECT_EQ(finish(from), "PU402,2010;PD1206,2010PU2412,2010;PD3618,2010SP0PG;");
}

TEST_F(Blanking, LineEndingInsideStopsAtTheBorder) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(10, 50, 50, 50);
    EXPECT_FLOAT_EQ(plot_state().cur_x, 50);  // the end as given
    // The next segment starts inside: a pen-up move to the exit point first.
    PENDN(90, 50);
    EXPECT_EQ(finish(from), AROUND_40_60);
}

TEST_F(Blanking, CurvesAreBlankedPointByPoint) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    float x[3] = {10, 50, 90}, y[3] = {50, 50, 50};
    CURVE(x, y, 3, 0);
    EXPECT_EQ(finish(from), AROUND_40_60);
}

TEST_F(Blanking, LinesTouchingTheBorderAreDrawnUnchanged) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(10, 60, 90, 60);          // along the top border
    line(30, 50, 50, 70);          // through the corner (40, 60)
    line(30.005f, 50, 50.005f, 70);  // 0.005 mm into the corner
    EXPECT_EQ(finish(from), "PU402,2412;PD3618,2412PU1206,2010;PD2010,2814PU1206,2010;PD2010,2814SP0PG;");
}

TEST_F(Blanking, LineCuttingACornerIsSplit) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(30.5f, 50, 50.5f, 70);  // enters at (40, 59.5), leaves at (40.5, 60)
    EXPECT_EQ(finish(from), "PU1226,2010;PD1608,2391PU1628,2412;PD2030,2814SP0PG;");
}

TEST_F(Blanking, SwitchingAnAreaOffAndOn) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    int id = 0;
    BLKEY(id);
    EXPECT_EQ(id, 1);
    BLCIRC(80, 80, 5, 0);
    int circle = 0;
    BLKEY(circle);
    EXPECT_EQ(circle, 2);
    long long from = position();
    BLOFF(id);
    line(10, 50, 90, 50);
    BLON(id);
    line(10, 50, 90, 50);
    EXPECT_EQ(finish(from), "PU402,2010;PD3618,2010" + AROUND_40_60);
}

TEST_F(Blanking, LineThroughACircle) {
    start_graph("HPGL2");
    BLCIRC(50, 50, 10, 0);
    long long from = position();
    line(10, 50, 90, 50);
    line(10, 60, 90, 60);  // a tangent
    line(30, 30, 70, 70);  // diagonal: leaves the circle at 50 -+ 7.07
    EXPECT_EQ(finish(from),
              "PU402,2010;PD1608,2010PU2412,2010;PD3618,2010PU402,2412;PD3618,2412"
              "PU1206,1206;PD1725,1725PU2294,2294;PD2814,2814SP0PG;");
}

TEST_F(Blanking, FramesAreDrawnBeforeTheirAreas) {
    // A frame of 0.2 mm on 0.05 mm pens: four strokes, the inner two inside
    // the rectangle, all drawn.
    start_graph("HPGL");
    long long from = position();
    BLREC(40, 40, 20, 20, 0.2f);
    std::string frame = finish(from);
    EXPECT_EQ(count(frame, "PD"), 4);
    EXPECT_EQ(count(frame, ","), 4 * 8);  // each a pen-up and four corners
    start_graph("HPGL2");
    from = position();
    BLREC(40, 40, 20, 20, 0.3f);
    BLCIRC(50, 50, 5, 0.3f);
    EXPECT_EQ(finish(from), "PW0.30PU1608,1608;PM0PD2412,1608,2412,2412,1608,2412PM2EPPU2010,2010;CI201SP0PG;");
}

TEST_F(Blanking, ClippedAndBlanked) {
    start_graph("HPGL2");
    NOCHEK();
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(-100, 50, 90, 50);  // enters the clipping box at -40 mm
    line(50, 50, 200, 50);   // leaves it at 140 mm
    EXPECT_EQ(finish(from), "PU-1608,2010;PD1608,2010PU2412,2010;PD3618,2010PU2412,2010;PD5628,2010SP0PG;");
}

TEST_F(Blanking, ClearingTheAreas) {
    start_graph("HPGL2");
    BLREC(40, 40, 20, 20, 0);
    long long from = position();
    line(10, 50, 50, 50);
    // Without areas the polyline goes on from where it was believed to be.
    RESET("blr");
    PENDN(90, 50);
    BLREC(40, 40, 20, 20, 0);
    line(10, 50, 90, 50);
    RESET("BLC");
    line(10, 50, 90, 50);
    EXPECT_EQ(finish(from), "PU402,2010;PD1608,2010PU2010,2010;PD3618,2010" + std::string("PU402,2010;PD1608,2010") +
                                "PU2412,2010;PD3618,2010PU402,2010;PD3618,2010SP0PG;");
}

TEST_F(Blanking, EveryPenDownStepIsBlanked) {
    for (const char* device : {"HPGL2", "HPGL"}) {
        SCOPED_TRACE(device);
        start_graph(device);
        BLREC(20, 20, 60, 60, 0);
        long long from = position();
        HEIGHT(5);
        MESSAG("HELLO", 5, 30, 40);  // text strokes
        MARKER(4);
        PMARK(50, 50);  // a marker
        float x[2] = {30, 70}, y[2] = {30, 70};
        CURVE(x, y, 2, 0);
        // An arrow; its head is filled by strokes in HP-GL (the device fills its polygons).
        RLVEC(30, 70, 70, 30, std::string(device) == "HPGL" ? 1100 : 1110);
        DASH();
        CURVE(x, y, 2, 0);  // dashes in HP-GL
        RESET("dash");
        THKCRV(0.3f);
        CURVE(x, y, 2, 0);  // parallel strokes in HP-GL
        THKCRV(0);
        std::string stream = finish(from);
        EXPECT_EQ(stream.find("PD"), std::string::npos) << stream;
    }
}

TEST_F(Blanking, DebugReportsTheArea) {
    start_graph("HPGL2");
    RDEBUG();
    BLREC(40, 40, 20, 20, 0);
    BLCIRC(50, 50, 10, 0);
    EXPECT_NE(out().find(" BLREC-I-Bereich    1     40.00     40.00     60.00     60.00\n"), std::string::npos)
        << out();
    EXPECT_NE(out().find(" BLCIRC-I-Bereich    2     50.00     50.00     10.00\n"), std::string::npos) << out();
}

}  // namespace
