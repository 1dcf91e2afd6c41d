// Streamlines of a level section. A line advances in steps of fixed length
// DS along the local wind, interpolated linearly between the two faces of
// its cell (U with x only, V with y only). MAP counts the visits of each
// cell, obstacle cells starting non-zero; lines stop where they crowd
// earlier ones.
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
// Drawn lines carry an arrow head on every 50th point and at their end.
#include "flowplots/streamlines.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

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
constexpr int kArrowCode = 1031;

using platform::fixed;
using platform::integer;

struct Tracer {
    Tracer(const platform::Field2D<float>& u, const platform::Field2D<float>& v, platform::Field2D<std::int16_t>& map,
           const platform::Field2D<std::int16_t>& lgb, int nnx, int nny, const PlotWindow& window)
        : U(u), V(v), MAP(map), LGB(lgb), NNX(nnx), NNY(nny), w(window) {}

    const platform::Field2D<float>& U;
    const platform::Field2D<float>& V;
    platform::Field2D<std::int16_t>& MAP;
    const platform::Field2D<std::int16_t>& LGB;
    int NNX, NNY;
    PlotWindow w;
    float DS = 0.0f;
    int IPMAX = 0;

    // the current line
    std::vector<float> X, Y;        // points, 0-based
    std::vector<int> ITRACE, JTRACE;  // cells visited, each visit once
    int MSUM = 0;
    char reason = ' ';

    // Points of the current line by cell, for the test of a line closing on itself.
    std::vector<int> head, stamp, next;
    int line_id = 0;

    int ITR() const { return static_cast<int>(X.size()); }

    // The cell of a point, kept inside the arrays.
    void cell(float x, float y, int& I, int& J) const {
        float fx = (x - w.XMIN) / w.DX, fy = (y - w.YMIN) / w.DY;
        I = std::isfinite(fx) ? static_cast<int>(std::clamp(std::trunc(fx), 0.0f, static_cast<float>(NNX - 1))) + 1 : 1;
        J = std::isfinite(fy) ? static_cast<int>(std::clamp(std::trunc(fy), 0.0f, static_cast<float>(NNY - 1))) + 1 : 1;
    }

