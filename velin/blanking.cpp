// Blanking areas: rectangles and circles on the page (mm) inside which no
// line is drawn. Every pen-down step of PENDN and DOCRV passes through RRINBL
// while the graph has areas.
//
// A segment P0 -> P1 is tested against the active areas in the order of
// their definition. Against one area it has an entry point E (P0, or P0 moved
// along the segment onto the border) and an exit point F (P1, or P1 moved
// onto the border); a point on the border counts as outside. With the
// tolerance of 0.01 mm:
//   E and F agree, both ends outside     the segment only grazes the area: unchanged
//   no part before E and none after F    hidden
//   a part before E only                 the end becomes E
//   a part after F only                  the start becomes F
//   both parts                           F -> P1 waits on the stack for the
//                                        areas after this one; the end becomes E
// What survives all areas is drawn; then the pieces on the stack are taken
// in turn, each from the area after the one that split it. A piece that does
// not start where the pen stands begins with a pen-up move.
#include <algorithm>
#include <cmath>
#include <vector>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

// Entry and exit points closer than this are one point.
constexpr float TOLERANCE = 0.01f;

int side(float d, float h) { return std::fabs(d) < h ? 0 : (d > 0 ? 1 : -1); }

bool close(float ax, float ay, float bx, float by) {
    return std::fabs(ax - bx) <= TOLERANCE && std::fabs(ay - by) <= TOLERANCE;
}

