// The isoline tracer. The field is refined by a piecewise cubic (a parabola
// in the first and last interval) at MMY sub-steps between grid rows and MMX
// between columns, and the fine grid is swept once, fine row after fine row.
// All levels grow at the same time.
//
// Notation: fine row r lies at YY; its values F(k) at the fine x positions
// FX(k), k = 1..NFX; P(k) are the values of the row before. A level L lies
// between a and b when one is above L and the other at most L (a value equal
// to a level counts as below it). Each fine row yields, per level:
//   - crossings along x between F(k-1) and F(k), kept 0.001 of a step off
//     the fine points;
//   - crossings along y between P(k) and F(k);
//   - boundary ends: the crossings along y of the first and last column, and
//     every crossing along x of the first and last fine row.
// The open ends of unfinished lines (branches) left on the row before and the
// new crossings are walked in x order. Crossings along y are attached to the
// entry on their left; that entry is joined with the next one that is not a
// crossing along y: an open end grows to a new crossing, two new crossings
// give birth to a line, two open ends are joined. A joined line whose two
// ends met, or whose far ends both lie on the boundary, is complete and is
// output at once (ZWEIG) in pieces of at most NMAX points sharing their
// joints; a closed line repeats its first point at the end.
//
// Points without a value (not finite, in the field or after the refinement
// next to such a point) leave holes: a fine cell with such a corner is
// undefined, and a fine row walks each run of defined cells on its own, as if
// it were a field of its own. A line meets a hole as it meets the boundary:
// the crossings on the edges of a run are boundary ends, an open end below an
// undefined cell ends there, and a crossing on top of an undefined cell
// starts a line from the boundary. Rows without holes take the plain path.
//
// The points of unfinished lines live in a pool of LF nodes. A node has two
// undirected links to its neighbours in the chain, so that a branch can grow
// and be joined at either end; an end node also knows the opposite end
// (partner), whether that one has ended on the boundary, and the number of
// points. When fewer than 4 nodes would be left, SCHERE outputs the longest
// unfinished branch as it stands and lets its open ends go on as new
// branches; when even that branch has fewer than 3 points, cutting would free
// nothing and the pool grows instead.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "contour/isolines.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace contour {

namespace {

constexpr int LF = 10000;         // nodes of the pool
constexpr int NMAX = 1700;        // points of one output piece
// Fine points of a row beyond which a row is not refined: the sub-steps are
// for the look of the lines, not worth tens of megabytes per row.
constexpr long long kMaxFinePoints = 4000000;
constexpr int kReserve = 4;       // nodes the pool keeps free
constexpr std::size_t kCrowded = 64;  // open ends per point of the longest branch beyond which the pool grows

enum class Kind : std::uint8_t { AlongX, AlongY, Boundary };

struct Crossing {
    float x, y;
    Kind kind;
    int run = 1;  // the run of defined cells it belongs to; 0: none (a hole lies below it)
};

// One entry of a level's walk: an open end (a node) or a new crossing.
struct Entry {
    int node = -1;  // >= 0: open end
    Crossing c{};
    bool open() const { return node >= 0 || c.kind == Kind::Boundary; }
};

struct Tracer {
    // node pool
    std::vector<float> nx, ny;
    std::vector<std::array<int, 2>> link;
    std::vector<int> partner, count, next_free;
    std::vector<std::uint8_t> far_boundary;
    int free_head = -1, free_count = 0, heads = 0, cuts = 0, growths = 0;

    // levels, ascending, with their 1-based positions in AR
    std::vector<float> lev;
    std::vector<int> pos;
    std::vector<std::vector<int>> ends;       // open ends on the previous fine row, by x
    std::vector<std::vector<Crossing>> fresh;  // crossings of the current fine row, by x

    // the walk in progress (for SCHERE's search)
    int walking = -1;
    std::vector<int> old;
    std::size_t old_next = 0;
    int pending = -1;

    std::vector<float> XPLOT, YPLOT;
    const LineSink& sink;  // the caller's, for this run of the tracer only

    explicit Tracer(const LineSink& s) : sink(s) {}

