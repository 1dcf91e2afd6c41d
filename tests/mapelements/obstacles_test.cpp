// Obstacles in sections: the obstacle list as rectangles and trees, the cell
// mask of the flow plots, and digitised building files.
//
// The grid has 10 x 10 cells of 10 m and 8 layers of 2 m (ZL(k) = 2k - 1);
// the graph shows 0..100 on 100 mm, so one model metre is one millimetre.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "mapelements/clipping.h"
#include "mapelements/obstacles.h"
#include "plot_fixture.h"
#include "resultfile/model.h"
#include "velin/velin.h"

using namespace testing_support;
using namespace mapelements;
namespace rf = resultfile;

namespace {

struct Rec {
    int ia, ie, ja, je, ka, ke, htyp = 0;
};

void make_grid(int nx, int ny, int nz, float dx, float dy, float dz) {
    rf::Grid& g = rf::grid();
    g = rf::Grid();
    g.NX = nx;
    g.NY = ny;
    g.NZ = nz;
    g.DX = dx;
    g.DY = dy;
    g.XU.resize(nx + 1);
    g.YV.resize(ny + 1);
    g.ZW.resize(nz + 1);
    g.ZL.resize(nz);
    for (int i = 1; i <= nx + 1; ++i) g.XU(i) = dx * static_cast<float>(i - 1);
    for (int j = 1; j <= ny + 1; ++j) g.YV(j) = dy * static_cast<float>(j - 1);
    for (int k = 1; k <= nz + 1; ++k) g.ZW(k) = dz * static_cast<float>(k - 1);
    for (int k = 1; k <= nz; ++k) g.ZL(k) = dz * (static_cast<float>(k) - 0.5f);
}

void make_list(int nb, int no, int np, const std::vector<Rec>& recs) {
    rf::ObstacleList& ob = rf::obstacles();
    ob = rf::ObstacleList();
    ob.nb = nb;
    ob.no = no;
    ob.np = np;
    ob.ngb = nb + no + np;
    const int n = static_cast<int>(recs.size());
    for (auto* a : {&ob.IGA, &ob.IGE, &ob.JGA, &ob.JGE, &ob.KGA, &ob.KGE, &ob.HTYP}) a->resize(n);
    for (int kb = 1; kb <= n; ++kb) {
        const Rec& r = recs[static_cast<std::size_t>(kb - 1)];
        ob.IGA(kb) = static_cast<std::int16_t>(r.ia);
        ob.IGE(kb) = static_cast<std::int16_t>(r.ie);
        ob.JGA(kb) = static_cast<std::int16_t>(r.ja);
        ob.JGE(kb) = static_cast<std::int16_t>(r.je);
        ob.KGA(kb) = static_cast<std::int16_t>(r.ka);
        ob.KGE(kb) = static_cast<std::int16_t>(r.ke);
        ob.HTYP(kb) = static_cast<std::int16_t>(r.htyp);
    }
}

ObstacleWindow full_window() {
    ObstacleWindow w;
    w.XMIN = 0.0f;
    w.XMAX = 100.0f;
    w.YMIN = 0.0f;
    w.YMAX = 100.0f;
    w.ILB = 1;
    w.IRB = 10;
    w.JVB = 1;
    w.JHB = 10;
    return w;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Obstacles : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        rf::reset_model();
        reset_obstacle_state();
        make_grid(10, 10, 8, 10.0f, 10.0f, 2.0f);
        set_obstacle_window(full_window());
        start_graph(100.0f, 100.0f, 100.0f, 100.0f);
        banner_ = out().size();
    }
    void TearDown() override {
        rf::reset_model();
        reset_obstacle_state();
        PlotTest::TearDown();
    }
    // The closed outline of a rectangle as CURVE writes it.
    static std::string outline(float xa, float xe, float ya, float ye) {
        return "PU" + plotter_point(xa, ya) + ";PD" + plotter_point(xe, ya) + "," + plotter_point(xe, ye) + "," +
               plotter_point(xa, ye) + "," + plotter_point(xa, ya);
    }
    // The stream written from byte `from` on, once the plot is finished.
    std::string drawn_since(long long from) { return finish().substr(static_cast<std::size_t>(from)); }
    static int areas() { return velin::plot_state().s.blanking_areas; }
    // The console after the plot's banner.
    std::string said() const { return out().substr(banner_); }

private:
    std::size_t banner_ = 0;
};

// ---- bad input --------------------------------------------------------------

// Boxes before, beyond and across the 10 x 10 x 8 grid, a first index beyond its
// last, and 16-bit extremes.
const std::vector<Rec> kAbsurdRecords = {{-5, -1, 1, 2, 1, 2},    {0, 0, 0, 0, 0, 0},
                                         {11, 20, 1, 2, 1, 2},    {5, 3, 1, 2, 1, 2},
                                         {1, 2, 1, 2, 4, 3},      {-32768, 32767, -32768, 32767, -32768, 3},
                                         {9, 40, 9, 40, -3, 50}};

