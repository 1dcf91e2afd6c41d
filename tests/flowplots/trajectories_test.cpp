#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "flowplots/trajectories.h"
#include "flowplots/vectors.h"
#include "flowplots/window.h"
#include "mapelements/legend.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;

namespace {

// n1 x n2 cells of d1 x d2 m from (x0, y0) in a uniform wind (u, v), which is
// also the inflow; the section is the window. A vertical section takes V as W and y as z.
struct Section {
    int n1, n2;
    platform::Field2D<float> U, V;
    platform::Field2D<std::int16_t> MAP, LGB;
    std::vector<double> xr, yr;
    std::vector<float> dx, dy;
    float U0, V0;  // inflow
    flowplots::PlotWindow window;
    Section(int a, int b, float d1, float d2, float u, float v, double x0 = 0.0, double y0 = 0.0)
        : n1(a), n2(b), U(a + 1, b, u), V(a, b + 1, v), MAP(a, b), LGB(a, b), U0(u), V0(v) {
        for (int i = 0; i <= a; ++i) xr.push_back(x0 + d1 * static_cast<double>(i));
        for (int j = 0; j <= b; ++j) yr.push_back(y0 + d2 * static_cast<double>(j));
        dx.assign(static_cast<std::size_t>(a), d1);
        dy.assign(static_cast<std::size_t>(b), d2);
        window = {x0, xr.back(), y0, yr.back(), d1, d2};
    }
    void draw(bool vertical) {
        if (vertical) flowplots::PLTRAZ(U, V, MAP, n1, n2, U0, V0, xr, yr, dx, dy, window);
        else flowplots::PLTRAJ(U, V, MAP, n1, n2, U0, V0, LGB, xr, yr, dx, dy, window);
    }
};

struct Point {
    double x, y;
    bool operator==(const Point&) const = default;
};
using Chain = std::vector<Point>;

// The twister's numbers in [0, 1) in the order the parcels take them.
std::vector<float> draws(int n) {
    std::mt19937 g(flowplots::trajectory_seed());
    std::vector<float> z;
    for (int k = 0; k < n; ++k) z.push_back(static_cast<float>(g() >> 8) * 0x1p-24f);
    return z;
}

class Trajectories : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        unsetenv("MURAL_SEED");
        flowplots::reset_trajectory_state();
        start_graph();  // 0.5 mm per metre
        mapelements::LEGDEF(110.0f, 0.0f, 40.0f, 100.0f, 0.0f);
        drawn_from_ = position();
    }
    // A user point where the plot file puts it, in page mm.
    static Point page(float x, float y) {
        float xm, ym;
        int ix, iy;
        velin::UU2MM(x, y, xm, ym);
        velin::MM2ABS(xm, ym, ix, iy);
        return {ix / 40.2, iy / 40.2};
    }
    // The pen-down runs drawn after the axes, left of the legend.
    std::vector<Chain> chains(const std::string& plot) const {
        std::vector<Chain> out;
        for (const Stroke& s : plot_strokes(plot.substr(static_cast<std::size_t>(drawn_from_)))) {
            if (s.x0 > 121.0) continue;
            if (out.empty() || !(out.back().back() == Point{s.x0, s.y0})) out.push_back({{s.x0, s.y0}});
            out.back().push_back({s.x1, s.y1});
        }
        return out;
    }
    // Runs of three points or more along x (or y): the paths in a wind along that axis.
    std::vector<Chain> paths(const std::string& plot, bool along_x = true) const {
        std::vector<Chain> out;
        for (const Chain& c : chains(plot)) {
            bool straight = c.size() >= 3;
            for (const Point& p : c) straight = straight && (along_x ? p.y == c[0].y : p.x == c[0].x);
            if (straight) out.push_back(c);
        }
        return out;
    }
    // Within a plotter unit: the parcels' float sums may round either way.
    static bool near(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y) < 0.04; }
    long long drawn_from_ = 0;
};

