#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "contour/internal.h"
#include "contour/isolines.h"
#include "platform/fatal.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;

namespace {

struct Line {
    std::vector<float> x, y;
    int level;
    bool closed() const { return x.front() == x.back() && y.front() == y.back(); }
};

// Traces without drawing and keeps every line (grid indices).
std::vector<Line> trace(const platform::Field2D<float>& z, std::vector<float> levels, int mx = 1, int my = 1,
                        bool uncapped = true, contour::TracerPool* pool = nullptr) {
    std::vector<Line> lines;
    contour::LineSink keep = [&](std::span<float> X, std::span<float> Y, int N, int L) {
        lines.push_back({{X.begin(), X.begin() + N}, {Y.begin(), Y.begin() + N}, L});
    };
    const contour::TracerPool p =
        contour::trace_isolines(z, z.n1(), z.n2(), mx, my, levels, static_cast<int>(levels.size()), uncapped, keep);
    if (pool) *pool = p;
    return lines;
}

template <typename F>
platform::Field2D<float> field(int nx, int ny, F f) {
    platform::Field2D<float> z(nx, ny);
    for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) z(i, j) = f(static_cast<float>(i), static_cast<float>(j));
    return z;
}

bool on_boundary(float x, float y, int nx, int ny) { return x == 1.0f || x == nx || y == 1.0f || y == ny; }

}  // namespace

// ---- tracing -----------------------------------------------------------------------

// Any field of two points or more each way is traced, refined where it has
// three; a narrower one gives a warning and no line.
TEST(IsolineTracer, TracesEveryFieldOfTwoPointsEachWay) {
    struct Case {
        int nx, ny, mx, my;
        std::size_t points;  // of the one line at x = 1.5; 0: no line, a warning
    };
    const Case cases[] = {
        {1, 10, 1, 1, 0},       {10, 1, 1, 1, 0},
        {2, 10, 3, 3, 28},      // no refinement across two points, three sub-steps along
        {10, 2, 3, 3, 2},       // along y two points: one interval, unrefined
        {1300, 3, 1, 1, 3},     {3, 1300, 1, 1, 1300},
        {1000, 3, 2, 1, 3},     // wider than the fixed rows the tracer once had, refined
    };
    for (const Case& c : cases) {
        CapturedConsole console;
        auto z = field(c.nx, c.ny, [](float x, float) { return x; });
        auto lines = trace(z, {1.5f}, c.mx, c.my);
        const std::string label = std::to_string(c.nx) + " x " + std::to_string(c.ny);
        if (c.points == 0) {
            EXPECT_TRUE(lines.empty()) << label;
            EXPECT_NE(console.out().find("ISOKOR-W-Gebiet zu klein! (" + label + " Punkte): keine Isolinien"),
                      std::string::npos)
                << console.out();
            continue;
        }
        ASSERT_EQ(lines.size(), 1u) << label;
        EXPECT_EQ(lines[0].x.size(), c.points) << label;
        for (float x : lines[0].x) EXPECT_NEAR(x, 1.5f, 0.002f) << label;
    }
}

// Points without a value (NaN, infinite) leave holes: no line passes through
// a cell that has one as a corner, nor, with refinement, through the cells
// whose polynomials reach it. A line of the linear field that meets a hole
// ends there and goes on beyond it.
TEST(IsolineTracer, LinesEndAtPointsWithoutAValue) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (int sub : {1, 3}) {
        auto z = field(21, 15, [](float x, float) { return x; });
        z(10, 8) = nan;
        z(15, 3) = inf;
        z(1, 12) = -inf;  // on the boundary
        // The hole of a point reaches this far, in grid intervals.
        const float reach = sub == 1 ? 1.0f : 2.0f;
        const std::vector<float> levels = {5.5f, 9.75f, 10.25f, 15.0f};
        auto lines = trace(z, levels, sub, sub);
        auto in_hole = [&](float x, float y, int i, int j) {
            return std::fabs(x - static_cast<float>(i)) < reach - 1e-4f && std::fabs(y - static_cast<float>(j)) < reach - 1e-4f;
        };
        std::map<int, int> pieces;
        for (const Line& l : lines) {
            ++pieces[l.level];
            for (std::size_t k = 0; k < l.x.size(); ++k) {
                EXPECT_FALSE(in_hole(l.x[k], l.y[k], 10, 8) || in_hole(l.x[k], l.y[k], 15, 3)) << sub;
                EXPECT_NEAR(l.x[k], levels[static_cast<std::size_t>(l.level) - 1], 0.002f);
            }
        }
        // 5.5 passes untouched; 9.75 and 10.25 are cut by the hole at column
        // 10, 15 by the one at column 15: unrefined it has a piece below the
        // hole, refined the hole reaches the bottom row.
        const int below = sub == 1 ? 2 : 1;
        EXPECT_EQ(pieces, (std::map<int, int>{{1, 1}, {2, 2}, {3, 2}, {4, below}})) << sub;
    }
}