    // holes: the run of each fine cell of the current row (its first cell; 0
    // undefined), cells 2..NFX; the fine step in x
    bool holes = false;
    std::vector<int> run_of_cell;
    int MMX = 1, NFX = 1;
    int run_of_end(int node) const {
        const float x = nx[static_cast<std::size_t>(node)];
        const int c = std::clamp(static_cast<int>(std::floor((x - 1.0f) * static_cast<float>(MMX))) + 2, 2, NFX);
        return run_of_cell[static_cast<std::size_t>(c)];
    }

    // -- pool --------------------------------------------------------------
    void reset_pool(int nlevels) {
        int size = std::max(LF, nlevels + 2 * kReserve);
        nx.assign(static_cast<std::size_t>(size), 0.0f);
        ny.assign(nx.size(), 0.0f);
        link.assign(nx.size(), {-1, -1});
        partner.assign(nx.size(), -1);
        count.assign(nx.size(), 0);
        far_boundary.assign(nx.size(), 0);
        next_free.assign(nx.size(), -1);
        heads = nlevels;
        free_head = -1;
        free_count = 0;
        for (int n = size - 1; n >= heads; --n) release(n);
        cuts = growths = 0;
    }
    TracerPool pool() const { return {static_cast<int>(nx.size()), heads, free_count, cuts, growths}; }
    void release(int n) {
        next_free[static_cast<std::size_t>(n)] = free_head;
        free_head = n;
        ++free_count;
    }
    int take(float x, float y) {
        int n = free_head;
        auto k = static_cast<std::size_t>(n);
        free_head = next_free[k];
        --free_count;
        nx[k] = x;
        ny[k] = y;
        link[k] = {-1, -1};
        return n;
    }
    void grow_pool() {
        std::size_t old_size = nx.size(), size = old_size + LF;
        nx.resize(size, 0.0f);
        ny.resize(size, 0.0f);
        link.resize(size, {-1, -1});
        partner.resize(size, -1);
        count.resize(size, 0);
        far_boundary.resize(size, 0);
        next_free.resize(size, -1);
        for (std::size_t n = size; n-- > old_size;) release(static_cast<int>(n));
        ++growths;
    }
    void connect_nodes(int a, int b) {
        auto& la = link[static_cast<std::size_t>(a)];
        auto& lb = link[static_cast<std::size_t>(b)];
        (la[0] < 0 ? la[0] : la[1]) = b;
        (lb[0] < 0 ? lb[0] : lb[1]) = a;
    }
    // A branch of one point: a boundary end, or the first point of a new line.
    int single(const Crossing& c, bool on_boundary) {
        int n = take(c.x, c.y);
        auto k = static_cast<std::size_t>(n);
        partner[k] = n;
        far_boundary[k] = on_boundary;
        count[k] = 1;
        return n;
    }
    // The branch of end E grows by one point, which becomes its end.
    int grow(int e, float x, float y) {
        int n = take(x, y);
        connect_nodes(e, n);
        auto ke = static_cast<std::size_t>(e), kn = static_cast<std::size_t>(n);
        int p = partner[ke] == e ? e : partner[ke];
        partner[kn] = p;
        partner[static_cast<std::size_t>(p)] = n;
        far_boundary[kn] = far_boundary[ke];
        count[kn] = count[ke] + 1;
        count[static_cast<std::size_t>(p)] = count[kn];
        return n;
    }

    // -- output (ZWEIG) ------------------------------------------------------
    // Outputs the chain from node S to its other end (and back to S when
    // closed) and frees its nodes, except those listed in KEEP.
    void ZWEIG(int level, int s, bool closed, int keep1 = -1, int keep2 = -1) {
        int np = 0;
        float first_x = nx[static_cast<std::size_t>(s)], first_y = ny[static_cast<std::size_t>(s)];
        float last_x = 0.0f, last_y = 0.0f;
        auto put = [&](float x, float y) {
            if (np == NMAX) {
                flush(level, np);
                // The next piece starts where this one ended.
                XPLOT[0] = last_x;
                YPLOT[0] = last_y;
                np = 1;
            }
            XPLOT[static_cast<std::size_t>(np)] = x;
            YPLOT[static_cast<std::size_t>(np)] = y;
            ++np;
            last_x = x;
            last_y = y;
        };
        int prev = -1, cur = s;
        while (cur >= 0) {
            auto k = static_cast<std::size_t>(cur);
            put(nx[k], ny[k]);
            int next = link[k][0] != prev ? link[k][0] : link[k][1];
            if (next == prev) next = -1;
            if (cur != keep1 && cur != keep2) release(cur);
            prev = cur;
            cur = next;
        }
        if (closed) put(first_x, first_y);
        flush(level, np);
    }
    void flush(int level, int np) {
        if (np < 2) return;
        sink(std::span<float>(XPLOT.data(), static_cast<std::size_t>(np)),
                std::span<float>(YPLOT.data(), static_cast<std::size_t>(np)), np, pos[static_cast<std::size_t>(level)]);
    }