TEST_F(Obstacles, RecordsOutsideTheGridAreSkippedOrCutToIt) {
    // The counts claim more records than the list holds.
    make_list(9, 0, 0,
              kAbsurdRecords);
    const long long start = position();
    PLBDIG(3, 2, false, false, false, 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(out(), " - PLBDIG -    7 massive Hindernisse\n")) << out();
    EXPECT_TRUE(has(s, outline(0, 100, 0, 100))) << s;
    EXPECT_TRUE(has(s, outline(80, 100, 80, 100))) << s;
    EXPECT_EQ(count(s, "FT3"), 2) << s;
    EXPECT_EQ(count(s, "PM0"), 2) << s;
}

TEST_F(Obstacles, AbsurdRecordsInVerticalSectionsAndMasks) {
    make_list(7, 0, 0,
              kAbsurdRecords);
    answer("0\n");
    const long long start = position();
    PLBDIG(1, 10, false, false, false, 2);
    PLBDIG(2, 10, false, false, false, 2);
    const std::string s = drawn_since(start);
    // Both cut records, cut to the grid and the model top, in both sections.
    EXPECT_EQ(count(s, outline(0, 100, 0, 6)), 2) << s;
    EXPECT_EQ(count(s, outline(80, 100, 0, 16)), 2) << s;
    EXPECT_EQ(count(s, "FT3"), 4) << s;

    platform::Field2D<std::int16_t> LGB;
    IMHAUS(2, 3, LGB, 10, 10, 7, 1, 10, 1, 10);
    EXPECT_EQ(LGB(1, 1), 3);
    EXPECT_EQ(LGB(8, 8), 3);
    EXPECT_EQ(LGB(9, 9), 8);
    EXPECT_EQ(LGB(10, 10), 8);
    IMHAUS(10, 1, LGB, 10, 8, 99, 1, 10, 1, 10);
    EXPECT_EQ(LGB(1, 3), 1);
    EXPECT_EQ(LGB(1, 4), 0);
    EXPECT_EQ(LGB(9, 4), 1);  // the last record, up to the top
    EXPECT_EQ(LGB(10, 8), 1);
    EXPECT_EQ(LGB(8, 4), 0);
    IMHAUS(2, 3, LGB, 0, 10, 7, 1, 10, 1, 10);
    EXPECT_TRUE(LGB.empty());
}

TEST_F(Obstacles, GridArraysShorterThanTheirCountsLimitTheBoxes) {
    rf::grid().XU.resize(6);  // faces 0..50 only, although NX says 10
    for (int i = 1; i <= 6; ++i) rf::grid().XU(i) = 10.0f * static_cast<float>(i - 1);
    make_list(1, 0, 0, {{1, 10, 1, 2, 1, 2}});
    const long long start = position();
    PLBDIG(3, 1, false, false, false, 2);
    EXPECT_TRUE(has(drawn_since(start), outline(0, 50, 0, 20)));
}

TEST_F(Obstacles, UnknownSectionKindStopsWithAMessage) {
    make_list(1, 0, 0, {{1, 2, 1, 2, 1, 2}});
    EXPECT_EQ(fatal_message([] { PLBDIG(4, 1, false, false, false, 2); }), "PLBDIG-F-unbekannte Schnittart IS=4");
    platform::Field2D<std::int16_t> LGB;
    EXPECT_EQ(fatal_message([&] { IMHAUS(1, 0, LGB, 5, 5, 1, 1, 5, 1, 5); }), "IMHAUS-F-unbekannte Schnittart IS=0");
}

TEST_F(Obstacles, PenAnswersThatAreNoPenAreAskedAgain) {
    make_list(1, 1, 0, {{1, 2, 1, 2, 1, 2}, {4, 5, 4, 5, 1, 1}});
    answer("drei\n300\n3\n");
    PLBDIG(3, 1, false, false, false, 2);
    EXPECT_EQ(count(out(), " Stift für Orographie (0 - Orogr. nicht eintragen): "), 3);
    EXPECT_EQ(obstacle_state().IPEN_ORO, 3);
}

TEST_F(Obstacles, EndOfInputAtThePenQuestionEndsTheRun) {
    make_list(1, 1, 0, {{1, 2, 1, 2, 1, 2}, {4, 5, 4, 5, 1, 1}});
    answer("");
    const std::string message = fatal_message([] { PLBDIG(3, 1, false, false, false, 2); });
    EXPECT_TRUE(has(message, "Stift für Orographie")) << message;
}

TEST_F(Obstacles, RectangleWithoutWidthInTheWindowIsSkipped) {
    ObstacleWindow w = full_window();
    w.XMAX = 20.0f;  // the obstacle starts on the window's edge
    set_obstacle_window(w);
    make_list(1, 0, 0, {{3, 4, 1, 2, 2, 3}});
    const long long start = position();
    PLBDIG(3, 2, false, true, true, 2);
    EXPECT_EQ(areas(), 0);
    EXPECT_FALSE(has(out(), "abgehobenes"));
    EXPECT_FALSE(has(drawn_since(start), "RA"));
}

// ---- horizontal sections --------------------------------------------------------

