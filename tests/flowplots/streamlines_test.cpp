#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "flowplots/streamlines.h"
#include "flowplots/window.h"
#include "platform/fatal.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;

namespace {

// A level section of nx x ny cells of d metres from (x0, y0), the wind
// given on the faces as a function of the face's position in cells.
struct Section {
    int nx, ny;
    float d;
    platform::Field2D<float> U, V;
    platform::Field2D<std::int16_t> MAP, LGB;
    flowplots::PlotWindow window;
    Section(int x, int y, float size, const std::function<float(float, float)>& u,
            const std::function<float(float, float)>& v, double x0 = 0.0, double y0 = 0.0)
        : nx(x), ny(y), d(size), U(x + 1, y), V(x, y + 1), MAP(x, y), LGB(x, y, 0) {
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx + 1; ++i) U(i, j) = u(d * (i - 1), d * (j - 0.5f));
        for (int j = 1; j <= ny + 1; ++j)
            for (int i = 1; i <= nx; ++i) V(i, j) = v(d * (i - 0.5f), d * (j - 1));
        window = {x0, x0 + d * nx, y0, y0 + d * ny, d, d};
    }
    void draw() { flowplots::PLSTR(U, V, MAP, LGB, nx, ny, window); }
};

class Streamlines : public PlotTest {
protected:
    // A graph of 4 mm per metre over the section.
    void graph(const Section& s) { start_graph(4 * s.d * s.nx, 4 * s.d * s.ny, s.d * s.nx, s.d * s.ny); }
    // The drawn lines (runs of ten points or more, so no arrow head) in user units.
    static std::vector<std::vector<std::pair<double, double>>> drawn_lines(const std::string& plot) {
        const std::pair<double, double> origin = page_mm(0.0f, 0.0f), unit = page_mm(1.0f, 1.0f);
        const double ox = origin.first, oy = origin.second, ux = unit.first, uy = unit.second;
        std::vector<std::vector<std::pair<double, double>>> lines;
        std::vector<std::pair<double, double>> run;
        auto user = [&](double x, double y) { return std::pair{(x - ox) / (ux - ox), (y - oy) / (uy - oy)}; };
        for (const Stroke& k : plot_strokes(plot)) {
            if (run.empty() || run.back() != user(k.x0, k.y0)) {
                if (run.size() >= 10) lines.push_back(run);
                run = {user(k.x0, k.y0)};
            }
            run.push_back(user(k.x1, k.y1));
        }
        if (run.size() >= 10) lines.push_back(run);
        return lines;
    }
};

}  // namespace

TEST_F(Streamlines, RefusesASectionWithoutCells) {
    Section s(3, 3, 1.0f, [](float, float) { return 1.0f; }, [](float, float) { return 0.0f; });
    graph(s);
    EXPECT_THROW(flowplots::PLSTR(s.U, s.V, s.MAP, s.LGB, 0, 3, s.window), platform::Fatal);
    s.window.DX = 0.0f;
    EXPECT_THROW(s.draw(), platform::Fatal);
}

