// Streamlines of a level section. A line advances in steps of fixed length
// DS (a third of a cell) along the local wind, interpolated linearly between
// the two faces of its cell (U with x only, V with y only); each step is a
// midpoint step taken cell by cell (flowstep.h), so lines in an eddy close
// and lines past a stagnation point keep to their stream function. MAP
// counts the visits of each cell, obstacle cells starting non-zero; lines
// stop where they crowd earlier ones.
//
// Phase 1 starts a line in every border cell where the flow enters the
// window (left, right, bottom, top). It stops at an obstacle ("G"), in
// crowded cells ("#": mean visit count of 6; "M": a cell visited more than
// IPMAX times), in calm air ("F") or at the border ("B"). Lines of fewer
// than 14 points are taken back.
// Phase 2 fills what phase 1 left: lines start at the centres of cells
// visited less than twice, rows upward, eastward flow scanned from the left
// and the rest from the right. A line stops when crowded ("#", "m"), calm
// ("F"), back at itself ("o") or at the border ("R"). A pass accepts lines
// of at least ILT points; the next one lowers ILT to 5 below the longest
// line rejected, until ILT falls below 11.
// A line that leaves the window ends on its edge. Drawn lines carry an
// arrow head on every 50th point and at their end.
//
// Everything counts in cells and steps, never in metres, so the same flow on
// cells of 0.5 m or 5 m gives the same picture, scaled; positions are doubles
// so that the picture does not depend on where the grid lies.
#include "flowplots/streamlines.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "flowplots/flowstep.h"
#include "flowplots/window.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace flowplots {

namespace {

constexpr char ROUTINE[] = "PLSTR";
constexpr int ITREND = 1500;    // points of a line at most
constexpr int kShortest = 14;   // border lines with fewer points are taken back
constexpr int kArrowEvery = 50;  // points between arrow heads
// Visits of one cell at most. A line crossing a cell visits it about three
// times (a step is a third of a cell), so a cell takes about three lines.
constexpr int kMaxVisits = 10;
// A last segment shorter than this share of a step is too short to show
// the line's direction: its arrow head takes the direction from farther back.
constexpr double kTinyStep = 0.01;

using platform::fixed;
using platform::integer;

struct Tracer {
    Tracer(const platform::Field2D<float>& u, const platform::Field2D<float>& v, platform::Field2D<std::int16_t>& map,
           const platform::Field2D<std::int16_t>& lgb, int nnx, int nny, const PlotWindow& window)
        : U(u), V(v), MAP(map), LGB(lgb), NNX(nnx), NNY(nny), w(window),
          box(detail::drawn_box(window.XMIN, window.XMAX, window.YMIN, window.YMAX, window.DX, window.DY)),
          field{u, v, {}, {}} {
        for (int i = 0; i <= NNX; ++i) xf.push_back(w.XMIN + i * w.DX);
        for (int j = 0; j <= NNY; ++j) yf.push_back(w.YMIN + j * w.DY);
        xw.assign(static_cast<std::size_t>(NNX), static_cast<float>(w.DX));
        yw.assign(static_cast<std::size_t>(NNY), static_cast<float>(w.DY));
        field.x = {xf, xw, NNX, w.DX};
        field.y = {yf, yw, NNY, w.DY};
    }

    const platform::Field2D<float>& U;
    const platform::Field2D<float>& V;
    platform::Field2D<std::int16_t>& MAP;
    const platform::Field2D<std::int16_t>& LGB;
    int NNX, NNY;
    PlotWindow w;
    detail::Box box;
    std::vector<double> xf, yf;  // faces
    std::vector<float> xw, yw;   // widths
    detail::FaceWind field;
    double DS = 0.0;
    int IPMAX = kMaxVisits;

    // the current line
    std::vector<double> X, Y;         // points, 0-based
    std::vector<int> CI, CJ;          // the cell of each point
    std::vector<int> ITRACE, JTRACE;  // cells visited, each visit once
    int MSUM = 0;
    char reason = ' ';