TEST_F(Obstacles, LiftedObstacleIsOutlinedWithTheNextPen) {
    make_list(2, 0, 0, {{2, 3, 2, 3, 3, 5}, {6, 7, 6, 7, 1, 4}});
    const long long start = position();
    PLBDIG(3, 2, false, false, false, 2);
    EXPECT_EQ(velin::CURTHK(), 0.01f);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(out(), " - PLBDIG -    2 massive Hindernisse\n - PLBDIG-I-abgehobenes Hindernis gezeichnet     1\n"))
        << out();
    EXPECT_EQ(count(out(), "abgehobenes"), 1);
    EXPECT_TRUE(has(s, "SP3;" + outline(10, 30, 10, 30) + "SP2;" + outline(50, 70, 50, 70) + "FT3")) << s;
    EXPECT_EQ(count(s, "FT3"), 1) << s;
}

TEST_F(Obstacles, UncutObstacleInTheOrographyReturnsToItsGroupPen) {
    make_list(0, 2, 0, {{2, 3, 2, 3, 3, 5}, {6, 7, 6, 7, 1, 4}});
    answer("5\n");
    const long long start = position();
    PLBDIG(3, 2, false, false, false, 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "SP5;SP3;" + outline(10, 30, 10, 30) + "SP5;" + outline(50, 70, 50, 70) + "FT3")) << s;
}

TEST_F(Obstacles, BlackFillsSolidAndOnlyBlankRegistersAreas) {
    make_list(1, 0, 0, {{3, 4, 3, 4, 1, 2}});
    long long start = position();
    PLBDIG(3, 1, false, true, false, 2);
    EXPECT_EQ(areas(), 0);
    PLBDIG(3, 1, false, true, true, 2);
    EXPECT_EQ(areas(), 1);
    std::string s = drawn_since(start);
    const std::string fill = "PU" + plotter_point(20, 20) + "RA" + plotter_point(40, 40);
    EXPECT_EQ(count(s, fill), 2) << s;
    EXPECT_FALSE(has(s, outline(20, 40, 20, 40)));  // solid obstacles have no outline
    EXPECT_FALSE(has(s, "FT3"));
}

TEST_F(Obstacles, BlankAreaInterruptsALineOnceSwitchedOn) {
    make_list(1, 0, 0, {{3, 4, 3, 4, 1, 2}});
    PLBDIG(3, 1, false, false, true, 2);  // hatched, still a blanking area
    ASSERT_EQ(areas(), 1);
    const float x[2] = {0.0f, 100.0f}, y[2] = {30.0f, 30.0f};
    long long start = position();
    velin::CURVE(x, y, 2, 0);  // registered switched off: no gap yet
    velin::BLON(1);
    velin::CURVE(x, y, 2, 0);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "PU" + plotter_point(0, 30) + ";PD" + plotter_point(100, 30))) << s;
    EXPECT_TRUE(has(s, "PD" + plotter_point(20, 30) + "PU" + plotter_point(40, 30) + ";PD" + plotter_point(100, 30)))
        << s;
}

TEST_F(Obstacles, NegativePatternAlsoBlanks) {
    const long long start = position();
    BLOCK(20, 40, 20, 40, false, -45510);
    EXPECT_EQ(areas(), 1);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(20, 40, 20, 40) + "FT3,16,45")) << s;
}

TEST_F(Obstacles, DraftShowsOutlinesOrOnlyTheBlankingArea) {
    make_list(1, 0, 0, {{3, 4, 3, 4, 1, 2}});
    long long start = position();
    PLBDIG(3, 1, true, false, false, 2);
    EXPECT_EQ(areas(), 0);
    std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(20, 40, 20, 40))) << s;
    EXPECT_FALSE(has(s, "FT3"));
    EXPECT_FALSE(has(s, "PM0"));
}

TEST_F(Obstacles, DraftSolidDrawsNothingButRegistersTheArea) {
    make_list(1, 0, 0, {{3, 4, 3, 4, 1, 2}});
    velin::SELPEN(2);
    const long long start = position();
    PLBDIG(3, 1, true, true, false, 2);
    EXPECT_EQ(areas(), 1);
    EXPECT_EQ(position(), start);
}

TEST_F(Obstacles, TreeRadiusFollowsTheCentreOfTheTopCell) {
    // Tops at ZL 11, 9, 7 m and, capped to the model top, 15 m.
    make_list(4, 0, 0, {{2, 2, 2, 2, 1, 6, 4}, {5, 5, 2, 2, 1, 5, 14}, {8, 8, 2, 2, 1, 4, 5}, {5, 5, 6, 6, 1, 30, 4}});
    const long long start = position();
    PLBDIG(3, 1, false, false, false, 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "PU" + plotter_point(15.0f + 3.5f, 15.0f) + ";PD")) << s;
    EXPECT_TRUE(has(s, "PU" + plotter_point(45.0f + 2.5f, 15.0f) + ";PD")) << s;
    EXPECT_TRUE(has(s, "PU" + plotter_point(75.0f + 2.0f, 15.0f) + ";PD")) << s;
    EXPECT_TRUE(has(s, "PU" + plotter_point(45.0f + 3.5f, 55.0f) + ";PD")) << s;
    EXPECT_FALSE(has(s, "FT3"));
}