// A field linear in x: one straight line per level, at the level's x, from
// the bottom to the top, on the fine grid of every refinement.
TEST(IsolineTracer, LinearFieldGivesStraightLinesAtTheLevels) {
    struct Case {
        int mx, my;
    };
    for (Case c : {Case{1, 1}, Case{2, 3}, Case{4, 1}}) {
        auto z = field(9, 7, [](float x, float y) { return 2.0f * x + 0.0f * y; });
        std::vector<float> levels = {5.0f, 3.3f, 10.0f, 17.9f, 40.0f};  // the last lies outside
        auto lines = trace(z, levels, c.mx, c.my);
        ASSERT_EQ(lines.size(), 4u);
        for (const Line& l : lines) {
            float at = levels[static_cast<std::size_t>(l.level) - 1] / 2.0f;
            EXPECT_EQ(l.x.size(), static_cast<std::size_t>(6 * c.my + 1));
            EXPECT_EQ(std::min(l.y.front(), l.y.back()), 1.0f);
            EXPECT_EQ(std::max(l.y.front(), l.y.back()), 7.0f);
            for (float x : l.x) EXPECT_NEAR(x, at, 0.0011f / c.mx) << "level " << l.level;
        }
    }
}

TEST(IsolineTracer, KnownShapes) {
    // A cone: one closed circle per level, at its radius.
    auto cone = field(41, 41, [](float x, float y) { return std::hypot(x - 21.0f, y - 21.0f); });
    for (int sub : {1, 3}) {
        auto circles = trace(cone, {5.0f, 12.5f}, sub, sub);
        ASSERT_EQ(circles.size(), 2u);
        for (const Line& l : circles) {
            EXPECT_TRUE(l.closed());
            float r = l.level == 1 ? 5.0f : 12.5f;
            for (std::size_t k = 0; k < l.x.size(); ++k)
                EXPECT_NEAR(std::hypot(l.x[k] - 21.0f, l.y[k] - 21.0f), r, sub == 1 ? 0.05f : 0.02f);
        }
    }
    // A saddle: two branches of the hyperbola, each from boundary to boundary.
    auto saddle = field(21, 21, [](float x, float y) { return (x - 11.0f) * (y - 11.0f); });
    auto branches = trace(saddle, {4.0f}, 2, 2);
    ASSERT_EQ(branches.size(), 2u);
    for (const Line& l : branches) {
        EXPECT_FALSE(l.closed());
        EXPECT_TRUE(on_boundary(l.x.front(), l.y.front(), 21, 21) && on_boundary(l.x.back(), l.y.back(), 21, 21));
        for (std::size_t k = 0; k < l.x.size(); ++k) EXPECT_NEAR((l.x[k] - 11.0f) * (l.y[k] - 11.0f), 4.0f, 0.05f);
    }
    // A plateau exactly at the level counts as below it: the line runs 0.999
    // of a step from the higher points.
    auto plateau = field(10, 5, [](float x, float) { return std::max(0.0f, x - 5.0f); });
    auto edge = trace(plateau, {0.0f});
    ASSERT_EQ(edge.size(), 1u);
    for (float x : edge[0].x) EXPECT_FLOAT_EQ(x, 5.001f);
}