    // Joins the open ends E1 and E2 of level LEVEL.
    void join(int level, int e1, int e2) {
        auto k1 = static_cast<std::size_t>(e1), k2 = static_cast<std::size_t>(e2);
        int p1 = partner[k1], p2 = partner[k2];
        if (p1 == e2) {  // the two ends of one line: it is closed
            ZWEIG(level, e1, true);
            return;
        }
        connect_nodes(e1, e2);
        if (far_boundary[k1] && far_boundary[k2]) {  // from boundary to boundary
            ZWEIG(level, p1, false);
            return;
        }
        int c = count[k1] + count[k2];
        auto q1 = static_cast<std::size_t>(p1), q2 = static_cast<std::size_t>(p2);
        bool fb1 = far_boundary[k1], fb2 = far_boundary[k2];
        partner[q1] = p2;
        partner[q2] = p1;
        far_boundary[q1] = fb2;
        far_boundary[q2] = fb1;
        count[q1] = count[q2] = c;
    }

    // -- SCHERE ------------------------------------------------------------
    // Makes room for NEED more nodes.
    void make_room(int need) {
        while (free_count - need < kReserve) SCHERE();
    }
    void SCHERE() {
        int best = -1, most = 0;
        auto consider = [&](int e) {
            if (e >= 0 && count[static_cast<std::size_t>(e)] > most) {
                most = count[static_cast<std::size_t>(e)];
                best = e;
            }
        };
        int best_level = -1;
        std::size_t scanned = 0;
        for (int l = 0; l < static_cast<int>(lev.size()); ++l) {
            int before = most;
            for (int e : ends[static_cast<std::size_t>(l)]) consider(e);
            scanned += ends[static_cast<std::size_t>(l)].size();
            if (l == walking) {
                consider(pending);
                for (std::size_t i = old_next; i < old.size(); ++i) consider(old[i]);
                scanned += old.size() - old_next;
            }
            if (most > before) best_level = l;
        }
        // Cutting a branch of fewer than 3 points frees nothing. A pool
        // crowded with many short branches (noise) grows too: cutting one of
        // them would free a node or two for a search over all of them.
        if (most < 3 || static_cast<std::size_t>(most) * kCrowded < scanned) {
            grow_pool();
            return;
        }
        ++cuts;
        auto kb = static_cast<std::size_t>(best);
        int other = partner[kb];
        bool other_open = !far_boundary[kb];
        ZWEIG(best_level, best, false, best, other_open ? other : -1);
        // Each open end goes on as a branch of one point from the boundary.
        for (int e : {best, other_open ? other : -1}) {
            if (e < 0) continue;
            auto k = static_cast<std::size_t>(e);
            link[k] = {-1, -1};
            partner[k] = e;
            far_boundary[k] = 1;
            count[k] = 1;
        }
    }