TEST_F(Trajectories, BadSectionsStopWithAMessage) {
    struct Case {
        bool vertical;
        std::function<void(Section&)> spoil;
        const char* message;
    };
    const std::vector<Case> cases = {
        {false, [](Section& s) { s.n1 = 0; }, "PLTRAJ-F-Feldgröße falsch: NNX=0, NNY=2"},
        {true, [](Section& s) { s.n2 = -1; }, "PLTRAZ-F-Feldgröße falsch: NNX=4, NNY=-1"},
        {false, [](Section& s) { s.U.resize(4, 2); }, "PLTRAJ-F-Feld U kleiner als 5 x 2"},
        {true, [](Section& s) { s.V.resize(4, 2); }, "PLTRAZ-F-Feld W kleiner als 4 x 3"},
        {false, [](Section& s) { s.LGB.resize(4, 1); }, "PLTRAJ-F-Feld LGB kleiner als 4 x 2"},
        {false, [](Section& s) { s.yr.pop_back(); }, "PLTRAJ-F-zu wenige Zellgrenzen oder -breiten in Y für 2 Zellen"},
        {true, [](Section& s) { s.xr[2] = 5.0f; }, "PLTRAZ-F-Zellgrenzen XR nicht aufsteigend bei 2"},
        {true, [](Section& s) { s.dy[1] = NAN; }, "PLTRAZ-F-Zellbreite DZR(2) muss positiv sein"},
        {false, [](Section& s) { s.U0 = NAN; }, "PLTRAJ-F-Anströmung U0B, V0B ist keine Zahl"},
    };
    for (const Case& c : cases) {
        Section s(4, 2, 10.0f, 10.0f, 1.0f, 0.0f);
        c.spoil(s);
        EXPECT_EQ(fatal_message([&] { s.draw(c.vertical); }), c.message);
    }
    EXPECT_EQ(out().find(" - PLTR"), std::string::npos);  // nothing asked, nothing reported
}

TEST_F(Trajectories, WindsThatAreNoNumbersEndPathsAtOnce) {
    Section s(4, 2, 10.0f, 10.0f, 0.0f, 1.0f);
    for (float& u : s.U.span()) u = NAN;
    answer("50\n50\n");
    s.draw(false);
    for (float& w : s.V.span()) w = INFINITY;
    s.draw(true);
    EXPECT_TRUE(chains(finish()).empty());
}

struct Steps {
    bool vertical;
    const char* input;
    int steps;
    const char* time;
};
class UniformFlow : public Trajectories, public ::testing::WithParamInterface<Steps> {};

TEST_P(UniformFlow, PathsAreStraightStepsOfUDtNoLongerThanTheTrackingTime) {
    const Steps c = GetParam();
    Section s(20, 4, 10.0f, 10.0f, 2.0f, 0.0f);
    answer(c.input);
    s.draw(c.vertical);
    EXPECT_EQ(flowplots::trajectory_state().ITREND, c.steps);
    EXPECT_NE(out().find(std::string(" Trajektorienverfolgungszeit:") + c.time + " sec\n Startpunkte"),
              std::string::npos);
    const std::string plot = finish();
    const auto found = paths(plot);
    std::size_t longest = 0;
    const double edge = page(200.0f, 0.0f).x;
    for (const Chain& p : found) {
        longest = std::max(longest, p.size());
        // 2 m/s x 1 s, exactly; a last step that leaves the window ends on its edge.
        for (std::size_t k = 1; k < p.size(); ++k)
            if (k + 1 < p.size() || std::fabs(p[k].x - edge) > 0.03) {
                EXPECT_NEAR(p[k].x - p[k - 1].x, 1.0, 0.03);
            }
        EXPECT_LE(p.back().x, edge + 0.001);
    }
    EXPECT_EQ(longest, static_cast<std::size_t>(c.steps) + 1);
    // Each path has its arrow head; nothing else is drawn.
    EXPECT_EQ(chains(plot).size(), 2 * found.size());
}