    // Points of the current line by cell, for the test of a line closing on itself.
    std::vector<int> head, stamp, next;
    int line_id = 0;
    // Buffers of the drawn line in the plot's single precision.
    mutable std::vector<float> xs, ys;

    int ITR() const { return static_cast<int>(X.size()); }

    // The cell of a point, kept inside the arrays.
    void cell(double x, double y, int& I, int& J) const {
        I = field.x.cell(x);
        J = field.y.cell(y);
    }

    // The wind at the newest point, in cell (I, J), and its speed.
    double UM = 0.0, VM = 0.0;
    double speed(int I, int J) {
        field.at(I, J, X.back(), Y.back(), UM, VM);
        return std::sqrt(UM * UM + VM * VM);
    }

    void visit(int I, int J) {
        std::int16_t& m = MAP(I, J);
        if (m < 32767) ++m;
        ITRACE.push_back(I);
        JTRACE.push_back(J);
    }

    // Takes back the visit counts the current line added.
    void take_back() {
        for (std::size_t n = 0; n < ITRACE.size(); ++n) --MAP(ITRACE[n], JTRACE[n]);
    }

    // A line starts at (x, y), or just inside the window when that lies on its edge.
    void start(double x, double y) {
        X.assign(1, std::clamp(x, box.xmin, box.xmax));
        Y.assign(1, std::clamp(y, box.ymin, box.ymax));
        ITRACE.clear();
        JTRACE.clear();
        MSUM = 0;
        ++line_id;
        remember(0);
    }

    // One step from the newest point, in cell (I, J), whose wind speed()
    // found. True when the line reached the window's edge; a step that got
    // nowhere adds no point.
    bool step(int I, int J) {
        double x = X.back(), y = Y.back();
        const detail::StepEnd end = detail::advance(field, box, true, DS, I, J, UM, VM, x, y);
        if (end != detail::StepEnd::edge || x != X.back() || y != Y.back()) {
            X.push_back(x);
            Y.push_back(y);
            remember(ITR() - 1);
        }
        return end == detail::StepEnd::edge || outside(X.back(), Y.back());
    }

    bool outside(double x, double y) const { return !box.inside(x, y); }

    // Notes the cell of point k, the newest.
    void remember(int k) {
        int I, J;
        cell(X[static_cast<std::size_t>(k)], Y[static_cast<std::size_t>(k)], I, J);
        CI.resize(static_cast<std::size_t>(k) + 1);
        CJ.resize(static_cast<std::size_t>(k) + 1);
        CI.back() = I;
        CJ.back() = J;
        auto c = static_cast<std::size_t>(I - 1 + NNX * (J - 1));
        if (stamp[c] != line_id) {
            stamp[c] = line_id;
            head[c] = -1;
        }
        if (next.size() <= static_cast<std::size_t>(k)) next.resize(static_cast<std::size_t>(k) + 1);
        next[static_cast<std::size_t>(k)] = head[c];
        head[c] = k;
    }

    // Whether the newest point comes closer than 2 DS to one of the line's
    // points up to five before it. A step is shorter than a third of a
    // cell, so the cells around the point hold every candidate.
    bool closes_on_itself() const {
        const int n = ITR() - 1;  // 0-based index of the newest point
        const double x = X.back(), y = Y.back(), limit = 2.0 * DS;
        const int I = CI.back(), J = CJ.back();
        for (int j = std::max(J - 1, 1); j <= std::min(J + 1, NNY); ++j)
            for (int i = std::max(I - 1, 1); i <= std::min(I + 1, NNX); ++i) {
                auto c = static_cast<std::size_t>(i - 1 + NNX * (j - 1));
                if (stamp[c] != line_id) continue;
                for (int k = head[c]; k >= 0; k = next[static_cast<std::size_t>(k)])
                    if (k <= n - 5) {
                        const double dx = X[static_cast<std::size_t>(k)] - x, dy = Y[static_cast<std::size_t>(k)] - y;
                        if (dx * dx + dy * dy < limit * limit) return true;
                    }
            }
        return false;
    }