TEST(IsolineTracer, ThreeByThreePeakGivesOneClosedLine) {
    auto z = field(3, 3, [](float x, float y) { return x == 2.0f && y == 2.0f ? 1.0f : 0.0f; });
    auto lines = trace(z, {0.5f});
    ASSERT_EQ(lines.size(), 1u);
    const Line& l = lines[0];
    ASSERT_EQ(l.x.size(), 5u);
    EXPECT_TRUE(l.closed());
    std::vector<std::pair<float, float>> points;
    for (std::size_t k = 0; k < 4; ++k) points.emplace_back(l.x[k], l.y[k]);
    std::sort(points.begin(), points.end());
    const std::vector<std::pair<float, float>> expected = {{1.5f, 2.0f}, {2.0f, 1.5f}, {2.0f, 2.5f}, {2.5f, 2.0f}};
    EXPECT_EQ(points, expected);
}

// z = i - g(j) with g a triangle wave of 30 columns per row: the level
// 0.5 gives one line of 1 + 129 x 31 = 4000 points.
TEST(IsolineTracer, LongLineComesInPiecesThatShareTheirJoints) {
    std::vector<float> g(131);
    float at = 10.0f, step = 30.0f;
    for (int j = 1; j <= 130; ++j) {
        g[static_cast<std::size_t>(j)] = at;
        if (at + step > 1190.0f || at + step < 1.0f) step = -step;
        at += step;
    }
    auto z = field(1201, 130, [&](float x, float y) { return x - g[static_cast<std::size_t>(y)]; });
    auto pieces = trace(z, {0.5f});
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].x.size(), 1700u);
    EXPECT_EQ(pieces[1].x.size(), 1700u);
    EXPECT_EQ(pieces[2].x.size(), 602u);
    for (std::size_t p = 1; p < pieces.size(); ++p) {
        EXPECT_EQ(pieces[p].x.front(), pieces[p - 1].x.back());
        EXPECT_EQ(pieces[p].y.front(), pieces[p - 1].y.back());
    }
}

// Noise makes thousands of small lines on a wide field: the pool runs short,
// the longest lines are cut, and every cut piece goes on where the last one
// stopped. At the end every node is free again.
TEST(IsolineTracer, NodePoolCutsLongestLinesAndLosesNoNode) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(0.0f, 1.0f);
    const int nx = 1201, ny = 300;
    auto z = field(nx, ny, [&](float x, float) { return 0.01f * x + 2.0f * noise(random); });
    std::vector<float> levels;
    for (int l = 1; l <= 12; ++l) levels.push_back(static_cast<float>(l));
    contour::TracerPool pool;
    auto lines = trace(z, levels, 1, 1, true, &pool);
    EXPECT_GT(pool.cuts, 0);
    EXPECT_EQ(pool.free, pool.size - pool.heads);
    // An end inside the field that does not close its line is where a cut
    // piece goes on: another piece of the level starts or ends there.
    std::map<std::tuple<int, float, float>, int> ends;
    int closed = 0;
    for (const Line& l : lines) {
        ASSERT_GE(l.x.size(), 2u);
        if (l.closed()) {
            ++closed;
            continue;
        }
        for (std::size_t k : {std::size_t{0}, l.x.size() - 1})
            if (!on_boundary(l.x[k], l.y[k], nx, ny)) ++ends[{l.level, l.x[k], l.y[k]}];
    }
    EXPECT_GT(closed, 1000);
    EXPECT_FALSE(ends.empty());
    for (const auto& [end, n] : ends) EXPECT_EQ(n % 2, 0) << "loose end at " << std::get<1>(end) << "," << std::get<2>(end);
}

// ---- settings, values, report ---------------------------------------------------------

class Isolines : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        contour::reset();
        start_graph(100.0f, 100.0f, 100.0f, 100.0f);  // 1 mm per unit
    }
    void TearDown() override {
        contour::reset();
        PlotTest::TearDown();
    }
    // A field over 0..100 of nx x ny points, values at the grid points.
    static void geometry(int nx, int ny, int sub = 1) {
        contour::ISOSET(100.0f, 100.0f, 0.0f, 0.0f, 100.0f / static_cast<float>(nx - 1),
                        100.0f / static_cast<float>(ny - 1), sub, sub);
    }
};