INSTANTIATE_TEST_SUITE_P(Entered, UniformFlow,
                         ::testing::Values(Steps{false, "15\n", 15, "  15.0"}, Steps{false, "4.\n", 4, "   4.0"},
                                           Steps{false, "7.6\n", 8, "   8.0"}, Steps{true, "15\n", 15, "  15.0"},
                                           Steps{true, "4\n", 4, "   4.0"}));

struct Dialogue {
    bool vertical;
    int n1, n2;
    float cell, u0;
    const char* input;
    int itrend;
    const char* text;
    float wind = 0.0f;  // across the inflow: v in a level section, w in a vertical one
};
class Proposal : public Trajectories, public ::testing::WithParamInterface<Dialogue> {};

// Sections whose window starts at (1000, 2000), calm or with a wind across
// the inflow.
TEST_P(Proposal, TrackingTimeAndLatticeSteps) {
    const Dialogue c = GetParam();
    Section s(c.n1, c.n2, c.cell, c.cell, 0.0f, c.wind, 1000.0f, 2000.0f);
    answer(c.input);
    s.U0 = c.u0;
    s.V0 = 0.0f;
    s.draw(c.vertical);
    EXPECT_EQ(flowplots::trajectory_state().ITREND, c.itrend);
    EXPECT_NE(out().find(c.text), std::string::npos) << out();
}

INSTANTIATE_TEST_SUITE_P(
    Sections, Proposal,
    ::testing::Values(
        // Unreadable, negative and huge answers: the proposal stays, or the time is cut.
        Dialogue{false, 150, 150, 2.0f, 1.0f, "xyz\n", 30, ":  30.0 sec\n Startpunkte in x-Richtung jeden   2."},
        Dialogue{true, 150, 150, 2.0f, 3.0f, "-4\n", 10, ":  10.0 sec\n Startpunkte"},
        Dialogue{false, 150, 150, 2.0f, 3.0f, "1e6\n", 100000, "PLTRAJ-W-Verfolgungszeit auf 100000 Schritte begrenzt"},
        // 2 m at 3 m/s is no ten steps; a fiftieth of the 300 m window at 3 m/s gives 2 x 5 steps.
        Dialogue{false, 150, 150, 2.0f, 3.0f, "\n", 10, ":  10.0 sec\n anderer Wert (z.B. 15.) oder [RETURN]: "},
        Dialogue{true, 150, 150, 2.0f, 0.1f, "\n", 40, ":  40.0 sec\n anderer Wert oder [RETURN]: "},
        Dialogue{false, 150, 40, 1.0f, 3.0f, "5\n", 5, "jeden   2. Gitterpunkt\n Startpunkte in y-Richtung jeden   1"},
        Dialogue{true, 150, 40, 1.0f, 3.0f, "5\n", 5, "jeden   2. Gitterpunkt\n Startpunkte in y-Richtung jeden   1"},
        Dialogue{true, 40, 150, 1.0f, 3.0f, "5\n", 5, "jeden   1. Gitterpunkt\n Startpunkte in y-Richtung jeden   2"},
        // A narrow window: 5 m at 4.3 m/s and a fiftieth of 100 m both round
        // to 0; the proposal is the time to cross one box.
        Dialogue{false, 30, 20, 5.0f, 4.3f, "\n", 2, ":   2.0 sec\n anderer Wert"},
        Dialogue{false, 30, 20, 5.0f, 4.3f, "0.2\n", 1, ":   2.0 sec\n anderer Wert (z.B. 15.) oder [RETURN]:  Trajekt"},
        // Across the wind: the section's mean speed of 0.3 m/s stands in for
        // the inflow of 0 along it, for the time and the reference arrow.
        Dialogue{true, 20, 10, 5.0f, 0.0f, "\n", 20,
                 "mittlere Geschwindigkeit im Schnitt  0.30 m/s\n Trajektorienverfolgungszeit:  20.0 sec", 0.3f},
        Dialogue{false, 20, 10, 5.0f, 0.0f, "\n", 20, "Skalierungspfeil für   0.3m/s", 0.3f}));