    // -- joining of one level on one fine row ---------------------------------
    void walk(int level) {
        auto lk = static_cast<std::size_t>(level);
        walking = level;
        old.swap(ends[lk]);
        ends[lk].clear();
        old_next = 0;
        pending = -1;
        const std::vector<Crossing>& cr = fresh[lk];
        std::size_t ic = 0;
        bool have_first = false;
        Entry first;
        std::vector<Crossing>& along_y = ys;
        along_y.clear();
        int current_run = -1;
        while (old_next < old.size() || ic < cr.size()) {
            Entry e;
            // At equal x a new crossing stands before an older entry.
            if (ic < cr.size() && (old_next >= old.size() || cr[ic].x <= nx[static_cast<std::size_t>(old[old_next])])) {
                e.c = cr[ic++];
            } else {
                e.node = old[old_next++];
            }
            if (holes) {
                const int run = e.node >= 0 ? run_of_end(e.node) : e.c.run;
                if (run == 0) {
                    // Below an undefined cell an open end ends; above one a line starts.
                    if (e.node >= 0) {
                        end_on_boundary(level, e);
                    } else {
                        make_room(1);
                        ends[lk].push_back(single(e.c, true));
                    }
                    continue;
                }
                if (run != current_run) {
                    // Each run of defined cells is walked on its own.
                    if (have_first) end_on_boundary(level, first);
                    have_first = false;
                    pending = -1;
                    along_y.clear();
                    current_run = run;
                }
            }
            if (e.node < 0 && e.c.kind == Kind::AlongY) {
                if (have_first) along_y.push_back(e.c);
                continue;
            }
            if (!have_first) {
                first = e;
                have_first = true;
                pending = e.node;
                along_y.clear();
                continue;
            }
            pair(level, first, e);
            have_first = false;
            pending = -1;
            along_y.clear();
        }
        // An entry left without partner cannot occur with consistent
        // crossings; should it, the line ends there.
        if (have_first) end_on_boundary(level, first);
        walking = -1;
        pending = -1;
        old.clear();
    }
    std::vector<Crossing> ys;

    int as_node(const Entry& e) { return e.node >= 0 ? e.node : single(e.c, true); }

    void pair(int level, const Entry& a, const Entry& b) {
        auto lk = static_cast<std::size_t>(level);
        int need = static_cast<int>(ys.size()) + (a.node < 0 ? 1 : 0) + (b.node < 0 ? 1 : 0);
        make_room(need);
        if (a.open() && b.open()) {
            int e1 = as_node(a), e2 = as_node(b);
            for (const Crossing& y : ys) e1 = grow(e1, y.x, y.y);
            join(level, e1, e2);
        } else if (a.open()) {  // an open end grows to a new crossing
            int e = as_node(a);
            for (const Crossing& y : ys) e = grow(e, y.x, y.y);
            ends[lk].push_back(grow(e, b.c.x, b.c.y));
        } else if (b.open()) {  // the same from the other side
            int e = as_node(b);
            for (auto it = ys.rbegin(); it != ys.rend(); ++it) e = grow(e, it->x, it->y);
            ends[lk].push_back(grow(e, a.c.x, a.c.y));
        } else {  // two new crossings: a line is born
            int n1 = single(a.c, false);
            int e = n1;
            for (const Crossing& y : ys) e = grow(e, y.x, y.y);
            int n2 = grow(e, b.c.x, b.c.y);
            ends[lk].push_back(n1);
            ends[lk].push_back(n2);
        }
    }