    // The wind at (x, y) in cell (I, J).
    void wind(float x, float y, int I, int J, float& UM, float& VM, float& UV) const {
        UM = U(I, J) + (U(I + 1, J) - U(I, J)) * ((x - w.XMIN) / w.DX - static_cast<float>(I - 1));
        VM = V(I, J) + (V(I, J + 1) - V(I, J)) * ((y - w.YMIN) / w.DY - static_cast<float>(J - 1));
        UV = std::sqrt(UM * UM + VM * VM);
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

    void start(float x, float y) {
        X.assign(1, x);
        Y.assign(1, y);
        ITRACE.clear();
        JTRACE.clear();
        MSUM = 0;
        ++line_id;
        remember(0);
    }

    void step(float UM, float VM, float UV) {
        X.push_back(X.back() + UM * DS / UV);
        Y.push_back(Y.back() + VM * DS / UV);
        remember(ITR() - 1);
    }

    bool outside(float x, float y) const { return x <= w.XMIN || x >= w.XMAX || y <= w.YMIN || y >= w.YMAX; }

    void remember(int k) {
        int I, J;
        cell(X[static_cast<std::size_t>(k)], Y[static_cast<std::size_t>(k)], I, J);
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
        const float x = X.back(), y = Y.back(), limit = 2.0f * DS;
        int I, J;
        cell(x, y, I, J);
        for (int j = std::max(J - 1, 1); j <= std::min(J + 1, NNY); ++j)
            for (int i = std::max(I - 1, 1); i <= std::min(I + 1, NNX); ++i) {
                auto c = static_cast<std::size_t>(i - 1 + NNX * (j - 1));
                if (stamp[c] != line_id) continue;
                for (int k = head[c]; k >= 0; k = next[static_cast<std::size_t>(k)])
                    if (k <= n - 5 && std::hypot(X[static_cast<std::size_t>(k)] - x, Y[static_cast<std::size_t>(k)] - y) < limit)
                        return true;
            }
        return false;
    }

    // A border line from (x, y).
    void border_line(float x, float y) {
        start(x, y);
        for (;;) {
            int I, J;
            cell(X.back(), Y.back(), I, J);
            if (LGB(I, J) >= 1) { reason = 'G'; break; }
            visit(I, J);
            MSUM += MAP(I, J);
            if (MSUM / ITR() >= 6) { reason = '#'; break; }
            if (MAP(I, J) > IPMAX) { reason = 'M'; break; }
            float UM, VM, UV;
            wind(X.back(), Y.back(), I, J, UM, VM, UV);
            if (!(UV > 0.01f)) { reason = 'F'; break; }
            step(UM, VM, UV);
            if (outside(X.back(), Y.back()) || ITR() >= ITREND) { reason = 'B'; break; }
        }
    }

    // A filling line from (x, y).
    void filling_line(float x, float y) {
        start(x, y);
        for (;;) {
            int I, J;
            cell(X.back(), Y.back(), I, J);
            MSUM += MAP(I, J);
            if (MSUM / ITR() >= 6) { reason = '#'; break; }
            visit(I, J);
            float UM, VM, UV;
            wind(X.back(), Y.back(), I, J, UM, VM, UV);
            if (!(UV > 0.01f)) { reason = 'F'; break; }
            step(UM, VM, UV);
            if (ITR() > 10 && closes_on_itself()) { reason = 'o'; break; }
            if (outside(X.back(), Y.back())) {
                reason = 'R';
                X.back() = std::max(std::min(X.back(), w.XMAX - 0.01f), w.XMIN);
                Y.back() = std::max(std::min(Y.back(), w.YMAX - 0.01f), w.YMIN);
                break;
            }
            if (MAP(I, J) > IPMAX) { reason = 'm'; break; }
            if (ITR() >= ITREND) { reason = ' '; break; }
        }
    }

    void draw() const {
        const int n = ITR();
        velin::CURVE(X, Y, n, 0);
        auto arrow = [&](int to) {  // on the segment ending at point `to` (1-based)
            auto k = static_cast<std::size_t>(to - 1);
            velin::RLVEC(X[k - 1], Y[k - 1], X[k], Y[k], kArrowCode);
        };
        if (n >= 2 && (std::fabs(X[static_cast<std::size_t>(n) - 1] - X[static_cast<std::size_t>(n) - 2]) > 0.01f ||
                       std::fabs(Y[static_cast<std::size_t>(n) - 1] - Y[static_cast<std::size_t>(n) - 2]) > 0.01f ||
                       n < kArrowEvery))
            arrow(n);
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
    platform::fatal_if(!(w.DX > 0.0f) || !(w.DY > 0.0f) || !(w.XMAX > w.XMIN) || !(w.YMAX > w.YMIN), ROUTINE,
                       "Plotfenster oder Gitterabstand ungültig");
}

}  // namespace

void PLSTR(const platform::Field2D<float>& U, const platform::Field2D<float>& V, platform::Field2D<std::int16_t>& MAP,
           const platform::Field2D<std::int16_t>& LGB, int NNX, int NNY) {
    auto& con = platform::console();
    const PlotWindow w = plot_window();
    check(U, V, MAP, LGB, NNX, NNY, w);
    con.line(" - PLSTR -" + integer(NNX, 4) + integer(NNY, 4));

    Tracer t(U, V, MAP, LGB, NNX, NNY, w);
    for (int j = 1; j <= NNY; ++j)
        for (int i = 1; i <= NNX; ++i) MAP(i, j) = LGB(i, j);
    t.IPMAX = 5 * static_cast<int>(std::sqrt(w.DX * w.DX + w.DY * w.DY));
    t.DS = std::min(w.DX, w.DY) * 0.333f;
    t.head.assign(static_cast<std::size_t>(NNX) * static_cast<std::size_t>(NNY), -1);
    t.stamp.assign(t.head.size(), 0);
    velin::HEIGHT(0.8f);

    // Phase 1: the borders where the flow enters.
    struct Border {
        int LXA, LXE, LYA, LYE;
        float RX, RY;
    };
    const Border borders[4] = {{1, 1, 1, NNY, 1.0f, 0.5f},
                               {NNX, NNX, 1, NNY, 0.01f, 0.5f},
                               {1, NNX, 1, 1, 0.5f, 1.0f},
                               {1, NNX, NNY, NNY, 0.5f, 0.01f}};
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
                t.border_line((static_cast<float>(I) - b.RX) * w.DX + w.XMIN, (static_cast<float>(J) - b.RY) * w.DY + w.YMIN);
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
                    t.filling_line((static_cast<float>(I) - 0.5f) * w.DX + w.XMIN,
                                   (static_cast<float>(J) - 0.5f) * w.DY + w.YMIN);
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