TEST_F(Obstacles, TreeIsAThirteenPointCircle) {
    const long long start = position();
    TREE(50.0f, 50.0f, 10.0f, 0.0f);
    const std::string s = drawn_since(start);
    std::string expected = "PU" + plotter_point(60, 50) + ";PD";
    for (int i = 2; i <= 12; ++i) {
        const double a = 0.523 * (i - 1);
        expected += plotter_point(static_cast<float>(50.0 + 10.0 * std::cos(a)),
                                  static_cast<float>(50.0 + 10.0 * std::sin(a))) + ",";
    }
    expected += plotter_point(60, 50);
    EXPECT_TRUE(has(s, expected)) << s << "\n" << expected;
    EXPECT_FALSE(has(out(), "SHDFAC"));
}

TEST_F(Obstacles, TreeWarnsAboutShadingAfterDrawing) {
    const long long start = position();
    TREE(50.0f, 50.0f, 3.0f, 0.5f);
    EXPECT_EQ(said(), " TREE-W-SHDFAC not supported\n");
    EXPECT_TRUE(has(drawn_since(start), "PU" + plotter_point(53, 50)));
}

TEST_F(Obstacles, PenQuestionsAreAskedOncePerPicture) {
    make_list(1, 1, 1, {{1, 2, 1, 2, 1, 2}, {4, 5, 4, 5, 1, 1}, {7, 8, 7, 8, 1, 3, 1}});
    answer("3\n4\n");
    long long start = position();
    PLBDIG(3, 1, false, false, false, 2);
    PLBDIG(3, 1, false, false, false, 2);  // no answers left: must not ask
    EXPECT_EQ(count(out(), " Stift für Orographie (0 - Orogr. nicht eintragen): "), 1);
    EXPECT_EQ(count(out(), " Stift für poröse Hindernisse (0 - por. Hind. nicht eintragen): "), 1);
    new_obstacle_picture();
    answer("5\n0\n");
    PLBDIG(3, 1, false, false, false, 2);
    EXPECT_EQ(count(out(), " Stift für Orographie (0 - Orogr. nicht eintragen): "), 2);
    EXPECT_EQ(count(out(), " Stift für poröse Hindernisse (0 - por. Hind. nicht eintragen): "), 2);
    const std::string s = drawn_since(start);
    EXPECT_EQ(count(s, "SP3;" + outline(30, 50, 30, 50)), 2) << s;
    EXPECT_EQ(count(s, "SP4;" + outline(60, 80, 60, 80)), 2) << s;
    EXPECT_EQ(count(s, "SP5;" + outline(30, 50, 30, 50)), 1) << s;
    EXPECT_EQ(count(s, outline(60, 80, 60, 80)), 2) << s;  // porous switched off in the new picture
}

TEST_F(Obstacles, PenQuestionsOnlyForGroupsThatExist) {
    make_list(1, 0, 1, {{1, 2, 1, 2, 1, 2}, {7, 8, 7, 8, 1, 3, 1}});
    answer("4\n");
    PLBDIG(3, 1, false, false, false, 2);
    EXPECT_FALSE(has(out(), "Orographie"));
    EXPECT_TRUE(has(out(), " Stift für poröse Hindernisse (0 - por. Hind. nicht eintragen): "));
}

TEST_F(Obstacles, GroupsDrawFromTheirOwnRangesWithTheirOwnPens) {
    make_list(1, 1, 1, {{1, 2, 1, 2, 1, 2}, {4, 5, 4, 5, 1, 1}, {7, 8, 7, 8, 1, 3, 1}});
    answer("0\n4\n");
    const long long start = position();
    PLBDIG(3, 1, false, false, false, 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "SP2;" + outline(0, 20, 0, 20))) << s;
    EXPECT_FALSE(has(s, outline(30, 50, 30, 50))) << s;  // orography off
    EXPECT_TRUE(has(s, "SP4;" + outline(60, 80, 60, 80))) << s;
    EXPECT_EQ(count(s, "FT3"), 2);
}

// ---- vertical sections ------------------------------------------------------------

TEST_F(Obstacles, ObstaclesBesideTheSectionAreDashedWithinTheDistance) {
    // Three buildings and three trees: cut by column 5, two cells beside it, five cells beside it.
    make_list(3, 0, 3,
              {{4, 6, 1, 2, 1, 2}, {7, 8, 4, 5, 1, 3}, {8, 9, 7, 8, 1, 2},
               {5, 5, 9, 9, 1, 4, 4}, {7, 7, 3, 3, 1, 4, 4}, {10, 10, 4, 4, 1, 4, 4}});
    answer("3\n20\n");
    long long start = position();
    PLBDIG(1, 5, false, false, false, 2);
    EXPECT_EQ(obstacle_state().MINAB, 2);
    EXPECT_TRUE(has(out(), " Hindernisse neben dem Schnitt berücksichtigen?\n Erfassungsabstand: ")) << out();
    std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(0, 20, 0, 4) + "FT3")) << s;
    EXPECT_TRUE(has(s, "LT2,3.,1" + outline(30, 50, 0, 6) + "LT")) << s;
    EXPECT_FALSE(has(s, outline(60, 80, 0, 4))) << s;
    EXPECT_EQ(count(s, "FT3"), 1);
    // Trees (radius 2 m, centre at half their height of 8 m) obey the same rule.
    EXPECT_TRUE(has(s, "SP3;PU" + plotter_point(87, 4) + ";PD")) << s;
    EXPECT_TRUE(has(s, "LT2,3.,1PU" + plotter_point(27, 4) + ";PD")) << s;
    EXPECT_FALSE(has(s, "PU" + plotter_point(37, 4))) << s;
}