    void end_on_boundary(int level, const Entry& a) {
        if (a.node < 0) return;  // a lone new crossing carries no line yet
        auto k = static_cast<std::size_t>(a.node);
        int p = partner[k];
        if (far_boundary[k]) {
            ZWEIG(level, p == a.node ? a.node : p, false);
        } else {
            far_boundary[static_cast<std::size_t>(p)] = 1;
        }
    }
};

// The coefficients of the interpolating polynomial over an interval: a
// parabola through q, r, s (first interval) or p, q, r (last), else the
// cubic through p, q, r, s. The value at fraction t is q + t(C1 + t(C2 + t C3)).
struct Cubic {
    float C1, C2, C3;
};
inline Cubic coefficients(float p, float q, float r, float s, bool first, bool last) {
    if (first) return {2.0f * r - 1.5f * q - 0.5f * s, 0.5f * (q + s) - r, 0.0f};
    if (last) return {0.5f * (r - p), 0.5f * (r + p) - q, 0.0f};
    float C3 = (s - p) / 6.0f + 0.5f * (q - r);
    return {0.5f * (r - p) - C3, 0.5f * (r + p) - q, C3};
}

inline float evaluate(const Cubic& c, float q, float r, float t, bool at_end, bool cap) {
    // At the end of the interval the polynomial passes through r exactly.
    if (at_end) return r;
    float v = q + t * (c.C1 + t * (c.C2 + t * c.C3));
    if (cap) v = std::clamp(v, std::min(q, r), std::max(q, r));
    return v;
}

// Number of levels below V (V above the level), starting the search at HINT;
// -1 for a value that is not finite.
inline int band(const std::vector<float>& lev, float v, int hint) {
    if (!std::isfinite(v)) return -1;
    int n = static_cast<int>(lev.size());
    if ((hint == 0 || lev[static_cast<std::size_t>(hint) - 1] < v) && (hint == n || !(lev[static_cast<std::size_t>(hint)] < v)))
        return hint;
    return static_cast<int>(std::lower_bound(lev.begin(), lev.end(), v) - lev.begin());
}

// Fraction of the way from b back to a where the level lies; NaN-safe.
inline float fraction(float b, float a, float L) {
    float f = (b - L) / (b - a);
    return std::isfinite(f) ? std::clamp(f, 0.0f, 1.0f) : 0.5f;
}

// False when the field has too few points to trace: the picture then has no
// isolines, with a warning. Two points in a direction are traced without
// refinement there (the polynomials want three); so are rows whose fine
// points would be too many.
bool check_dimensions(int NNX, int NNY, int& MMX, int& MMY) {
    if (NNX < 2 || NNY < 2) {
        velin::VLERROR("ISOKOR-W-Gebiet zu klein! (" + std::to_string(NNX) + " x " + std::to_string(NNY) +
                       " Punkte): keine Isolinien");
        return false;
    }
    if (NNX == 2 || static_cast<long long>(NNX - 1) * MMX >= kMaxFinePoints) MMX = 1;
    if (NNY == 2 || static_cast<long long>(NNY - 1) * MMY >= kMaxFinePoints) MMY = 1;
    return true;
}

// The sweep over the fine rows: the grid values S of the current row, the
// fine values F (and P of the row before) with their bands FB (PB), the
// fine x positions FX and the vertical polynomials CY of each column; it
// hands the crossings of each fine row to the tracer T.
struct FineSweep {
    Tracer& T;
    const platform::Field2D<float>& Z;
    int NNX, NNY, MMX, MMY, NFX;
    bool cap;
    float DX, DY;
    std::vector<float> FX, S, F, P;
    std::vector<int> FB, PB;
    std::vector<Cubic> CY;
    // The current and the previous fine row hold points without a value.
    bool F_holes = false, P_holes = false;

    FineSweep(Tracer& t, const platform::Field2D<float>& z, int nnx, int nny, int mmx, int mmy, bool capped)
        : T(t), Z(z), NNX(nnx), NNY(nny), MMX(mmx), MMY(mmy), NFX((nnx - 1) * mmx + 1), cap(capped),
          DX(1.0f / static_cast<float>(mmx)), DY(1.0f / static_cast<float>(mmy)) {
        auto n = static_cast<std::size_t>(NFX) + 1;  // 1-based
        FX.assign(n, 0.0f);
        FX[1] = 1.0f;
        for (int ix = 2; ix <= NNX; ++ix)
            for (int m = 1; m <= MMX; ++m)
                FX[static_cast<std::size_t>((ix - 2) * MMX + m + 1)] =
                    static_cast<float>(ix - 1) + static_cast<float>(m) / static_cast<float>(MMX);
        S.assign(static_cast<std::size_t>(NNX) + 1, 0.0f);
        F.assign(n, 0.0f);
        P.assign(n, 0.0f);
        FB.assign(n, 0);
        PB.assign(n, 0);
        CY.assign(static_cast<std::size_t>(NNX) + 1, Cubic{});
        T.MMX = MMX;
        T.NFX = NFX;
        T.run_of_cell.assign(n, 0);
    }

    // One fine row from the values S at the grid columns.
    void refine_row() {
        F[1] = S[1];
        for (int ix = 2; ix <= NNX; ++ix) {
            float p = ix > 2 ? S[static_cast<std::size_t>(ix - 2)] : 0.0f;
            float q = S[static_cast<std::size_t>(ix - 1)], r = S[static_cast<std::size_t>(ix)];
            float s = ix < NNX ? S[static_cast<std::size_t>(ix + 1)] : 0.0f;
            auto k0 = static_cast<std::size_t>((ix - 2) * MMX + 1);
            if (MMX == 1) {
                F[k0 + 1] = r;
                continue;
            }
            Cubic c = coefficients(p, q, r, s, ix == 2, ix == NNX);
            for (int m = 1; m <= MMX; ++m)
                F[k0 + static_cast<std::size_t>(m)] = evaluate(c, q, r, static_cast<float>(m) * DX, m == MMX, cap);
        }
        int hint = 0;
        F_holes = false;
        for (int k = 1; k <= NFX; ++k) {
            const int b = band(T.lev, F[static_cast<std::size_t>(k)], hint);
            FB[static_cast<std::size_t>(k)] = b;
            if (b < 0) F_holes = true;
            else hint = b;
        }
    }