TEST_F(Isolines, SettingsThatStopOrWarn) {
    auto z = field(5, 5, [](float x, float) { return x; });
    contour::ISOVAL(1.0f, 0);
    contour::ISOPLO(z, 5, 5);  // no ISOSET
    EXPECT_NE(out().find("ISOPLO-W-ISOSET nicht, oder falsch aufgerufen"), std::string::npos);
    for (int i = 0; i < 3; ++i) contour::NUPOSX(1.0f), contour::NUPOSY(1.0f);
    EXPECT_THROW(contour::NUPOSX(1.0f), platform::Fatal);
    EXPECT_THROW(contour::NUPOSY(1.0f), platform::Fatal);
    geometry(5, 5);
    const float grid[] = {0.0f, 10.0f, 30.0f, 60.0f};
    contour::VXGRID(grid, 4);
    EXPECT_THROW(contour::ISOPLO(z, 5, 5), platform::Fatal);
    const float values[] = {1.0f};
    const int zero[] = {0};
    contour::ISOMOD(values, zero, zero, zero, zero, zero, 1);
    EXPECT_NE(out().find(" ## MODE=0, aber ISOMRS noch nicht aufgerufen ?"), std::string::npos);
}

TEST_F(Isolines, GeneratedValues) {
    struct Case {
        float lo, hi, spacing;
        int num;
        std::vector<float> first;  // the first values drawn
        std::size_t count;
        const char* note;
    };
    const Case cases[] = {
        {0.0f, 37.0f, -10.0f, 0, {0.0f, 3.0f, 6.0f}, 13, " ## keine Isolinienbeschriftung"},
        {0.0f, 0.37f, -10.0f, 0, {0.0f, 0.04f, 0.08f}, 10, ""},
        {-12.0f, 12.0f, 5.0f, 102, {-10.0f, -5.0f, 5.0f, 10.0f}, 4, " ## Null-Isolinie unterdrückt (NISO=2)"},
        {0.0f, 0.55f, 0.02f, 1, {0.0f, 0.02f}, 28, " ## Jede  1. Isolinie beschriftet"},
        {0.0f, 1.0f, -0.3f, 0, {0.0f}, 2, ""},  // about one line
    };
    for (const Case& c : cases) {
        out_.str("");
        geometry(5, 5);
        contour::ISOVAL(c.spacing, c.num);
        auto z = field(5, 5, [&](float x, float) { return c.lo + (c.hi - c.lo) * (x - 1.0f) / 4.0f; });
        contour::ISOPLO(z, 5, 5);
        const contour::IsolineSettings& s = contour::settings();
        ASSERT_EQ(static_cast<std::size_t>(s.NISA), c.count) << c.hi;
        for (std::size_t i = 0; i < c.first.size(); ++i) EXPECT_NEAR(s.WL_ACT[i], c.first[i], 1e-6f);
        for (int i = 0; i < s.NISA; ++i) EXPECT_EQ(s.LINMODA[static_cast<std::size_t>(i)].L_NUM, c.num > 0 ? 1 : 0);
        EXPECT_NE(out().find(c.note), std::string::npos) << out();
        // A level at the maximum has no point above it and draws nothing.
        EXPECT_EQ(s.NDRAWN, std::count_if(s.WL_ACT.begin(), s.WL_ACT.begin() + s.NISA, [&](float v) { return v < c.hi; }));
    }
}

TEST_F(Isolines, GivenValuesInRangeKeepTheirAttributesAndAreReported) {
    geometry(5, 5);
    contour::INFLEV(2);
    const float values[] = {-5.0f, 25.0f, 50.0f, 500.0f};
    const int label[] = {1, 0, 2, 1}, mode[] = {1, 2, 3, 1}, thick[] = {1, 2, 3, 4}, pen[] = {1, 2, 3, 4},
              pat[] = {0, 7, 8, 0};
    contour::ISOMOD(values, label, mode, thick, pen, pat, 4);
    auto z = field(5, 5, [](float x, float) { return 25.0f * (x - 1.0f); });
    contour::ISOPLO(z, 5, 5);
    const contour::IsolineSettings& s = contour::settings();
    ASSERT_EQ(s.NISA, 2);
    EXPECT_EQ(s.WL_ACT[0], 25.0f);
    EXPECT_EQ(s.LINMODA[1].L_COL, 3);
    const std::string report = out();
    for (const char* text : {" ## ISOPLO V2.3", " ## Feld (5,5)", " ## kleinster Wert:", "Pos.: (1,1)",
                             " ## größter Wert:  ", "Pos.: (5,1)", " ## Isolinien:", "N  dashed  Stift  2",
                             "M  dotted  Stift  3", " ## ISOCRV ##", "Linienlänge: .__."})
        EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
    // The dashed line in pen 2, 0.16 mm wide; the dotted one in pen 3.
    const std::string plot = finish();
    EXPECT_NE(plot.find("SP2;"), std::string::npos);
    EXPECT_NE(plot.find("SP3;"), std::string::npos);
    EXPECT_NE(plot.find("PW0.16"), std::string::npos) << plot;
}