TEST_F(Obstacles, DistanceIsAskedOncePerPictureAndZeroShowsNothingBeside) {
    make_list(2, 0, 0, {{4, 6, 1, 2, 1, 2}, {7, 8, 4, 5, 1, 3}});
    answer("14\n");
    PLBDIG(2, 2, false, false, false, 2);
    EXPECT_EQ(obstacle_state().MINAB, 1);
    PLBDIG(2, 2, false, false, false, 2);
    EXPECT_EQ(count(out(), " Erfassungsabstand: "), 1);
    new_obstacle_picture();
    answer("0\n");
    const long long start = position();
    PLBDIG(1, 7, false, false, false, 2);
    EXPECT_EQ(count(out(), " Erfassungsabstand: "), 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(30, 50, 0, 6))) << s;
    EXPECT_FALSE(has(s, "LT2")) << s;
}

TEST_F(Obstacles, CellWindowAppliesAlongVerticalSections) {
    ObstacleWindow w = full_window();
    w.JVB = 3;
    w.JHB = 6;
    set_obstacle_window(w);
    make_list(2, 0, 0, {{4, 6, 1, 10, 1, 2}, {4, 6, 8, 9, 1, 2}});
    answer("0\n");
    const long long start = position();
    PLBDIG(1, 5, false, false, false, 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(20, 60, 0, 4))) << s;
    EXPECT_EQ(count(s, "FT3"), 1);
}

TEST_F(Obstacles, VerticalSectionsShownBelowTheTopCutTheObstacles) {
    ObstacleWindow w = full_window();
    w.YMAX = 5.0f;  // the section shows 5 m of the 16 m model
    set_obstacle_window(w);
    // A building of 12 m, one standing on 6 m, and trees with centres at 4 m and 7 m.
    make_list(2, 0, 2, {{4, 6, 1, 2, 1, 6}, {4, 6, 4, 5, 4, 6}, {5, 5, 7, 7, 1, 4, 4}, {5, 5, 9, 9, 3, 5, 4}});
    answer("3\n0\n");
    const long long start = position();
    PLBDIG(1, 5, false, false, false, 2);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(0, 20, 0, 5) + "FT3")) << s;
    EXPECT_FALSE(has(s, outline(30, 50, 6, 12))) << s;
    EXPECT_TRUE(has(s, "PU" + plotter_point(67, 4) + ";PD")) << s;
    EXPECT_FALSE(has(s, "PU" + plotter_point(87.5f, 7))) << s;
    EXPECT_EQ(count(s, "FT3"), 1);
}

TEST_F(Obstacles, MassiveObstaclesAboveTheTopAreCappedInTheList) {
    make_list(1, 0, 1, {{4, 6, 1, 2, 1, 12}, {4, 6, 4, 5, 1, 12, 1}});
    answer("3\n0\n");
    const long long start = position();
    PLBDIG(1, 5, false, false, false, 2);
    EXPECT_TRUE(has(out(), " - PLBDIG-I-Hindernisse teilweise gekappt!!!\n")) << out();
    EXPECT_EQ(rf::obstacles().KGE(1), 8);
    EXPECT_EQ(rf::obstacles().KGE(2), 12);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(0, 20, 0, 16))) << s;
    EXPECT_TRUE(has(s, "SP3;" + outline(30, 50, 0, 16))) << s;
}

// ---- terrain-following sections -------------------------------------------------------

TEST_F(Obstacles, TerrainFollowingSectionCutsAtTheFirstCell) {
    platform::Field2D<int> KGEL(10, 10, 0);
    for (int j = 1; j <= 10; ++j)
        for (int i = 6; i <= 10; ++i) KGEL(i, j) = 3;
    // Level 1 over cells 4 and 5, level 4 from cell 6 on.
    make_list(3, 0, 0, {{4, 7, 1, 1, 1, 2}, {6, 7, 3, 3, 1, 2}, {6, 6, 5, 5, 4, 4}});
    const long long start = position();
    PLBDIG(3, 1, false, false, false, 2, &KGEL);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(30, 70, 0, 10) + "FT3")) << s;
    EXPECT_TRUE(has(s, "SP3;" + outline(50, 70, 20, 30) + "SP2;")) << s;
    EXPECT_TRUE(has(s, outline(50, 60, 40, 50) + "FT3")) << s;
}

// ---- the mask of the flow plots ------------------------------------------------------------