    // The crossings of levels a..b (either order) between two values, handed to `put`.
    template <typename Put>
    void crossings(int a, int b, Put put) {
        for (int l = std::min(a, b); l < std::max(a, b); ++l) put(l, T.lev[static_cast<std::size_t>(l)]);
    }
    void add(int l, const Crossing& c) { T.fresh[static_cast<std::size_t>(l)].push_back(c); }

    // The crossings of the current fine row at height YY.
    void collect(float YY, bool first_row, bool last_row) {
        const Kind along_x = first_row || last_row ? Kind::Boundary : Kind::AlongX;
        // The edge along y of the first column is a boundary end.
        if (!first_row)
            crossings(PB[1], FB[1], [&](int l, float L) { add(l, {FX[1], YY - fraction(F[1], P[1], L) * DY, Kind::Boundary}); });
        for (int k = 2; k <= NFX; ++k) {
            auto kk = static_cast<std::size_t>(k);
            // Kept off the fine points, so no crossing along x shares an x
            // with a crossing along y.
            crossings(FB[kk - 1], FB[kk], [&](int l, float L) {
                add(l, {FX[kk] - (0.001f + 0.998f * fraction(F[kk], F[kk - 1], L)) * DX, YY, along_x});
            });
            if (first_row) continue;
            const Kind kind = k == NFX ? Kind::Boundary : Kind::AlongY;
            crossings(PB[kk], FB[kk], [&](int l, float L) { add(l, {FX[kk], YY - fraction(F[kk], P[kk], L) * DY, kind}); });
        }
    }

    // The same where the row or the one before holds points without a value:
    // each crossing goes with its run of defined cells.
    void collect_around_holes(float YY, bool first_row, bool last_row) {
        std::vector<int>& run = T.run_of_cell;
        for (int c = 2; c <= NFX; ++c) {
            auto kc = static_cast<std::size_t>(c);
            const bool defined = !first_row && PB[kc - 1] >= 0 && PB[kc] >= 0 && FB[kc - 1] >= 0 && FB[kc] >= 0;
            run[kc] = !defined ? 0 : (c > 2 && run[kc - 1] != 0 ? run[kc - 1] : c);
        }
        auto along_y = [&](int k) {
            auto kk = static_cast<std::size_t>(k);
            const int a = PB[kk], b = FB[kk];
            if (a < 0 || b < 0 || a == b) return;
            const bool left = k >= 2 && run[kk] != 0, right = k < NFX && run[kk + 1] != 0;
            if (!left && !right) return;
            const Kind kind = left && right ? Kind::AlongY : Kind::Boundary;
            const int owner = left ? run[kk] : run[kk + 1];
            crossings(a, b, [&](int l, float L) { add(l, {FX[kk], YY - fraction(F[kk], P[kk], L) * DY, kind, owner}); });
        };
        if (!first_row) along_y(1);
        for (int k = 2; k <= NFX; ++k) {
            auto kk = static_cast<std::size_t>(k);
            const int a = FB[kk - 1], b = FB[kk];
            const int owner = first_row ? 1 : run[kk];
            // A line cannot start on the last row above a hole: it has nowhere to go.
            if (a >= 0 && b >= 0 && a != b && !(last_row && owner == 0)) {
                const Kind kind = first_row || last_row || owner == 0 ? Kind::Boundary : Kind::AlongX;
                crossings(a, b, [&](int l, float L) {
                    add(l, {FX[kk] - (0.001f + 0.998f * fraction(F[kk], F[kk - 1], L)) * DX, YY, kind, owner});
                });
            }
            if (!first_row) along_y(k);
        }
    }

    // First fine row: grid row 1; every crossing is a boundary end.
    void first_row() {
        for (int i = 1; i <= NNX; ++i) S[static_cast<std::size_t>(i)] = Z(i, 1);
        refine_row();
        if (F_holes) collect_around_holes(1.0f, true, false);
        else collect(1.0f, true, false);
        for (std::size_t l = 0; l < T.fresh.size(); ++l) {
            T.walking = static_cast<int>(l);
            for (const Crossing& c : T.fresh[l]) {
                T.make_room(1);
                T.ends[l].push_back(T.single(c, true));
            }
            T.fresh[l].clear();
        }
        T.walking = -1;
    }