// A uniform wind: one straight line per row from the border where it
// enters, in steps of a third of a cell, and nothing left to fill. A line of
// 13 points (entering from the right of a 4-cell window) is taken back, one
// of 14 (from the left) is drawn. Lines get an arrow head every 50 points
// and at their end.
TEST_F(Streamlines, UniformWindGivesOneStraightLinePerRow) {
    struct Case {
        int nx;
        float u, d;
        int points;  // of each border line
        bool drawn;
    };
    for (Case c : {Case{40, 1.0f, 2.0f, 122, true}, Case{4, 1.0f, 1.0f, 14, true}, Case{4, -1.0f, 1.0f, 13, false}}) {
        Section s(c.nx, 3, c.d, [&](float, float) { return c.u; }, [](float, float) { return 0.0f; });
        graph(s);
        const long long before = position();
        s.draw();
        const std::string plot = finish().substr(static_cast<std::size_t>(before));
        const std::string trace = out();
        for (int j = 1; j <= 3; ++j) {
            const std::string line = std::string(c.u > 0 ? "  1/   1" : "  2/   4") + "   " + std::to_string(j) +
                                     (c.points < 100 ? "    " : "   ") + std::to_string(c.points);
            EXPECT_NE(trace.find(line), std::string::npos) << line << "\n" << trace;
        }
        // Rows: the strokes of each line lie on its row's centre; arrow heads stand off it.
        std::map<long, int> on_rows;
        int off = 0;
        double reach = 0.0;  // the farthest point of the lines
        for (const Stroke& k : plot_strokes(plot)) {
            bool on = false;
            for (int j = 1; j <= 3; ++j) {
                double y = page_mm(0.0f, c.d * (j - 0.5f)).second;
                if (std::fabs(k.y0 - y) < 0.01 && std::fabs(k.y1 - y) < 0.01) {
                    ++on_rows[j];
                    on = true;
                    // A step is a third of the smaller cell width; the last
                    // one ends on the window's edge.
                    const double edge = page_mm(c.u > 0 ? c.d * c.nx : 0.0f, 0.0f).first;
                    if (std::fabs(k.x1 - edge) > 0.05) {
                        EXPECT_NEAR(std::fabs(k.x1 - k.x0), 4 * 0.333 * c.d, 0.03);
                    }
                    reach = std::max(reach, k.x1);
                }
            }
            off += !on;
        }
        if (!c.drawn) {
            EXPECT_TRUE(on_rows.empty()) << "a line of 13 points is taken back";
            // Its cells count as unvisited again: the filling phase draws them.
            EXPECT_NE(trace.find(" ILTmax="), std::string::npos);
        } else {
            EXPECT_EQ(on_rows.size(), 3u);
            EXPECT_NEAR(reach, page_mm(c.d * c.nx, 0.0f).first, 0.03) << "the lines end on the window's edge";
            EXPECT_EQ(trace.find("  #\n"), std::string::npos) << "no filling line";
            // Arrow heads: at 50, 100 and the end of a 122-point line; at the end only of a short one.
            const int heads = c.points >= 100 ? 3 : 1;
            EXPECT_GE(off, 3 * heads);
        }
        TearDown();
        SetUp();
    }
}

// Wind against a block stops the border lines in front of it; a
// solid-body vortex leaves closed circulations to the filling phase, which
// stops them when they come back to themselves.
TEST_F(Streamlines, BlockStopsBorderLinesAndVortexClosesFillingLines) {
    Section block(10, 5, 1.0f, [](float, float) { return 1.0f; }, [](float, float) { return 0.0f; });
    for (int j = 2; j <= 4; ++j) block.LGB(6, j) = 1;
    graph(block);
    block.draw();
    for (int j = 2; j <= 4; ++j) {
        const std::string start = "  1/   1   " + std::to_string(j);
        std::size_t at = out().find(start);
        ASSERT_NE(at, std::string::npos);
        const std::string line = out().substr(at, out().find('\n', at) - at);
        EXPECT_NE(line.find("  G"), std::string::npos) << line;
        // The last point lies in the obstacle's first cell, x in [5, 6).
        EXPECT_NE(line.find("      5."), std::string::npos) << line;
    }
}

// Known answers of analytic fields, whose interpolation on the faces is
// exact or whose stream function is known: a solid-body vortex (30 x 30
// cells of 1 m about the centre) gives closed circles, which the filling
// lines follow once round before they stop on themselves ("o"), coming back
// to within 0.1 cell of their start; in the strain u = a x, v = -a y past the
// stagnation point at the corner the stream function a x y stays along each
// line within 0.03 of its change across one cell there.
TEST_F(Streamlines, VortexLinesCloseAndStrainLinesKeepTheirStreamFunction) {
    Section vortex(30, 30, 1.0f, [](float, float y) { return -(y - 15.0f) * 0.2f; },
                   [](float x, float) { return (x - 15.0f) * 0.2f; });
    graph(vortex);
    vortex.draw();
    const std::string trace = out();
    EXPECT_GE(count(trace.substr(trace.find(" === WF ===")), "  o\n"), 5) << trace;
    int closed = 0;
    for (const auto& line : drawn_lines(finish())) {
        const auto [x0, y0] = line.front();
        const auto [x1, y1] = line.back();
        const double r0 = std::hypot(x0 - 15.0, y0 - 15.0), r1 = std::hypot(x1 - 15.0, y1 - 15.0);
        // Lines wholly inside the window, back near their start after a turn;
        // near the centre the cells make the circles square.
        if (r0 < 3.0 || r0 > 13.0 || std::hypot(x1 - x0, y1 - y0) > 0.7) continue;
        ++closed;
        EXPECT_LE(std::fabs(r1 - r0), 0.1) << "line from " << x0 << ", " << y0;
    }
    EXPECT_GE(closed, 5);
    TearDown();
    SetUp();

    constexpr float a = 0.1f;
    Section strain(20, 20, 1.0f, [](float x, float) { return a * x; }, [](float, float y) { return -a * y; });
    graph(strain);
    strain.draw();
    const auto lines = drawn_lines(finish());
    EXPECT_GE(lines.size(), 15u);
    for (const auto& line : lines) {
        const double psi0 = a * line.front().first * line.front().second;
        double drift = 0.0;
        for (const auto& [x, y] : line) drift = std::max(drift, std::fabs(a * x * y - psi0) / (a * std::hypot(x, y)));
        EXPECT_LE(drift, 0.03) << "line from " << line.front().first << ", " << line.front().second;
    }
}