TEST_F(Obstacles, MaskOfVerticalSectionsStartsAtTheWindow) {
    make_list(3, 0, 0, {{4, 6, 2, 4, 1, 3}, {7, 9, 3, 8, 1, 2}, {5, 5, 8, 12, 2, 9}});
    platform::Field2D<std::int16_t> LGB;
    IMHAUS(5, 1, LGB, 6, 8, 3, 1, 10, 3, 8);
    EXPECT_TRUE(has(out(), " - IMHAUS -    3 massive Hindernisse\n"));
    ASSERT_EQ(LGB.n1(), 6);
    ASSERT_EQ(LGB.n2(), 8);
    std::string rows;
    for (int k = 8; k >= 1; --k) {
        for (int a = 1; a <= 6; ++a) rows += static_cast<char>('0' + LGB(a, k));
        rows += "\n";
    }
    EXPECT_EQ(rows,
              "000001\n"
              "000001\n"
              "000001\n"
              "000001\n"
              "000001\n"
              "110001\n"
              "110001\n"
              "110000\n");

    IMHAUS(5, 2, LGB, 5, 4, 3, 4, 8, 1, 10);
    rows.clear();
    for (int k = 4; k >= 1; --k) {
        for (int a = 1; a <= 5; ++a) rows += static_cast<char>('0' + LGB(a, k));
        rows += "\n";
    }
    EXPECT_EQ(rows,
              "00000\n"
              "00000\n"
              "00011\n"
              "00011\n");
}

TEST_F(Obstacles, MaskOfHorizontalSectionsHoldsTopLevels) {
    make_list(3, 0, 0, {{1, 4, 1, 2, 1, 4}, {4, 5, 2, 3, 2, 6}, {5, 5, 5, 5, 3, 4}});
    platform::Field2D<std::int16_t> LGB;
    IMHAUS(2, 3, LGB, 5, 4, 3, 3, 7, 2, 5);
    std::string rows;
    for (int j = 4; j >= 1; --j) {
        for (int i = 1; i <= 5; ++i) rows += static_cast<char>('0' + LGB(i, j));
        rows += "\n";
    }
    EXPECT_EQ(rows,
              "00000\n"
              "00000\n"
              "06600\n"
              "46600\n");
}

TEST_F(Obstacles, MaskOfTerrainFollowingSections) {
    platform::Field2D<int> KGEL(10, 10, 0);
    for (int j = 1; j <= 10; ++j)
        for (int i = 6; i <= 10; ++i) KGEL(i, j) = 3;
    KGEL(8, 1) = 10;  // level 11 lies above the top: the top layer counts
    make_list(3, 0, 0, {{4, 7, 1, 1, 1, 2}, {6, 6, 2, 2, 4, 4}, {8, 8, 1, 1, 7, 12}});
    platform::Field2D<std::int16_t> LGB;
    IMHAUS(1, 3, LGB, 10, 2, 3, 1, 10, 1, 10, &KGEL);
    std::string rows;
    for (int j = 2; j >= 1; --j) {
        for (int i = 1; i <= 10; ++i) rows += static_cast<char>('0' + LGB(i, j));
        rows += "\n";
    }
    EXPECT_EQ(rows,
              "0000040000\n"
              "0002200800\n");
}

// ---- building files -------------------------------------------------------------------

std::string f1(float v, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*.1f", width, static_cast<double>(v));
    return buffer;
}

std::string building_line(char key, float gh0, float gh, std::array<float, 4> x, std::array<float, 4> y, int width) {
    std::string s(1, key);
    s += f1(gh0, 5) + f1(gh, 5) + "  ";
    for (float v : x) s += f1(v, width);
    s += "  ";
    for (float v : y) s += f1(v, width);
    return s + f1(0.0f, 5) + "\n";
}

const char kHeader[] = "Innenstadt\n  Stand 1994\n";

class Buildings : public Obstacles {
protected:
    std::string file(const std::string& name, const std::string& text) {
        dir.write(name, text);
        return dir.file(name);
    }
};

TEST_F(Buildings, MissingFileDrawsNothingAndSaysNothingMore) {
    velin::SELPEN(2);
    const long long start = position();
    PLBORG(dir.file("fehlt.dat"), 2, false, 10.0f);
    EXPECT_EQ(said(), " - PLBORG - " + dir.file("fehlt.dat") + "\n");
    EXPECT_EQ(position(), start);
}

TEST_F(Buildings, MalformedLineEndsTheFile) {
    std::string bad = building_line('C', 0, 20, {20, 40, 40, 20}, {20, 20, 40, 40}, 8);
    bad.replace(14, 6, "abcdef");
    const std::string path = file("haus.dat", building_line('C', 0, 20, {60, 80, 80, 60}, {60, 60, 80, 80}, 8) +
                                                  bad + building_line('C', 0, 20, {20, 40, 40, 20}, {60, 60, 80, 80}, 8));
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    const std::string s = drawn_since(start);
    EXPECT_EQ(count(s, "FT3"), 1) << s;
    EXPECT_TRUE(has(s, outline(60, 80, 60, 80))) << s;
}