    // A border line from (x, y).
    void border_line(double x, double y) {
        start(x, y);
        for (;;) {
            const int I = CI.back(), J = CJ.back();
            if (LGB(I, J) >= 1) { reason = 'G'; break; }
            visit(I, J);
            MSUM += MAP(I, J);
            if (MSUM / ITR() >= 6) { reason = '#'; break; }
            if (MAP(I, J) > IPMAX) { reason = 'M'; break; }
            if (!(speed(I, J) > detail::kCalm)) { reason = 'F'; break; }
            if (step(I, J) || ITR() >= ITREND) { reason = 'B'; break; }
        }
    }

    // A filling line from (x, y).
    void filling_line(double x, double y) {
        start(x, y);
        for (;;) {
            const int I = CI.back(), J = CJ.back();
            MSUM += MAP(I, J);
            if (MSUM / ITR() >= 6) { reason = '#'; break; }
            visit(I, J);
            if (!(speed(I, J) > detail::kCalm)) { reason = 'F'; break; }
            const bool at_edge = step(I, J);
            if (ITR() > 10 && closes_on_itself()) { reason = 'o'; break; }
            if (at_edge) { reason = 'R'; break; }
            if (MAP(I, J) > IPMAX) { reason = 'm'; break; }
            if (ITR() >= ITREND) { reason = ' '; break; }
        }
    }

    void draw() const {
        const int n = ITR();
        xs.assign(X.begin(), X.end());
        ys.assign(Y.begin(), Y.end());
        velin::CURVE(xs, ys, n, 0);
        // On the segment ending at point `to` (1-based); a line running along
        // the frame keeps its heads inside, as at its end.
        auto arrow = [&](int to) {
            auto k = static_cast<std::size_t>(to - 1);
            detail::draw_end_arrow(X[k - 1], Y[k - 1], X[k], Y[k], box);
        };
        const auto last = static_cast<std::size_t>(n) - 1;
        if (n >= 2 && (std::fabs(X[last] - X[last - 1]) > kTinyStep * DS ||
                       std::fabs(Y[last] - Y[last - 1]) > kTinyStep * DS || n < kArrowEvery)) {
            // A last piece up to the window's edge may be tiny: the head
            // points along the line from a point far enough back.
            std::size_t from = last - 1;
            while (from > 0 && std::hypot(X[last] - X[from], Y[last] - Y[from]) < kTinyStep * DS) --from;
            detail::draw_end_arrow(X[from], Y[from], X[last], Y[last], box);
        }
        for (int p = kArrowEvery; p <= n; p += kArrowEvery) arrow(p);
    }

    std::string point_text(std::size_t k) const { return fixed(X[k], 9, 1) + fixed(Y[k], 9, 1); }
};

void check(const platform::Field2D<float>& U, const platform::Field2D<float>& V, const platform::Field2D<std::int16_t>& MAP,
           const platform::Field2D<std::int16_t>& LGB, int NNX, int NNY, const PlotWindow& w) {
    platform::fatal_if(NNX < 1 || NNY < 1, ROUTINE, "Schnitt ohne Zellen: " + std::to_string(NNX) + " x " + std::to_string(NNY));
    platform::fatal_if(U.n1() < NNX + 1 || U.n2() < NNY || V.n1() < NNX || V.n2() < NNY + 1 || MAP.n1() < NNX ||
                           MAP.n2() < NNY || LGB.n1() < NNX || LGB.n2() < NNY,
                       ROUTINE, "Felder kleiner als der Schnitt");
    platform::fatal_if(!(w.DX > 0.0) || !(w.DY > 0.0) || !(w.XMAX > w.XMIN) || !(w.YMAX > w.YMIN) ||
                           !std::isfinite(w.XMAX - w.XMIN) || !std::isfinite(w.YMAX - w.YMIN),
                       ROUTINE, "Plotfenster oder Gitterabstand ungültig");
}

}  // namespace