TEST_F(Trajectories, DenseLatticeSeedsTheBoxesOfTheLatticeIndexAcrossTheWindow) {
    Section s(150, 40, 1.0f, 1.0f, 0.0f, 1.0f);
    answer("\n");
    s.draw(false);
    EXPECT_EQ(out().find(" ==WF=="), std::string::npos);
    const std::vector<float> z = draws(150);
    const auto found = paths(finish(), false);
    ASSERT_GE(found.size(), 75u);
    // Row 1 seeds every second box, 2, 4, ... 150; 40 m / (50 x 1 m/s) gives 5 steps.
    for (std::size_t k = 0; k < 75; ++k) {
        EXPECT_TRUE(near(found[k][0], page(static_cast<float>(2 * k + 1) + z[2 * k], z[2 * k + 1]))) << k;
        EXPECT_EQ(found[k].size(), 6u);
    }
}

TEST_F(Trajectories, ObstacleCellIsLeftToTheSecondSet) {
    Section s(3, 1, 10.0f, 100.0f, 0.0f, 1.0f);
    s.LGB(2, 1) = 1;
    answer("3\n");
    s.draw(false);
    const std::vector<float> z = draws(8);
    // Parcels 1 and 3 of the first set, then the fourth pair of numbers in the obstacle cell.
    const std::vector<Point> starts = {page(z[0] * 10.0f, z[1] * 100.0f), page(20.0f + z[4] * 10.0f, z[5] * 100.0f),
                                       page(10.0f + z[6] * 10.0f, z[7] * 100.0f)};
    const auto found = paths(finish(), false);
    ASSERT_EQ(found.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_TRUE(near(found[k][0], starts[k]) && found[k].size() == 4u) << k;
    // Three visits per path, on top of the obstacle's own count.
    const auto map = s.MAP.span();
    EXPECT_EQ(std::vector<std::int16_t>(map.begin(), map.end()), (std::vector<std::int16_t>{3, 4, 3}));
}

TEST_F(Trajectories, PathEndsWhereTheAirTurnsCalm) {
    // Faces of 10, 10, 0, 0 m/s: across cell 1, then slowing down towards
    // x = 20 m, where the air is calm; a path ends once slower than 0.01 m/s.
    Section s(3, 1, 10.0f, 10.0f, 0.0f, 0.0f);
    s.U(1, 1) = s.U(2, 1) = 10.0f;
    answer("50\n");
    s.draw(false);
    const double calm = page(20.0f, 0.0f).x;
    const auto found = paths(finish());
    ASSERT_FALSE(found.empty());
    for (const Chain& p : found) {
        EXPECT_GE(p.size(), 5u);
        EXPECT_NEAR(p.back().x, calm, 0.03);
    }
}

// Parcels in a solid-body vortex (30 x 30 cells of 5 m, 0.05 rad/s) tracked
// for one turn keep to their circle within a tenth of a cell.
TEST_F(Trajectories, ParcelsInAVortexKeepToTheirCircle) {
    Section s(30, 30, 5.0f, 5.0f, 0.0f, 0.0f);
    for (int j = 1; j <= 30; ++j)
        for (int i = 1; i <= 31; ++i) s.U(i, j) = -0.05f * (5.0f * (j - 0.5f) - 75.0f);
    for (int j = 1; j <= 31; ++j)
        for (int i = 1; i <= 30; ++i) s.V(i, j) = 0.05f * (5.0f * (i - 0.5f) - 75.0f);
    s.U0 = 2.0f;
    answer("126\n");
    s.draw(false);
    const Point centre = page(75.0f, 75.0f), metre = page(76.0f, 75.0f);
    const double scale = metre.x - centre.x;  // mm per metre
    int circles = 0;
    for (const Chain& c : chains(finish())) {
        if (c.size() < 100) continue;
        const double r0 = std::hypot(c[0].x - centre.x, c[0].y - centre.y) / scale;
        if (r0 < 15.0 || r0 > 65.0) continue;
        ++circles;
        double off = 0.0;
        for (const Point& q : c) off = std::max(off, std::fabs(std::hypot(q.x - centre.x, q.y - centre.y) / scale - r0));
        EXPECT_LE(off, 0.5) << "a parcel from r = " << r0 << " m";
    }
    EXPECT_GE(circles, 100);
}

TEST_F(Trajectories, VerticalPathsFindColumnsByFacesAndEndAboveTheTopLevel) {
    // Columns from x = 100 m; levels up to 40 m in a window up to 80 m.
    Section s(10, 4, 10.0f, 10.0f, 0.0f, 2.0f, 100.0f);
    s.window.YMAX = 80.0f;
    answer("100\n1\n");
    s.draw(true);
    EXPECT_NE(out().find(" Startpunkte vertikal im Abstand   20.0\n"), std::string::npos) << out();
    for (int i = 1; i <= 10; ++i) EXPECT_GE(s.MAP(i, 4), 1) << i;
    const auto found = paths(finish(), false);
    ASSERT_FALSE(found.empty());
    for (const Chain& p : found) EXPECT_LT(p.back().y, page(0.0f, 42.0f).y);
    // A lower window keeps the start spacing of the run.
    s.window.YMAX = 40.0f;
    s.draw(true);
    EXPECT_FLOAT_EQ(flowplots::trajectory_state().PDY, 20.0f);
}

TEST_F(Trajectories, UnevenGridAsksForUsableStartSpacings) {
    Section s(3, 2, 10.0f, 10.0f, 0.0f, 0.0f);
    s.xr = {0.0, 10.0, 25.0, 45.0};
    s.dx = {10.0f, 15.0f, 20.0f};
    answer("0 5\n-1,2\n1e-9 1\n10 10\n\n");
    s.draw(false);
    EXPECT_NE(out().find(" PLTRAJ-I-kein äquidistantes Gitter\n"), std::string::npos);
    EXPECT_EQ(count(out(), " Abstand der Trajektorienstartpunkte (DSX,DSY): "), 4);
    EXPECT_EQ(count(out(), " PLTRAJ-W-zwei positive Abstände angeben"), 3);
}

TEST_F(Trajectories, SameSeedGivesTheSamePlotAndMuralSeedAnother) {
    auto plot = [this](const std::string& name) {
        velin::reset();
        mapelements::reset_legend();
        flowplots::reset_reference_arrow();
        plot_file = dir.file(name);
        start_graph();
        Section s(20, 4, 10.0f, 10.0f, 2.0f, 0.5f);
        answer("15\n");
        s.draw(false);
        return finish();
    };
    const unsigned fixed_seed = flowplots::trajectory_seed();
    const std::string a = plot("a.plt");
    EXPECT_TRUE(plot("b.plt") == a);
    setenv("MURAL_SEED", " 77 ", 1);
    EXPECT_EQ(flowplots::trajectory_seed(), 77u);
    EXPECT_FALSE(plot("c.plt") == a);
    for (const char* bad : {"7x", "-3", "4294967296"}) {
        setenv("MURAL_SEED", bad, 1);
        EXPECT_EQ(flowplots::trajectory_seed(), fixed_seed);
        EXPECT_NE(out().find(std::string(" MURAL-W-MURAL_SEED=") + bad + " ist keine ganze Zahl"), std::string::npos);
    }
    unsetenv("MURAL_SEED");
}

TEST_F(Trajectories, BlnkonSwitchesEveryAreaOn) {
    int before = 0;
    velin::BLKEY(before);
    velin::BLREC(10.0f, 10.0f, 5.0f, 5.0f, 0.0f);
    velin::BLREC(30.0f, 10.0f, 5.0f, 5.0f, 0.0f);
    for (int id = 1; id <= before + 2; ++id) velin::BLOFF(id);
    flowplots::BLNKON();
    EXPECT_NE(out().find(" - BLNKON -   " + std::to_string(before + 2) + " BLRECs aktiviert\n"), std::string::npos);
    for (int id = 0; id < before + 2; ++id) EXPECT_TRUE(velin::plot_state().blank.areas[id].active) << id;
}

}  // namespace