// Values at grid points, at cell centres, and on a variable grid: the line
// of a field linear in the coordinate lies at the level's coordinate.
TEST_F(Isolines, LinesLieAtTheLevelsCoordinateOnEveryGrid) {
    struct Case {
        const char* name;
        int sub;      // ISOSET sub-steps; negative: cell centres
        bool variable;
    };
    const float coords[] = {0.0f, 10.0f, 15.0f, 40.0f, 70.0f, 100.0f};
    for (Case c : {Case{"points", 2, false}, Case{"centres", -2, false}, Case{"variable", 1, true}}) {
        contour::reset();
        // Six points 20 apart from 0 (centres: cells of 20 from 0 to 120, points at 10..110).
        contour::ISOSET(100.0f, 100.0f, 0.0f, 0.0f, c.variable ? 0.0f : 20.0f, 20.0f, c.sub, c.sub);
        if (c.variable) contour::VXGRID(coords, 6);
        platform::Field2D<float> z(6, 6);
        for (int j = 1; j <= 6; ++j)
            for (int i = 1; i <= 6; ++i) {
                float x = c.variable ? coords[i - 1] : 20.0f * (i - 1) + (c.sub < 0 ? 10.0f : 0.0f);
                z(i, j) = x;
            }
        const float values[] = {12.5f, 55.0f};
        const int one[] = {1, 1}, none[] = {0, 0};
        contour::ISOMOD(values, none, one, none, none, none, 2);
        contour::ISOPLO(z, 6, 6);
        EXPECT_EQ(contour::settings().NDRAWN, 2) << c.name;
        const std::string plot = finish();
        std::map<long, int> xs;  // page x (0.01 mm) of the vertical strokes
        for (const Stroke& s : plot_strokes(plot))
            if (std::fabs(s.x0 - s.x1) < 0.02 && std::fabs(s.y0 - s.y1) > 1.0) ++xs[std::lround(s.x0 * 10)];
        for (float v : values) {
            double x = page_mm(v, 50.0f).first;
            bool found = false;
            for (const auto& [at, n] : xs) found = found || std::abs(at - std::lround(x * 10)) <= 1;
            EXPECT_TRUE(found) << c.name << " value " << v;
        }
        start_graph(100.0f, 100.0f, 100.0f, 100.0f);
    }
}

// ---- labels ------------------------------------------------------------------------