TEST_F(Buildings, OverlongLinesAndLinesWithoutEndAreReadSafely) {
    std::string longline = building_line('C', 0, 20, {20, 40, 40, 20}, {20, 20, 40, 40}, 8);
    longline.pop_back();
    longline += std::string(5000, '9') + "\n";
    const std::string path = file("lang.dat", longline + "Q" + std::string(200000, '7'));
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(20, 40, 20, 40) + "FT3")) << s;
    EXPECT_EQ(count(s, "FT3"), 1);
}

TEST_F(Buildings, ColumnWidthSevenByThePointInColumn19) {
    const std::string path =
        file("sieben.dat", kHeader + building_line('C', 0, 20, {20, 40, 40, 20}, {20, 20, 40, 40}, 7));
    ASSERT_EQ(read_file(path).substr(sizeof kHeader - 1 + 18, 2), ".0");
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    EXPECT_EQ(obstacle_state().column_width, 7);
    EXPECT_TRUE(has(drawn_since(start), outline(20, 40, 20, 40) + "FT3"));
}

TEST_F(Buildings, ColumnWidthEightOtherwiseAndKeptForLaterFiles) {
    const std::string eight =
        file("acht.dat", kHeader + building_line('C', 0, 20, {20, 40, 40, 20}, {20, 20, 40, 40}, 8));
    const long long start = position();
    PLBORG(eight, 2, false, 10.0f);
    EXPECT_EQ(obstacle_state().column_width, 8);
    const std::string seven =
        file("sieben.dat", building_line('C', 0, 20, {60, 80, 80, 60}, {60, 60, 80, 80}, 7));
    PLBORG(seven, 2, false, 10.0f);
    EXPECT_EQ(obstacle_state().column_width, 8);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(20, 40, 20, 40) + "FT3")) << s;
    EXPECT_FALSE(has(s, outline(60, 80, 60, 80))) << s;
}

TEST_F(Buildings, FieldsWithoutPointHaveOneImpliedDecimal) {
    // gh0 blank (0), gh "  200" (20.0); x2 with a blank inside; the rest mixed.
    const std::string line = "C       200  " "     200" "   4 00 " "    40.0" "     200" "  "
                             "     200" "     2E2" "     400" "    40.0" "     ";
    ASSERT_EQ(line.size(), 84u);
    const std::string path = file("implizit.dat", line + "\n");
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(20, 40, 20, 40) + "FT3")) << s;
}

TEST_F(Buildings, LowBuildingsDottedHighOnesOutlinedCutOnesFilled) {
    const std::string path = file(
        "hoehen.dat", building_line('C', 0, 5, {10, 30, 30, 10}, {10, 10, 30, 30}, 8) +
                          building_line('C', 15, 30, {40, 60, 60, 40}, {10, 10, 30, 30}, 8) +
                          building_line('Q', 0, 30, {70, 90, 90, 70}, {10, 10, 30, 30}, 8) +
                          building_line('C', 0, 30, {10, 30, 30, 10}, {60, 60, 80, 80}, 8));
    velin::THKCRV(0.5f);
    const long long start = position();
    PLBORG(path, 2, true, 10.0f);
    EXPECT_EQ(velin::CURTHK(), 0.01f);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "LT1,1.,1" + outline(10, 30, 10, 30) + "LT")) << s;
    const std::size_t high = s.find(outline(40, 60, 10, 30));
    ASSERT_NE(high, std::string::npos) << s;
    EXPECT_EQ(s.find("LT1", high), std::string::npos);
    EXPECT_TRUE(has(s, "PU" + plotter_point(70, 10) + "RA" + plotter_point(90, 30))) << s;
    EXPECT_FALSE(has(s, outline(70, 90, 10, 30)));
    EXPECT_FALSE(has(s, outline(10, 30, 60, 80)));  // filled as a polygon, no outline
    EXPECT_TRUE(has(s, "FP")) << s;
}

TEST_F(Buildings, BuildingsAreClippedToTheWindow) {
    const std::string path = file("rand.dat", building_line('C', 0, 30, {80, 130, 130, 80}, {20, 20, 40, 40}, 8) +
                                                  building_line('C', 0, 30, {120, 130, 130, 120}, {20, 20, 40, 40}, 8));
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    EXPECT_FLOAT_EQ(clip_window().XRR, 100.0f);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, outline(80, 100, 20, 40) + "FT3")) << s;
    EXPECT_EQ(count(s, "FT3"), 1);
}

TEST_F(Buildings, PolylineEndedByABuildingLineDrawsBoth) {
    const std::string path = file("linie.dat", building_line('P', 0, 0, {10, 0, 0, 0}, {10, 0, 0, 0}, 8) +
                                                   building_line('W', 0, 0, {50, 0, 0, 0}, {10, 0, 0, 0}, 8) +
                                                   building_line('P', 0, 0, {50, 0, 0, 0}, {50, 0, 0, 0}, 8) +
                                                   building_line('C', 15, 30, {60, 80, 80, 60}, {60, 60, 80, 80}, 8));
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "PU" + plotter_point(10, 10) + ";PD" + plotter_point(50, 10) + "," + plotter_point(50, 50)))
        << s;
    EXPECT_TRUE(has(s, outline(60, 80, 60, 80))) << s;
}

