// The wind of the section for streamlines and trajectories: the face
// components of the window, the faces and widths of its cells, the inflow,
// and the window the lines are drawn in. Faces and window are doubles
// measured from the grid's corner, as the section is drawn, so that a grid at
// Gauss-Krueger or UTM coordinates keeps the fractions of its cells.
#include <algorithm>
#include <vector>

#include "driver/comparison.h"
#include "driver/dialogue.h"
#include "flowplots/streamlines.h"
#include "flowplots/trajectories.h"
#include "flowplots/window.h"
#include "platform/console.h"
#include "resultfile/model.h"

namespace driver {

namespace {

// The wind of a level section on the faces of its cells. A terrain-following
// section takes each face at its layer above the higher of the two grounds
// beside it.
struct LevelWind {
    int n1 = 0, n2 = 0;
    platform::Field2D<float> U, V;
    std::vector<double> XR, YR;
    std::vector<float> DXR, DYR;
    flowplots::PlotWindow window;
};

// Face i of an equidistant axis of cell width d, from the grid's corner.
double face(float d, int i) { return static_cast<double>(d) * (i - 1); }

LevelWind level_wind(const Picture& p) {
    const Section& sec = p.section;
    const resultfile::Grid& g = resultfile::grid();
    const resultfile::ModelFields& m = picture_wind(p);
    LevelWind w;
    w.n1 = sec.cells_x();
    w.n2 = sec.cells_y();
    auto ground = [&](int i, int j) {
        i = std::clamp(i, 1, g.NX);
        j = std::clamp(j, 1, g.NY);
        return sec.terrain ? sec.KGEL(i, j) : 0;
    };
    auto level = [&](int i0, int j0, int i1, int j1) {
        return sec.terrain ? std::min(std::max(ground(i0, j0), ground(i1, j1)) + sec.LCUT, g.NZ) : sec.LCUT;
    };
    w.U.resize(w.n1 + 1, w.n2);
    w.V.resize(w.n1, w.n2 + 1);
    for (int j = 1; j <= w.n2; ++j)
        for (int i = 1; i <= w.n1 + 1; ++i) {
            const int gi = sec.ILB + i - 1, gj = sec.JVB + j - 1;
            w.U(i, j) = m.U(gi, gj, level(gi - 1, gj, gi, gj));
        }
    for (int j = 1; j <= w.n2 + 1; ++j)
        for (int i = 1; i <= w.n1; ++i) {
            const int gi = sec.ILB + i - 1, gj = sec.JVB + j - 1;
            w.V(i, j) = m.V(gi, gj, level(gi, gj - 1, gi, gj));
        }
    for (int i = sec.ILB; i <= sec.IRB + 1; ++i) w.XR.push_back(face(g.DX, i));
    for (int j = sec.JVB; j <= sec.JHB + 1; ++j) w.YR.push_back(face(g.DY, j));
    for (int i = sec.ILB; i <= sec.IRB; ++i) w.DXR.push_back(g.DXI(i));
    for (int j = sec.JVB; j <= sec.JHB; ++j) w.DYR.push_back(g.DYJ(j));
    w.window = {w.XR.front(), w.XR.back(), w.YR.front(), w.YR.back(), g.DX, g.DY};
    return w;
}

}  // namespace

SectionWind vertical_section_wind(const Section& sec, const resultfile::ModelFields& m) {
    const bool column = sec.IS == 1;
    const int from = column ? sec.JVB : sec.ILB;
    SectionWind w;
    w.n1 = sec.cells_along();
    w.n2 = sec.layers;
    w.along.resize(w.n1 + 1, w.n2);
    w.up.resize(w.n1, w.n2 + 1);
    for (int k = 1; k <= w.n2; ++k)
        for (int a = 1; a <= w.n1 + 1; ++a)
            w.along(a, k) = column ? m.V(sec.LCUT, from + a - 1, k) : m.U(from + a - 1, sec.LCUT, k);
    for (int k = 1; k <= w.n2 + 1; ++k)
        for (int a = 1; a <= w.n1; ++a) w.up(a, k) = column ? m.W(sec.LCUT, from + a - 1, k) : m.W(from + a - 1, sec.LCUT, k);
    return w;
}

void draw_streamlines(const Picture& p) {
    if (!p.section.level()) {
        platform::console().line(" Stromlinien nur für Horizontalschnitte !");
        return;
    }
    LevelWind w = level_wind(p);
    platform::Field2D<std::int16_t> MAP(w.n1, w.n2, 0);
    flowplots::PLSTR(w.U, w.V, MAP, p.LGB, w.n1, w.n2, w.window);
}

void draw_trajectories(const Picture& p) {
    const Section& sec = p.section;
    const resultfile::Grid& g = resultfile::grid();
    const resultfile::ModelFields& m = picture_wind(p);
    const resultfile::WindData& wind = resultfile::wind_data();
    if (sec.level()) {
        LevelWind w = level_wind(p);
        platform::Field2D<std::int16_t> MAP(w.n1, w.n2, 0);
        const int k = std::clamp(sec.LCUT, 1, g.NZ);
        flowplots::PLTRAJ(w.U, w.V, MAP, w.n1, w.n2, wind.U0(k), wind.V0(k), p.LGB, w.XR, w.YR, w.DXR, w.DYR,
                          w.window);
        return;
    }
    // A vertical section: the component along it and the vertical wind, on
    // the layers of the section.
    const bool column = sec.IS == 1;
    const int from = column ? sec.JVB : sec.ILB, to = column ? sec.JHB : sec.IRB;
    SectionWind w = vertical_section_wind(sec, m);
    const int n1 = w.n1, n2 = w.n2;
    std::vector<double> XR, ZR;
    std::vector<float> DXR, DZR;
    for (int a = from; a <= to + 1; ++a) XR.push_back(column ? face(g.DY, a) : face(g.DX, a));
    for (int a = from; a <= to; ++a) DXR.push_back(column ? g.DYJ(a) : g.DXI(a));
    for (int k = 1; k <= n2 + 1; ++k) ZR.push_back(g.ZW(k));
    for (int k = 1; k <= n2; ++k) DZR.push_back(g.DZK(k));
    // The inflow along the section in the layer that holds the reference height.
    int kz = 1;
    while (kz < g.NZ && g.ZW(kz + 1) <= wind.ZA) ++kz;
    const float along = column ? wind.V0(kz) : wind.U0(kz);
    const flowplots::PlotWindow window{XR.front(), XR.back(), sec.YA, sec.YE, column ? g.DY : g.DX, g.DZK(1)};
    platform::Field2D<std::int16_t> MAP(n1, n2, 0);
    flowplots::PLTRAZ(w.along, w.up, MAP, n1, n2, along, 0.0f, XR, ZR, DXR, DZR, window);
}

}  // namespace driver