// The same flow on cells of 1 m, 0.5 m and, at Gauss-Krueger coordinates,
// 0.7 m gives the same lines: steps, visits and stops count in cells, and
// positions keep their fractions of a cell wherever the grid lies.
TEST_F(Streamlines, SameFlowOnAnyCellSizeAndAtAnyPlace) {
    auto u = [](float x, float y) { return 1.0f + 0.6f * std::sin(0.3f * y) - 0.02f * x; };
    auto v = [](float x, float y) { return 0.4f * std::cos(0.25f * x) + 0.02f * y; };
    // The trace of the last picture without its coordinates: start cell,
    // points, stop reason and visits of each line.
    auto lines_of = [](const std::string& trace) {
        std::string kept;
        std::istringstream in(trace.substr(trace.rfind(" - PLSTR -")));
        for (std::string l; std::getline(in, l);) {
            if (l.size() > 40 && l[3] == '/') kept += l.substr(0, 18) + l.substr(l.size() - 16) + "\n";
            else if (l.size() >= 31 && !l.starts_with(" ##") && l.substr(l.size() - 3, 2) == "  " &&
                     l.substr(l.size() - 13, 10).find_first_not_of(" 0123456789") == std::string::npos)
                kept += l.substr(l.size() - 13) + "\n";
        }
        return kept;
    };
    std::string reference, reference_lines;
    std::vector<std::int16_t> reference_map;
    const struct {
        float d;
        double x0, y0;
    } grids[] = {{1.0f, 0.0, 0.0}, {0.5f, 0.0, 0.0}, {0.7f, 3.5e6, 1.0e7}};
    for (const auto& g : grids) {
        // The wind in cells: the same at each cell's faces whatever its size.
        Section s(40, 30, g.d, [&](float x, float y) { return u(x / g.d, y / g.d); },
                  [&](float x, float y) { return v(x / g.d, y / g.d); }, g.x0, g.y0);
        start_graph(4.0f * s.nx, 4.0f * s.ny, s.d * s.nx, s.d * s.ny);  // 4 mm per cell
        const long long before = position();
        s.draw();
        const std::string plot = finish().substr(static_cast<std::size_t>(before));
        const auto map = s.MAP.span();
        if (reference.empty()) {
            reference = plot;
            reference_lines = lines_of(out());
            reference_map.assign(map.begin(), map.end());
            ASSERT_GT(count(reference_lines, "\n"), 30) << out();
        } else {
            EXPECT_EQ(std::vector<std::int16_t>(map.begin(), map.end()), reference_map) << g.d;
            EXPECT_EQ(lines_of(out()), reference_lines) << g.d;
        }
        if (g.x0 == 0.0 && g.d != 1.0f) {
            // On the page: the same strokes within a plotter unit.
            const auto a = plot_strokes(reference), b = plot_strokes(plot);
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t k = 0; k < a.size(); ++k)
                EXPECT_LE(std::fabs(a[k].x1 - b[k].x1) + std::fabs(a[k].y1 - b[k].y1), 0.05) << k;
        }
        TearDown();
        SetUp();
    }
}