TEST_F(Buildings, LongPolylineIsDrawnWhole) {
    std::string text;
    std::vector<std::pair<float, float>> points;
    for (int i = 0; i < 250; ++i) {
        const float x = 5.0f + 0.3f * static_cast<float>(i), y = 50.0f + static_cast<float>(i % 2) * 5.0f;
        points.emplace_back(x, y);
        text += building_line(i % 3 == 0 ? 'W' : 'P', 0, 0, {x, 0, 0, 0}, {y, 0, 0, 0}, 8);
    }
    const std::string path = file("lang.dat", text);
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    const std::string s = drawn_since(start);
    std::size_t at = s.find(plotter_point(points[0].first, points[0].second));
    ASSERT_NE(at, std::string::npos);
    for (const auto& [x, y] : points) {
        at = s.find(plotter_point(x, y), at);
        ASSERT_NE(at, std::string::npos) << x << " " << y;
    }
    // Pieces of 100 points, each starting where the last ended.
    EXPECT_EQ(count(s, "PU"), 3) << s;
    for (std::size_t joint : {99u, 198u}) {
        const std::string p = plotter_point(points[joint].first, points[joint].second);
        EXPECT_TRUE(has(s, "," + p + "PU" + p + ";PD")) << joint;
    }
}

TEST_F(Buildings, KeysTreesAndUnknownKeys) {
    std::string tree = building_line('M', 0, 12, {50, 60, 3, 0}, {0, 0, 0, 0}, 8);
    tree.replace(13 + 32, std::string::npos, "\n");  // a tree line ends after x4
    const std::string outside = building_line('M', 0, 12, {150, 60, 3, 0}, {0, 0, 0, 0}, 8);
    const std::string path = file("schluessel.dat", kHeader + tree + outside + "X  irgendein Text, keine Zahl\n" +
                                                        "! Kommentar\nZ" + std::string(40, ' ') + "\n");
    const long long start = position();
    PLBORG(path, 2, false, 10.0f);
    EXPECT_EQ(said(), " - PLBORG - " + path + "\n PLBORG-W-Kennung unbekannt: Z\n");
    const std::string s = drawn_since(start);
    EXPECT_TRUE(has(s, "PU" + plotter_point(53, 60) + ";PD")) << s;
    EXPECT_FALSE(has(s, plotter_point(153, 60))) << s;
}

TEST_F(Buildings, StoredDosNameIsFoundBesideTheResultFile) {
    rf::reader_state().result_name = dir.file("lauf.ERG");
    dir.write("haus.dat", building_line('C', 15, 30, {20, 40, 40, 20}, {20, 20, 40, 40}, 8));
    const long long start = position();
    PLBORG("C:\\RUN\\HAUS.DAT", 2, false, 10.0f);
    EXPECT_TRUE(has(drawn_since(start), outline(20, 40, 20, 40)));
}

// ---- the picture as a user sees it ------------------------------------------------------

TEST_F(Buildings, EveryKindRenders) {
    make_list(4, 1, 2,
              {{1, 2, 1, 2, 1, 3}, {4, 5, 1, 2, 3, 4}, {7, 8, 1, 2, 1, 2}, {1, 3, 8, 10, 1, 8},
               {9, 10, 9, 10, 1, 1},
               {5, 5, 5, 5, 1, 6, 4}, {7, 7, 5, 5, 1, 3, 4}});
    answer("4\n5\n");
    PLBDIG(3, 2, false, false, true, 2);
    const std::string path = file(
        "stadt.dat", kHeader + building_line('C', 0, 5, {20, 35, 40, 15}, {30, 30, 45, 40}, 8) +
                         building_line('C', 15, 30, {45, 60, 60, 45}, {60, 62, 75, 73}, 8) +
                         building_line('Q', 0, 30, {65, 85, 85, 65}, {60, 60, 75, 75}, 8) +
                         building_line('C', 0, 30, {65, 95, 85, 70}, {30, 35, 50, 45}, 8) +
                         building_line('P', 0, 0, {5, 0, 0, 0}, {95, 0, 0, 0}, 8) +
                         building_line('P', 0, 0, {50, 0, 0, 0}, {85, 0, 0, 0}, 8) +
                         building_line('W', 0, 0, {95, 0, 0, 0}, {95, 0, 0, 0}, 8) +
                         building_line('M', 0, 12, {30, 80, 4, 0}, {0, 0, 0, 0}, 8));
    PLBORG(path, 3, false, 10.0f);
    const std::string s = finish();
    EXPECT_EQ(count(s, "FT3"), 5);
    if (std::system("command -v hp2xx >/dev/null 2>&1") != 0) GTEST_SKIP() << "hp2xx is not installed";
    const std::string png = dir.file("obstacles_render.png"), log = dir.file("obstacles_render.log");
    const int rc = std::system(("hp2xx -q -m png -f '" + png + "' '" + plot_file + "' 2>'" + log + "'").c_str());
    EXPECT_EQ(rc, 0) << read_file(log);
    EXPECT_TRUE(std::filesystem::exists(png));
}

}  // namespace