namespace {

struct Box {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    void add(double x, double y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    bool empty() const { return x0 > x1; }
};

}  // namespace

class IsolineLabels : public Isolines {
protected:
    // One labelled line of a straight field with the level 50: the strokes
    // off the line are the label's.
    Box label_of(float angle, bool reversed) {
        geometry(11, 11);
        contour::ISONUM(3.0f, 0);
        const float values[] = {50.0f};
        const int one[] = {1}, none[] = {0};
        contour::ISOMOD(values, one, one, none, none, none, 1);
        float ca = std::cos(angle * 0.01745329f), sa = std::sin(angle * 0.01745329f);
        // The level runs through the centre at the given angle.
        auto z = field(11, 11, [&](float x, float y) {
            float u = 10.0f * (x - 6.0f), v = 10.0f * (y - 6.0f);
            float d = -sa * u + ca * v;
            return 50.0f + (reversed ? -d : d);
        });
        contour::ISOPLO(z, 11, 11);
        Box text;
        const auto centre = page_mm(50.0f, 50.0f);
        const double cx = centre.first, cy = centre.second;
        for (const Stroke& s : plot_strokes(finish())) {
            auto off_line = [&](double x, double y) {
                return std::fabs(-sa * (x - cx) + ca * (y - cy)) > 0.05;
            };
            if (off_line(s.x0, s.y0) || off_line(s.x1, s.y1)) text.add(s.x0, s.y0), text.add(s.x1, s.y1);
        }
        return text;
    }
};

// The label "50" stands in a gap of its line, centred on the line, and
// reads from left to right whichever way the line runs: the line traced in
// either direction (a second plot) puts the same text at the same place.
class LabelAngle : public IsolineLabels, public ::testing::WithParamInterface<float> {};

TEST_P(LabelAngle, SitsCentredOnItsLineAndReadsLeftToRight) {
    const float angle = GetParam();
    const Box forward = label_of(angle, false);
    contour::reset();
    start_graph(100.0f, 100.0f, 100.0f, 100.0f);
    const Box backward = label_of(angle, true);
    ASSERT_FALSE(forward.empty());
    EXPECT_NEAR(forward.x0, backward.x0, 0.03);
    EXPECT_NEAR(forward.y0, backward.y0, 0.03);
    EXPECT_NEAR(forward.x1, backward.x1, 0.03);
    EXPECT_NEAR(forward.y1, backward.y1, 0.03);
}

INSTANTIATE_TEST_SUITE_P(Angles, LabelAngle, ::testing::Values(0.0f, 30.0f, 90.0f, -60.0f));

// A gap (0,0)-(10,0) with a label 6 mm long at height 2: the text starts at
// x = 3 with its middle on the line, in either direction of the line.
class LabelInGap : public IsolineLabels, public ::testing::WithParamInterface<bool> {};

TEST_P(LabelInGap, OfTenWithLabelOfSixPutsTheTextFromThreeToSeven) {
    contour::ISONUM(2.0f, 0);
    auto& block = contour::detail::curve_block();
    block = {.ISTRT = 1, .GL = 0.0f, .XL = 6.0f, .HZH = 1.0f, .WL_VAL = 8.0f, .margin = 1.0f};
    std::vector<float> X = {0.0f, 5.0f, 10.0f}, Y = {50.0f, 50.0f, 50.0f};
    if (GetParam()) std::reverse(X.begin(), X.end());
    int a = 0, e = 2;
    const long long before = position();
    contour::NUMOD(2, X, Y, 3, a, e);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(e, 3);
    EXPECT_EQ(block.ISTRT, 3);
    Box text;
    for (const Stroke& s : plot_strokes(finish().substr(static_cast<std::size_t>(before))))
        text.add(s.x0, s.y0), text.add(s.x1, s.y1);
    auto [x0, y0] = page_mm(0.0f, 50.0f);
    EXPECT_NEAR(text.x0 - x0, 3.0, 0.4);
    EXPECT_LT(text.x1 - x0, 7.0);
    EXPECT_NEAR(0.5 * (text.y0 + text.y1), y0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(BothDirections, LabelInGap, ::testing::Bool());

TEST_F(IsolineLabels, CurvedLineGetsNoLabelAndAWarning) {
    geometry(201, 201);
    contour::INFLEV(2);
    contour::ISONUM(4.0f, 0);
    const float values[] = {3.5f};
    const int one[] = {1}, none[] = {0};
    contour::ISOMOD(values, one, one, none, none, none, 1);
    // A circle of 3.5 mm: every stretch of label length (about 7 mm) bends
    // its path far beyond 1.4 times its chord.
    auto z = field(201, 201, [](float x, float y) { return 0.5f * std::hypot(x - 101.0f, y - 101.0f); });
    const long long before = position();
    contour::ISOPLO(z, 201, 201);
    EXPECT_NE(out().find(" NUMOD_1-W-Krümmung für Beschriftung zu groß !"), std::string::npos) << out();
    // Drawn whole, without a gap: the strokes join up.
    auto strokes = plot_strokes(finish().substr(static_cast<std::size_t>(before)));
    ASSERT_GT(strokes.size(), 20u);
    for (std::size_t k = 1; k < strokes.size(); ++k) {
        EXPECT_NEAR(strokes[k].x0, strokes[k - 1].x1, 1e-6);
        EXPECT_NEAR(strokes[k].y0, strokes[k - 1].y1, 1e-6);
    }
}

// Margin positions label only open lines, beside their ends on that side.
struct MarginCase {
    float level;
    bool open;  // the line runs from the left edge to the left edge; else closed
};

class MarginLabels : public IsolineLabels, public ::testing::WithParamInterface<MarginCase> {};

TEST_P(MarginLabels, OnlyOnOpenLinesOnTheRequestedSide) {
    const MarginCase c = GetParam();
    geometry(21, 21);
    contour::ISONUM(2.0f, 0);
    const float values[] = {c.level};
    const int one[] = {1}, none[] = {0};
    contour::ISOMOD(values, one, one, none, none, none, 1);
    contour::NUPOSX(-10.0f);  // left of the field
    auto z = field(21, 21, [](float x, float y) { return 100.0f - std::hypot(5.0f * x - 45.0f, 5.0f * y - 55.0f); });
    const long long before = position();
    contour::ISOPLO(z, 21, 21);
    double left = page_mm(0.0f, 0.0f).first, right = page_mm(100.0f, 0.0f).first;
    int outside_left = 0, outside_right = 0;
    for (const Stroke& s : plot_strokes(finish().substr(static_cast<std::size_t>(before)))) {
        if (s.x0 < left - 0.5 && s.x1 < left - 0.5) ++outside_left;
        if (s.x0 > right + 0.5 || s.x1 > right + 0.5) ++outside_right;
    }
    EXPECT_EQ(outside_left > 0, c.open) << c.level;
    EXPECT_EQ(outside_right, 0) << c.level;
}

INSTANTIATE_TEST_SUITE_P(OpenAndClosed, MarginLabels,
                         ::testing::Values(MarginCase{40.0f, true}, MarginCase{80.0f, false}));

// Small rules of the settings: sub-steps of 0 are 1, no values draw nothing,
// a later ISOVAL lifts the zero suppression, lines shorter than ALMIN are
// counted but not drawn, an unknown line mode is solid, and the angle hook
// turns a label that would read upside down.
TEST_F(Isolines, SmallRules) {
    contour::ISOSET(100.0f, 100.0f, 0.0f, 0.0f, 10.0f, 10.0f, 0, 0);
    EXPECT_EQ(contour::settings().IPX, 1);
    EXPECT_EQ(contour::settings().IPY, 1);
    contour::ISOVAL(5.0f, 100);
    EXPECT_TRUE(contour::settings().NULSUP);
    contour::ISOVAL(5.0f, 0);
    EXPECT_FALSE(contour::settings().NULSUP);

    auto z = field(11, 11, [](float x, float) { return x; });
    const float values[] = {5.5f};
    const int none[] = {0}, odd_mode[] = {7};
    contour::ISOMOD(values, none, odd_mode, none, none, none, 0);
    contour::ISOPLO(z, 11, 11);
    EXPECT_EQ(contour::settings().NDRAWN, 0);

    contour::ISOMOD(values, none, odd_mode, none, none, none, 1);
    contour::ISOLAE(0.0f, 101.0f);  // the line is 100 mm long
    long long before = position();
    contour::ISOPLO(z, 11, 11);
    EXPECT_EQ(contour::settings().NDRAWN, 1);
    EXPECT_TRUE(plot_strokes(finish().substr(static_cast<std::size_t>(before))).empty());

    start_graph(100.0f, 100.0f, 100.0f, 100.0f);
    contour::ISOLAE(0.0f, 99.0f);
    velin::DASH();
    before = position();
    contour::ISOPLO(z, 11, 11);
    const std::string drawn = finish().substr(static_cast<std::size_t>(before));
    EXPECT_FALSE(plot_strokes(drawn).empty());
    EXPECT_EQ(drawn.rfind("LTPU", 0), 0u) << drawn;  // the dashes are switched off for the solid line

    float xp = 100.0f, yp = 1.0f;
    EXPECT_FLOAT_EQ(contour::USRANG(xp, yp, 120.0f, 2.0f), 290.0f);
    EXPECT_EQ(xp, 120.0f);
    EXPECT_EQ(yp, 2.0f);
    xp = 10.0f;
    EXPECT_FLOAT_EQ(contour::USRANG(xp, yp, 30.0f, 5.0f), 20.0f);
    EXPECT_EQ(xp, 10.0f);
}