// Moves p along p-q onto the rectangle's border, the x border first;
// false when the line passes the rectangle.
bool onto_border(float& px, float& py, float qx, float qy, int cx, int cy, const BlankArea& a) {
    double x = px, y = py;
    if (cx != 0) {
        double edge = static_cast<double>(a.cx) + cx * static_cast<double>(a.hx);
        if (qx == px) return false;
        y += (edge - x) / (static_cast<double>(qx) - x) * (static_cast<double>(qy) - y);
        x = edge;
        double d = y - a.cy;
        cy = std::fabs(d) <= a.hy ? 0 : (d > 0 ? 1 : -1);
    }
    if (cy != 0) {
        double edge = static_cast<double>(a.cy) + cy * static_cast<double>(a.hy);
        if (static_cast<double>(qy) == y) return false;
        x += (edge - y) / (static_cast<double>(qy) - y) * (static_cast<double>(qx) - x);
        y = edge;
        if (std::fabs(x - a.cx) > a.hx) return false;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    px = static_cast<float>(x);
    py = static_cast<float>(y);
    return true;
}

// The outcome for area i once entry E and exit F are known; `grazing` tells
// whether both ends lie outside (then E and F are both border points).
int apply_cut(int i, float& x0, float& y0, float& x1, float& y1, float ex, float ey, float fx, float fy,
              bool grazing) {
    Blanking& b = plot_state().blank;
    if (grazing && close(ex, ey, fx, fy)) return BL_PASSES;
    bool before = !close(ex, ey, x0, y0);
    bool after = !close(fx, fy, x1, y1);
    if (!after) {
        if (!before) {
            b.pen_up_pending = true;
            return BL_HIDDEN;
        }
        x1 = ex;
        y1 = ey;
        return BL_END_CUT;
    }
    b.pen_up_pending = true;
    if (!before) {
        x0 = fx;
        y0 = fy;
        return BL_START_MOVED;
    }
    VPUSH(fx, fy, i);
    VPUSH(x1, y1, i);
    x1 = ex;
    y1 = ey;
    return BL_SPLIT;
}

int rectangle_test(int i, const BlankArea& a, float& x0, float& y0, float& x1, float& y1) {
    int cx0 = side(x0 - a.cx, a.hx), cy0 = side(y0 - a.cy, a.hy);
    int cx1 = side(x1 - a.cx, a.hx), cy1 = side(y1 - a.cy, a.hy);
    if ((cx0 != 0 && cx0 == cx1) || (cy0 != 0 && cy0 == cy1)) return BL_PASSES;
    bool out0 = cx0 != 0 || cy0 != 0, out1 = cx1 != 0 || cy1 != 0;
    float ex = x0, ey = y0, fx = x1, fy = y1;
    if (out0 && !onto_border(ex, ey, x1, y1, cx0, cy0, a)) return BL_PASSES;
    if (out1 && !onto_border(fx, fy, x0, y0, cx1, cy1, a)) return BL_PASSES;
    return apply_cut(i, x0, y0, x1, y1, ex, ey, fx, fy, out0 && out1);
}

int circle_test(int i, const BlankArea& a, float& x0, float& y0, float& x1, float& y1) {
    const double r = a.hx;
    // Beyond the circle's bounding square the segment cannot reach it.
    if (std::min(x0, x1) >= a.cx + a.hx || std::max(x0, x1) <= a.cx - a.hx || std::min(y0, y1) >= a.cy + a.hx ||
        std::max(y0, y1) <= a.cy - a.hx)
        return BL_PASSES;
    double dx = static_cast<double>(x1) - x0, dy = static_cast<double>(y1) - y0;
    double px = static_cast<double>(x0) - a.cx, py = static_cast<double>(y0) - a.cy;
    double qa = dx * dx + dy * dy;
    double qb = 2.0 * (px * dx + py * dy);
    double qc = px * px + py * py - r * r;
    if (!(qa > 0.0)) {
        // A dot: hidden when it lies inside.
        return qc < 0.0 ? apply_cut(i, x0, y0, x1, y1, x0, y0, x1, y1, false) : BL_PASSES;
    }
    double disc = qb * qb - 4.0 * qa * qc;
    if (!(disc > 0.0)) return BL_PASSES;  // a tangent touches only the border
    double root = std::sqrt(disc);
    double t1 = (-qb - root) / (2.0 * qa), t2 = (-qb + root) / (2.0 * qa);
    if (t2 <= 0.0 || t1 >= 1.0) return BL_PASSES;
    float ex = x0, ey = y0, fx = x1, fy = y1;
    if (t1 > 0.0) {
        ex = static_cast<float>(x0 + t1 * dx);
        ey = static_cast<float>(y0 + t1 * dy);
    }
    if (t2 < 1.0) {
        fx = static_cast<float>(x0 + t2 * dx);
        fy = static_cast<float>(y0 + t2 * dy);
    }
    return apply_cut(i, x0, y0, x1, y1, ex, ey, fx, fy, t1 > 0.0 && t2 < 1.0);
}

const BlankArea& area(std::string_view routine, int I, bool circle) {
    const PlotState& st = plot_state();
    if (I < 1 || I > st.s.blanking_areas) detail::fail(routine, "ID nicht besetzt");
    const BlankArea& a = st.blank.areas[static_cast<std::size_t>(I - 1)];
    if ((a.hy > 0.0f) == circle) detail::fail(routine, circle ? "kein Kreis" : "kein Rechteck");
    return a;
}

// Appends an area; the table is created with the first one.
int add_area(std::string_view routine, const BlankArea& a) {
    PlotState& st = plot_state();
    if (st.s.blanking_areas >= MAXBLN) detail::fail(routine, "MAXBLN zu klein");
    if (st.blank.areas.empty()) {
        st.blank.areas.resize(MAXBLN);
        st.blank.stack.reserve(BLNK_STACK_SIZE);
    }
    st.blank.areas[static_cast<std::size_t>(st.s.blanking_areas)] = a;
    st.s.blanking_areas += 1;
    return st.s.blanking_areas;
}

bool finite(std::initializer_list<float> values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

}  // namespace

namespace detail {

namespace {

// Sutherland-Hodgman against the half-plane sign * (coordinate - edge) >= 0.
Contour clip_half_plane(const Contour& k, bool along_x, float edge, float sign) {
    Contour out;
    const std::size_t n = k.x.size();
    auto inside = [&](std::size_t i) { return sign * ((along_x ? k.x[i] : k.y[i]) - edge) >= 0.0f; };
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        const bool in_i = inside(i), in_j = inside(j);
        if (in_i) {
            out.x.push_back(k.x[i]);
            out.y.push_back(k.y[i]);
        }
        if (in_i != in_j) {
            const float ci = along_x ? k.x[i] : k.y[i], cj = along_x ? k.x[j] : k.y[j];
            const float t = (edge - ci) / (cj - ci);
            out.x.push_back(along_x ? edge : k.x[i] + t * (k.x[j] - k.x[i]));
            out.y.push_back(along_x ? k.y[i] + t * (k.y[j] - k.y[i]) : edge);
        }
    }
    return out;
}

struct Box {
    float x0, x1, y0, y1;
};

Box box_of(std::span<const Contour> contours) {
    Box b{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (const auto& k : contours)
        for (std::size_t i = 0; i < k.x.size(); ++i) {
            b.x0 = std::min(b.x0, k.x[i]);
            b.x1 = std::max(b.x1, k.x[i]);
            b.y0 = std::min(b.y0, k.y[i]);
            b.y1 = std::max(b.y1, k.y[i]);
        }
    return b;
}

// More pieces than this: the rest of the areas no longer cut the fill.
constexpr std::size_t MAX_FILL_PIECES = 10000;

}  // namespace

std::vector<std::vector<Contour>> outside_blanking(std::span<const Contour> contours) {
    const PlotState& st = plot_state();
    std::vector<std::vector<Contour>> groups{{contours.begin(), contours.end()}};
    const int count = std::min(st.s.blanking_areas, static_cast<int>(st.blank.areas.size()));
    for (int i = 0; i < count && groups.size() < MAX_FILL_PIECES; ++i) {
        const BlankArea& a = st.blank.areas[static_cast<std::size_t>(i)];
        if (!a.active || !(a.hy > 0.0f)) continue;
        const Box r{a.cx - a.hx, a.cx + a.hx, a.cy - a.hy, a.cy + a.hy};
        std::vector<std::vector<Contour>> next;
        for (auto& g : groups) {
            const Box b = box_of(g);
            if (b.x1 <= r.x0 || b.x0 >= r.x1 || b.y1 <= r.y0 || b.y0 >= r.y1) {
                next.push_back(std::move(g));
                continue;
            }
            if (b.x0 >= r.x0 && b.x1 <= r.x1 && b.y0 >= r.y0 && b.y1 <= r.y1) continue;  // wholly hidden
            // What lies left of, right of, below and above the rectangle.
            for (int part = 0; part < 4; ++part) {
                std::vector<Contour> piece;
                for (const Contour& k : g) {
                    Contour c = part == 0 ? clip_half_plane(k, true, r.x0, -1.0f)
                              : part == 1 ? clip_half_plane(k, true, r.x1, 1.0f)
                                          : clip_half_plane(clip_half_plane(k, true, r.x0, 1.0f), true, r.x1, -1.0f);
                    if (part == 2) c = clip_half_plane(c, false, r.y0, -1.0f);
                    if (part == 3) c = clip_half_plane(c, false, r.y1, 1.0f);
                    if (c.x.size() >= 3) piece.push_back(std::move(c));
                }
                if (!piece.empty()) next.push_back(std::move(piece));
            }
        }
        groups = std::move(next);
    }
    return groups;
}

bool blanking_overlaps(float x0, float x1, float y0, float y1) {
    const PlotState& st = plot_state();
    const int count = std::min(st.s.blanking_areas, static_cast<int>(st.blank.areas.size()));
    for (int i = 0; i < count; ++i) {
        const BlankArea& a = st.blank.areas[static_cast<std::size_t>(i)];
        if (a.active && a.hy > 0.0f && std::max(x0, x1) > a.cx - a.hx && std::min(x0, x1) < a.cx + a.hx &&
            std::max(y0, y1) > a.cy - a.hy && std::min(y0, y1) < a.cy + a.hy)
            return true;
    }
    return false;
}

void clear_blanking() {
    PlotState& st = plot_state();
    st.s.blanking_areas = 0;
    st.blank.stack.clear();
    st.blank.pen_up_pending = false;
}

}  // namespace detail

void BLREC(float X, float Y, float DX, float DY, float THK) {
    constexpr char ROUTINE[] = "BLREC";
    PlotState& st = plot_state();
    if (st.s.blanking_areas >= MAXBLN) detail::fail(ROUTINE, "MAXBLN zu klein");
    if (!(DX > 0.0f) || !(DY > 0.0f) || !finite({X, Y, DX, DY})) detail::fail(ROUTINE, "Abmessungen prüfen");
    // The frame is drawn before the area exists, or it would blank itself.
    if (THK > 0.0f) RRWIND(X, X + DX, Y, Y + DY, THK);
    int n = add_area(ROUTINE, {X + 0.5f * DX, Y + 0.5f * DY, 0.5f * DX, 0.5f * DY, true});
    if (st.debug)
        VLERROR("BLREC-I-Bereich" + detail::fmt_int(n, 5) + detail::fmt_fixed(X, 10, 2) + detail::fmt_fixed(Y, 10, 2) +
                detail::fmt_fixed(X + DX, 10, 2) + detail::fmt_fixed(Y + DY, 10, 2));
}

void BLCIRC(float X, float Y, float R, float THK) {
    constexpr char ROUTINE[] = "BLCIRC";
    PlotState& st = plot_state();
    if (st.s.blanking_areas >= MAXBLN) detail::fail(ROUTINE, "MAXBLN zu klein");
    if (!(R > 0.0f) || !finite({X, Y, R})) detail::fail(ROUTINE, "Abmessungen prüfen");
    if (THK > 0.0f) {
        // The outline with the given thickness, as BLREC draws its frame.
        float saved = st.s.curve_thickness;
        THKCRV(THK);
        CIRCLE(X, Y, R, 0);
        st.s.curve_thickness = saved;
    }
    int n = add_area(ROUTINE, {X, Y, R, 0.0f, true});
    if (st.debug)
        VLERROR("BLCIRC-I-Bereich" + detail::fmt_int(n, 5) + detail::fmt_fixed(X, 10, 2) +
                detail::fmt_fixed(Y, 10, 2) + detail::fmt_fixed(R, 10, 2));
}

void BLKEY(int& ID) { ID = plot_state().s.blanking_areas; }

void BLON(int ID) {
    PlotState& st = plot_state();
    if (ID < 1 || ID > st.s.blanking_areas) detail::fail("BLON", "ID nicht besetzt");
    st.blank.areas[static_cast<std::size_t>(ID - 1)].active = true;
}

void BLOFF(int ID) {
    PlotState& st = plot_state();
    if (ID < 1 || ID > st.s.blanking_areas) detail::fail("BLOFF", "ID nicht besetzt");
    st.blank.areas[static_cast<std::size_t>(ID - 1)].active = false;
}

int BLRCHK(int I, float& X0, float& Y0, float& X1, float& Y1) {
    return rectangle_test(I, area("BLRCHK", I, false), X0, Y0, X1, Y1);
}

int BLCCHK(int I, float& X0, float& Y0, float& X1, float& Y1) {
    return circle_test(I, area("BLCCHK", I, true), X0, Y0, X1, Y1);
}

void VPUSH(float X, float Y, int K) {
    Blanking& b = plot_state().blank;
    if (static_cast<int>(b.stack.size()) >= BLNK_STACK_SIZE) detail::fail("VPUSH", "BLNK_STACK-limit exceeded");
    // The piece continues with the area after the one that split it.
    b.stack.push_back({X, Y, K + 1});
}

void VPOP(float& X, float& Y, int& K) {
    Blanking& b = plot_state().blank;
    if (b.stack.empty()) detail::fail("VPOP", "BLNK_STACK-underflow");
    const BlankStackEntry& e = b.stack.back();
    X = e.x;
    Y = e.y;
    K = e.k;
    b.stack.pop_back();
}

void RRINBL(float X, float Y) {
    PlotState& st = plot_state();
    Blanking& b = st.blank;
    const int count = std::min(st.s.blanking_areas, static_cast<int>(b.areas.size()));
    float x0 = st.cur_x, y0 = st.cur_y, x1 = X, y1 = Y;
    int k = 1;
    bool at_end = false;  // the last piece drawn ends at (X, Y)
    b.stack.clear();
    for (;;) {
        bool hidden = false;
        for (int i = k; i <= count; ++i) {
            const BlankArea& a = b.areas[static_cast<std::size_t>(i - 1)];
            if (!a.active) continue;
            if (a.hy > 0.0f) {
                // Both ends beyond one side, as the full test would find first.
                float dx0 = x0 - a.cx, dx1 = x1 - a.cx, dy0 = y0 - a.cy, dy1 = y1 - a.cy;
                if ((dx0 >= a.hx && dx1 >= a.hx) || (dx0 <= -a.hx && dx1 <= -a.hx) || (dy0 >= a.hy && dy1 >= a.hy) ||
                    (dy0 <= -a.hy && dy1 <= -a.hy))
                    continue;
            }
            int outcome = a.hy > 0.0f ? rectangle_test(i, a, x0, y0, x1, y1) : circle_test(i, a, x0, y0, x1, y1);
            if (outcome == BL_HIDDEN) {
                hidden = true;
                break;
            }
        }
        if (!hidden) {
            if (b.pen_up_pending) STRTPT(x0, y0);
            CONNPT(x1, y1);
            b.pen_up_pending = false;
            at_end = x1 == X && y1 == Y;
        }
        if (b.stack.empty()) break;
        VPOP(x1, y1, k);
        VPOP(x0, y0, k);
        b.pen_up_pending = true;
    }
    st.cur_x = X;
    st.cur_y = Y;
    b.pen_up_pending = !at_end;
}

}  // namespace velin
