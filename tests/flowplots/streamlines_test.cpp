#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>

#include "flowplots/streamlines.h"
#include "flowplots/window.h"
#include "platform/fatal.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;

namespace {

// A level section of nx x ny cells of d metres from (0, 0), the wind given
// on the faces as a function of the face's position.
struct Section {
    int nx, ny;
    float d;
    platform::Field2D<float> U, V;
    platform::Field2D<std::int16_t> MAP, LGB;
    Section(int x, int y, float size, const std::function<float(float, float)>& u,
            const std::function<float(float, float)>& v)
        : nx(x), ny(y), d(size), U(x + 1, y), V(x, y + 1), MAP(x, y), LGB(x, y, 0) {
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx + 1; ++i) U(i, j) = u(d * (i - 1), d * (j - 0.5f));
        for (int j = 1; j <= ny + 1; ++j)
            for (int i = 1; i <= nx; ++i) V(i, j) = v(d * (i - 0.5f), d * (j - 1));
        flowplots::plot_window() = {0.0f, d * nx, 0.0f, d * ny, d, d};
    }
    void draw() { flowplots::PLSTR(U, V, MAP, LGB, nx, ny); }
};

class Streamlines : public PlotTest {
protected:
    // A graph of 4 mm per metre over the section.
    void graph(const Section& s) { start_graph(4 * s.d * s.nx, 4 * s.d * s.ny, s.d * s.nx, s.d * s.ny); }
};

}  // namespace

TEST_F(Streamlines, RefusesASectionWithoutCells) {
    Section s(3, 3, 1.0f, [](float, float) { return 1.0f; }, [](float, float) { return 0.0f; });
    graph(s);
    EXPECT_THROW(flowplots::PLSTR(s.U, s.V, s.MAP, s.LGB, 0, 3), platform::Fatal);
    flowplots::plot_window().DX = 0.0f;
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
        for (const Stroke& k : plot_strokes(plot)) {
            bool on = false;
            for (int j = 1; j <= 3; ++j) {
                double y = page_mm(0.0f, c.d * (j - 0.5f)).second;
                if (std::fabs(k.y0 - y) < 0.01 && std::fabs(k.y1 - y) < 0.01) {
                    ++on_rows[j];
                    on = true;
                    // A step is a third of the smaller cell width.
                    if (std::fabs(k.x1 - k.x0) > 0.05) {
                        EXPECT_NEAR(std::fabs(k.x1 - k.x0), 4 * 0.333 * c.d, 0.03);
                    }
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
    TearDown();
    SetUp();

    // A slowly converging vortex in a window of 30 x 30 cells of 5 m: its
    // lines wind in until they run on their own track.
    auto u = [](float x, float y) { return -(y - 75.0f) * 0.05f - (x - 75.0f) * 0.005f; };
    auto v = [](float x, float y) { return (x - 75.0f) * 0.05f - (y - 75.0f) * 0.005f; };
    Section vortex(30, 30, 5.0f, u, v);
    graph(vortex);
    vortex.draw();
    const std::string trace = out();
    const std::size_t filling = trace.find(" === WF ===");
    ASSERT_NE(filling, std::string::npos);
    EXPECT_NE(trace.find("  o\n", filling), std::string::npos) << trace.substr(filling);
}