    // The fine rows from grid row IY-1 up to grid row IY.
    void rows_up_to(int IY) {
        const bool first = IY == 2, last = IY == NNY;
        for (int i = 1; i <= NNX; ++i) {
            float p = first ? 0.0f : Z(i, IY - 2), q = Z(i, IY - 1), r = Z(i, IY);
            float s = last ? 0.0f : Z(i, IY + 1);
            CY[static_cast<std::size_t>(i)] = coefficients(p, q, r, s, first, last);
        }
        for (int m = 1; m <= MMY; ++m) {
            P.swap(F);
            PB.swap(FB);
            P_holes = F_holes;
            float t = static_cast<float>(m) * DY;
            for (int i = 1; i <= NNX; ++i)
                S[static_cast<std::size_t>(i)] =
                    evaluate(CY[static_cast<std::size_t>(i)], Z(i, IY - 1), Z(i, IY), t, m == MMY, cap);
            refine_row();
            float YY = m == MMY ? static_cast<float>(IY) : static_cast<float>(IY - 1) + t;
            T.holes = F_holes || P_holes;
            if (T.holes) collect_around_holes(YY, false, last && m == MMY);
            else collect(YY, false, last && m == MMY);
            for (std::size_t l = 0; l < T.fresh.size(); ++l) {
                T.walk(static_cast<int>(l));
                T.fresh[l].clear();
            }
        }
        T.holes = false;
    }
};

}  // namespace

TracerPool trace_isolines(const platform::Field2D<float>& Z, int NNX, int NNY, int MMX, int MMY,
                          std::span<const float> AR, int NNA, bool NOSCUT, const LineSink& sink) {
    MMX = std::max(MMX, 1);
    MMY = std::max(MMY, 1);
    if (NNX > Z.n1() || NNY > Z.n2()) velin::VLERROR("ISOKOR-F-Feld kleiner als angegeben");
    if (!check_dimensions(NNX, NNY, MMX, MMY)) return {};
    NNA = std::clamp(NNA, 0, static_cast<int>(AR.size()));

    Tracer T(sink);
    T.XPLOT.assign(NMAX, 0.0f);
    T.YPLOT.assign(NMAX, 0.0f);
    // Levels ascending; equal levels keep their given order.
    for (int i = 0; i < NNA; ++i) {
        float v = AR[static_cast<std::size_t>(i)];
        std::size_t at = T.lev.size();
        while (at > 0 && T.lev[at - 1] > v) --at;
        T.lev.insert(T.lev.begin() + static_cast<std::ptrdiff_t>(at), v);
        T.pos.insert(T.pos.begin() + static_cast<std::ptrdiff_t>(at), i + 1);
    }
    T.ends.assign(static_cast<std::size_t>(NNA), {});
    T.fresh.assign(static_cast<std::size_t>(NNA), {});
    T.reset_pool(NNA);
    if (NNA == 0) return T.pool();

    FineSweep sweep(T, Z, NNX, NNY, MMX, MMY, !NOSCUT);
    sweep.first_row();
    for (int IY = 2; IY <= NNY; ++IY) sweep.rows_up_to(IY);
    // Every end of the last row lies on the boundary, so nothing is left;
    // should anything be, it is output as it stands.
    for (int l = 0; l < NNA; ++l) {
        std::vector<int> left;
        left.swap(T.ends[static_cast<std::size_t>(l)]);
        for (int e : left) {
            Entry a;
            a.node = e;
            T.end_on_boundary(l, a);
        }
    }
    return T.pool();
}

void ISOKOR(const platform::Field2D<float>& Z, int NNX, int NNY, int MMX, int MMY, std::span<const float> AR, int NNA,
            bool NOSCUT) {
    const LineSink draw = [](std::span<float> X, std::span<float> Y, int N, int L) { ISOCRV(X, Y, N, L); };
    trace_isolines(Z, NNX, NNY, MMX, MMY, AR, NNA, NOSCUT, draw);
}

}  // namespace contour