void PLSTR(const platform::Field2D<float>& U, const platform::Field2D<float>& V, platform::Field2D<std::int16_t>& MAP,
           const platform::Field2D<std::int16_t>& LGB, int NNX, int NNY, const PlotWindow& w) {
    auto& con = platform::console();
    check(U, V, MAP, LGB, NNX, NNY, w);
    con.line(" - PLSTR -" + integer(NNX, 4) + integer(NNY, 4));

    Tracer t(U, V, MAP, LGB, NNX, NNY, w);
    for (int j = 1; j <= NNY; ++j)
        for (int i = 1; i <= NNX; ++i) MAP(i, j) = LGB(i, j);
    t.DS = std::min(w.DX, w.DY) * 0.333;
    t.head.assign(static_cast<std::size_t>(NNX) * static_cast<std::size_t>(NNY), -1);
    t.stamp.assign(t.head.size(), 0);
    velin::HEIGHT(0.8f);

    // Phase 1: the borders where the flow enters.
    struct Border {
        int LXA, LXE, LYA, LYE;
        double RX, RY;
    };
    const Border borders[4] = {{1, 1, 1, NNY, 1.0, 0.5},
                               {NNX, NNX, 1, NNY, 0.01, 0.5},
                               {1, NNX, 1, 1, 0.5, 1.0},
                               {1, NNX, NNY, NNY, 0.5, 0.01}};
    auto enters = [&](int IR, int I, int J) {
        switch (IR) {
            case 1: return U(1, J) > 0.0f;
            case 2: return U(NNX + 1, J) < 0.0f;
            case 3: return V(I, 1) > 0.0f;
            default: return V(I, NNY + 1) < 0.0f;
        }
    };
    for (int IR = 1; IR <= 4; ++IR) {
        const Border& b = borders[IR - 1];
        con.line(" RAND=" + integer(IR, 2));
        for (int I = b.LXA; I <= b.LXE; ++I)
            for (int J = b.LYA; J <= b.LYE; ++J) {
                if (!enters(IR, I, J)) continue;
                t.border_line((I - b.RX) * w.DX + w.XMIN, (J - b.RY) * w.DY + w.YMIN);
                int LI, LJ;
                t.cell(t.X.back(), t.Y.back(), LI, LJ);
                con.line(integer(IR, 3) + "/" + integer(I, 4) + integer(J, 4) + integer(t.ITR(), 6) + t.point_text(0) +
                         t.point_text(static_cast<std::size_t>(t.ITR()) - 1) + "  " + t.reason + integer(MAP(LI, LJ), 6) +
                         integer(t.MSUM, 7));
                if (t.ITR() >= kShortest) t.draw();
                else t.take_back();
            }
    }

    // Phase 2: filling, longest lines first.
    con.line(" === WF ===");
    int ILT = 100;
    do {
        int ILT2 = 0;
        for (int pass = 0; pass < 2; ++pass)
            for (int J = 1; J <= NNY; ++J)
                for (int n = 1; n <= NNX; ++n) {
                    const int I = pass == 0 ? n : NNX + 1 - n;
                    const bool eastward = U(I, J) > 0.0f;
                    if (eastward != (pass == 0) || MAP(I, J) >= 2) continue;
                    t.filling_line((I - 0.5) * w.DX + w.XMIN, (J - 0.5) * w.DY + w.YMIN);
                    if (t.ITR() >= ILT) {
                        if (t.ITR() >= 3) {
                            con.line(t.point_text(0) + integer(t.ITR(), 6) + integer(MAP(I, J), 4) + "  " + t.reason);
                            t.draw();
                        }
                    } else {
                        t.take_back();
                        ILT2 = std::max(ILT2, t.ITR());
                    }
                }
        con.line(" ILTmax=" + integer(ILT2, 6));
        ILT = ILT2 - 5;
    } while (ILT >= 11);
}

}  // namespace flowplots
