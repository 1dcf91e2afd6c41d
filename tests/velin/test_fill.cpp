// Hatching and solid fill in both output modes: pattern codes, the fixed
// hatch grid, bands between curves, polygons and rectangles.
#include <functional>

#include "fixture.h"
#include "platform/fatal.h"
#include "velin/state.h"
#include "velin/velin.h"

using namespace velin;
using velintest::count;
using velintest::fatal_text;

namespace {

class Fill : public velintest::VelinTest {};

TEST_F(Fill, PatternCodes) {
    start_graph("HPGL");
    SHDPAT(45110);
    const DrawSettings& s = plot_state().s;
    EXPECT_FLOAT_EQ(s.shade_angle, 45.0f);
    EXPECT_EQ(s.shade_count, 1);
    EXPECT_FLOAT_EQ(s.shade_spacing, 0.4f);
    EXPECT_FALSE(s.shade_cross);
    EXPECT_FALSE(s.shade_special);
    SHDPAT(45111);
    EXPECT_TRUE(s.shade_cross);
    SHDPAT(90530);
    EXPECT_FLOAT_EQ(s.shade_angle, 90.0f);
    EXPECT_EQ(s.shade_count, 1);
    EXPECT_TRUE(s.shade_special);
    EXPECT_FLOAT_EQ(s.shade_spacing, 1.2f);
    SHDPAT(340);
    EXPECT_EQ(s.shade_count, 3);
    SHDPAT(0);
    EXPECT_EQ(s.shade_count, 0);
    // A thick pen widens the spacing.
    SETPEN(1, 0.7f, 0, 0, 0);
    SELPEN(1);
    SHDPAT(110);
    EXPECT_FLOAT_EQ(s.shade_spacing, 0.7f);
}

TEST_F(Fill, ClosedAndOpenPolygonsGiveTheSameOutput) {
    for (const char* device : {"HPGL", "HPGL2"}) {
        start_graph(device);
        float xo[4] = {10, 30, 30, 10}, yo[4] = {10, 10, 25, 25};
        float xc[5] = {10, 30, 30, 10, 10}, yc[5] = {10, 10, 25, 25, 10};
        float dist[1] = {2.0f};
        long long a = position();
        SHADE(xo, yo, 4, 30.0f, dist, 1);
        long long b = position();
        SHADE(xc, yc, 5, 30.0f, dist, 1);
        long long c = position();
        FILPOL(xo, yo, 4);
        long long d = position();
        FILPOL(xc, yc, 5);
        long long e = position();
        std::string stream = finish(a);
        auto piece = [&](long long from, long long to) {
            return stream.substr(static_cast<std::size_t>(from - a), static_cast<std::size_t>(to - from));
        };
        EXPECT_FALSE(piece(a, b).empty()) << device;
        EXPECT_EQ(piece(a, b), piece(b, c)) << device;
        EXPECT_EQ(piece(c, d), piece(d, e)) << device;
        TearDown();
        SetUp();
    }
}

TEST_F(Fill, HatchedPolygonInHpgl2IsOnePolygonInstruction) {
    start_graph("HPGL2");
    float x[4] = {10, 30, 30, 10}, y[4] = {10, 10, 25, 25};
    float dist[1] = {2.0f};
    long long from = position();
    SHADE(x, y, 4, 45.0f, dist, 1);
    std::string stream = finish(from);
    EXPECT_EQ(stream, "FT3,80,45PU402,402PM0PD1206,402,1206,1005,402,1005PM2FPEPFTSP0PG;");
}

// The device fills areas itself, so a fill is cut into the parts beside an
// active blanking rectangle (here the strip x = 15..20 mm).
TEST_F(Fill, DeviceFillsKeepOutOfBlankingAreas) {
    start_graph("HPGL2");
    BLREC(15, 0, 5, 40, 0);
    float x[4] = {10, 30, 30, 10}, y[4] = {10, 10, 25, 25};
    float dist[1] = {2.0f};
    long long from = position();
    SHADE(x, y, 4, 45.0f, dist, 1);
    FILREC(10, 30, 10, 25);
    float inside_x[3] = {16, 19, 16}, inside_y[3] = {5, 5, 30};
    FILPOL(inside_x, inside_y, 3);  // wholly within the strip: nothing
    BLOFF(1);
    FILREC(10, 30, 10, 25);
    const std::string left = "PU402,402PM0PD603,402,603,1005,402,1005", right = "PU804,402PM0PD1206,402,1206,1005,804,1005";
    EXPECT_EQ(finish(from), "FT3,80,45" + left + "PM2FPEPFT" + "FT3,80,45" + right + "PM2FPEPFT" +  //
                                left + "PM2FTFP" + right + "PM2FTFP" + "PU402,402RA1206,1005SP0PG;");
}

TEST_F(Fill, SolidFillInHpglScansOnThePenGrid) {
    start_graph("HPGL");
    SETPEN(1, 0.3f, 0, 0, 0);
    SELPEN(1);
    float x[3] = {0, 1, 0}, y[3] = {0, 0, 1};
    long long from = position();
    FILPOL(x, y, 3);  // pen 1 is 0.3 mm: scan lines at 0.15, 0.45, 0.75 mm
    std::string stream = finish(from);
    EXPECT_EQ(count(stream, "PD"), 3);
    // Every other line runs backwards.
    EXPECT_NE(stream.find("PU0,6;PD34,6"), std::string::npos);
    EXPECT_NE(stream.find("PU22,18;PD0,18"), std::string::npos);
}

TEST_F(Fill, Rectangles) {
    start_graph("HPGL2");
    long long from = position();
    FILREC(10, 20, 10, 15);
    std::string stream = finish(from);
    EXPECT_EQ(stream, "PU402,402RA804,603SP0PG;");
    EXPECT_EQ(count(stream, "PU"), 1);
    EXPECT_EQ(count(stream, "RA"), 1);
    TearDown();
    SetUp();
    start_graph("HPGL");
    SETPEN(1, 0.3f, 0, 0, 0);
    SELPEN(1);
    RDEBUG();
    from = position();
    FILREC(20, 10, 11, 10);  // corners in any order; 0.3 mm pen: 4 lines
    std::string hpgl = finish(from);
    EXPECT_EQ(count(hpgl, "PD"), 4);
    EXPECT_NE(hpgl.find("PU402,404;PD804,404"), std::string::npos);
    EXPECT_NE(out().find(" FILREC-I-Schraffurlinien       4\n"), std::string::npos);
}

TEST_F(Fill, BandBetweenTwoCurves) {
    start_graph("HPGL");
    NOCHEK();
    // Without a chosen pattern the band is hatched at 45 degrees, 0.4 mm.
    float x1[2] = {0, 10}, y1[2] = {0, 0};
    float x2[2] = {0, 10}, y2[2] = {2, 2};
    long long from = position();
    SHDCRV(x1, y1, 2, x2, y2, 2);
    std::string band = finish(from);
    EXPECT_FLOAT_EQ(plot_state().s.shade_angle, 45.0f);
    EXPECT_GT(count(band, "PD"), 20);
    TearDown();
    SetUp();
    // A closed square given as curve 1 alone, hatched at 0 degrees every 0.8 mm.
    start_graph("HPGL");
    SHDPAT(120);
    float xs[5] = {0, 4, 4, 0, 0}, ys[5] = {0, 0, 4, 4, 0};
    from = position();
    SHDCRV(xs, ys, 5, xs, ys, 0);
    std::string square = finish(from);
    EXPECT_EQ(count(square, "PD"), 5);  // at 0, 0.8, 1.6, 2.4 and 3.2 mm
    EXPECT_EQ(square.substr(0, 28), "PU0,0;PD160,0PU0,32;PD160,32");
}

TEST_F(Fill, Failures) {
    start_graph("HPGL");
    float x[4] = {10, 30, 30, 10}, y[4] = {10, 10, 25, 25};
    float zero[2] = {0.0f, 0.0f};
    EXPECT_EQ(fatal_text([&] { SHADE(x, y, 4, 0.0f, zero, 2); }), "SHADE-F-Dall=0     2   0.000   0.000");
    float dist[1] = {1.0f};
    long long from = position();
    SHADE(x, y, 2, 0.0f, dist, 1);
    EXPECT_EQ(position(), from);
    EXPECT_NE(out().find(" SHADEM-W-Anzahl der Stützpunkte zu gering - n=     2\n"), std::string::npos);
    EXPECT_EQ(fatal_text([&] { FILPOL(x, y, 5); }).substr(0, 7), "FILPOL-");
}

}  // namespace
