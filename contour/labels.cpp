// Isoline labels. On the line, a label stands in a gap of the line: the gap
// is found where the line is nearly straight over the label's length (path at
// most 1.4 times the chord), or centred at a given point; the number is
// turned to the chord and always reads from left to right. At the margin,
// the number stands beside the end of an open line, outside the plot.
//
// Gap geometry, page millimetres: B is the end of the gap with the smaller x
// (the lower one when the gap is vertical), O the other end, ZL = |B - O|,
// t = (O - B)/ZL, m = t turned by +90 degrees, V = 0.5 (ZL - XL) + margin
// (XL is the text width plus a margin at each end). The text starts at
// B + V t - HZH m at the angle atan(ty/tx): centred in the gap and on the
// line. A label takes a place only where its box (the text with a little
// clearance) keeps clear of other labels, obstacles, the legend and the
// frame; else it moves on along its line.
#include <algorithm>
#include <cmath>
#include <vector>

#include "contour/internal.h"
#include "contour/isolines.h"
#include "velin/velin.h"

namespace contour {

namespace {

constexpr float kDegrees = 57.29578f;
constexpr float kStraight = 1.4f;  // path / chord up to which a stretch takes a label

// Integers are written only while they fit; larger values in exponent form.
bool as_integer(float value, int IFRMT) { return IFRMT == 0 && std::fabs(value) < 2.0e9f; }

int nearest(float value) { return static_cast<int>(std::lround(value)); }

// The clearance around a label's text, in label heights.
constexpr float kClearance = 0.2f;

// The gap A..E on the page: its base point B (the end with the smaller x, the
// lower one when the gap is vertical), the unit direction t from B to the
// other end, and the chord length ZL.
struct Gap {
    float bx, by, tx, ty, ZL;
};

bool gap_of(std::span<const float> X, std::span<const float> Y, int A, int E, Gap& g) {
    auto ka = static_cast<std::size_t>(A - 1), ke = static_cast<std::size_t>(E - 1);
    float ax = velin::XPOSN(X[ka], Y[ka]), ay = velin::YPOSN(X[ka], Y[ka]);
    float ex = velin::XPOSN(X[ke], Y[ke]), ey = velin::YPOSN(X[ke], Y[ke]);
    bool a_is_base = ax < ex || (ax == ex && ay <= ey);
    g.bx = a_is_base ? ax : ex;
    g.by = a_is_base ? ay : ey;
    float dx = a_is_base ? ex - ax : ax - ex, dy = a_is_base ? ey - ay : ay - ey;
    g.ZL = std::hypot(dx, dy);
    if (!(g.ZL > 0.0f)) return false;
    g.tx = dx / g.ZL;
    g.ty = dy / g.ZL;
    return true;
}

// The text stands centred in the gap, on the line.
detail::LabelBox box_of(const Gap& g) {
    const detail::CurveBlock& b = detail::curve_block();
    const float clearance = kClearance * 2.0f * b.HZH;
    const float width = b.XL - 2.0f * b.margin;
    return {g.bx + 0.5f * g.ZL * g.tx, g.by + 0.5f * g.ZL * g.ty, g.tx, g.ty, 0.5f * width + clearance,
            b.HZH + clearance};
}

// Draws the line up to the gap's first point A, writes the label into the
// gap A..E and lets the drawing go on from E.
void place_gap(std::span<const float> X, std::span<const float> Y, int A, int E) {
    const IsolineSettings& s = settings();
    detail::CurveBlock& b = detail::curve_block();
    detail::draw_points(X, Y, b.ISTRT, A);
    b.ISTRT = E;
    Gap g;
    if (!gap_of(X, Y, A, E, g)) return;
    float angle = g.tx == 0.0f ? 90.0f : std::atan(g.ty / g.tx) * kDegrees;
    // The text starts half the free length from the base; its baseline lies
    // half the label height below the line.
    float V = 0.5f * (g.ZL - b.XL) + b.margin;
    float x = g.bx + V * g.tx + b.HZH * g.ty;
    float y = g.by + V * g.ty - b.HZH * g.tx;
    velin::ANGLE(angle);
    detail::write_label(b.WL_VAL, s.IFRMT, x, y);
    velin::ANGLE(0.0f);
    detail::add_placed_label(box_of(g));
}

// The gap centred at point C, widened a point on each side at a time until
// its chord reaches XL; false when the whole line is too short.
bool centred_gap(std::span<const float> X, std::span<const float> Y, int N, int C, int& A, int& E) {
    float XL = detail::curve_block().XL;
    A = E = C;
    while (detail::page_distance(X, Y, A, E) < XL) {
        if (A == 1 && E == N) return false;
        A = std::max(A - 1, 1);
        E = std::min(E + 1, N);
    }
    return true;
}

}  // namespace

void NUMOD(int IW, std::span<const float> X, std::span<const float> Y, int N, int& IBANF, int& IBEND) {
    const IsolineSettings& s = settings();
    detail::CurveBlock& b = detail::curve_block();
    N = std::min({N, static_cast<int>(X.size()), static_cast<int>(Y.size())});
    if (N < 2) return;
    if (IW == 2) {
        int A = 0, E = 0;
        if (!centred_gap(X, Y, N, std::clamp(IBEND, 1, N), A, E)) return;
        place_gap(X, Y, A, E);
        IBANF = A;
        IBEND = E;
        return;
    }
    int start = std::clamp(IBANF, 1, N);
    bool blocked = false;
    while (true) {
        float path = 0.0f;
        int i = start + 1;
        bool straight = false, long_enough = false;
        for (; i <= N; ++i) {
            path += detail::page_distance(X, Y, i - 1, i);
            float chord = detail::page_distance(X, Y, start, i);
            if (chord >= b.XL) {
                long_enough = true;
                straight = path <= kStraight * chord;
                break;
            }
        }
        Gap g;
        if (straight && gap_of(X, Y, start, i, g) && detail::label_fits(box_of(g))) {
            place_gap(X, Y, start, i);
            IBANF = start;
            IBEND = i;
            return;
        }
        if (!long_enough) break;
        blocked = blocked || straight;
        // A straight stretch where the label would cover another label, an
        // obstacle, the legend or the frame: the label moves on along its line.
        int again = std::min(straight ? start + 1 : i + 5, N - 2);
        if (again <= start) break;
        start = again;
    }
    if (s.LEV >= 2)
        velin::write_message(blocked ? " NUMOD_1-W-kein freier Platz für die Beschriftung"
                                     : " NUMOD_1-W-Krümmung für Beschriftung zu groß !");
    // No gap: the line is drawn on from where it stands, as one piece.
    IBANF = IBEND = b.ISTRT;
}

float USRANG(float& XP, float& YP, float XR, float YO) {
    float angle = 0.5f * (XP + XR);
    if (angle > 90.0f && angle < 270.0f) {
        angle += 180.0f;
        XP = XR;
        YP = YO;
    }
    return angle;
}

namespace detail {

void write_label(float value, int IFRMT, float X, float Y) {
    if (as_integer(value, IFRMT)) velin::INTNO(nearest(value), X, Y);
    else velin::REALNO(value, IFRMT == 0 ? -3 : IFRMT, X, Y);
}

float label_width(float value, int IFRMT) {
    if (as_integer(value, IFRMT)) return velin::XINT(nearest(value));
    return velin::XREAL(value, IFRMT == 0 ? -3 : IFRMT);
}

void label_fixed_positions(std::span<const float> X, std::span<const float> Y, int N) {
    const IsolineSettings& s = settings();
    // Every crossing of an inside position, by the first point beyond it.
    std::vector<int> at;
    auto gather = [&](std::span<const float> C, const auto& positions, int count, float low, float high) {
        for (int p = 0; p < count; ++p) {
            float pos = positions[static_cast<std::size_t>(p)];
            if (pos < low || pos > high) continue;
            for (int k = 2; k <= N; ++k)
                if ((C[static_cast<std::size_t>(k) - 2] > pos) != (C[static_cast<std::size_t>(k) - 1] > pos)) at.push_back(k);
        }
    };
    gather(X, s.XPOS, s.NPOSX, first_x(s), s.XEND);
    gather(Y, s.YPOS, s.NPOSY, first_y(s), s.YEND);
    std::stable_sort(at.begin(), at.end());
    std::vector<std::pair<int, int>> gaps;
    int last_end = 1;
    for (int c : at) {
        int A = 0, E = 0;
        if (!centred_gap(X, Y, N, c, A, E) || A < last_end) continue;
        gaps.emplace_back(A, E);
        last_end = E;
    }
    for (auto [A, E] : gaps) place_gap(X, Y, A, E);
}

void label_margin(float XP, float YP, int MASK) {
    const IsolineSettings& s = settings();
    const CurveBlock& b = curve_block();
    float ux = user_per_mm_x(s), uy = user_per_mm_y(s);
    // The text with half a label height each side.
    const float XL = b.XL - 2.0f * b.margin + 2.0f * b.HZH;
    float dx = 0.0f, dy = 0.0f;
    for (int side : {1, 2, 4, 8}) {
        if (!(MASK & side)) continue;
        float angle = 0.0f;
        switch (side) {
            case 1: dx -= XL + b.HZH; dy -= b.HZH; break;
            case 2: dx += b.HZH; dy -= b.HZH; break;
            // Upright text turned by 90 degrees grows towards -x: shifted by
            // half its height, it stands centred on the line's end.
            case 4: dy -= XL + b.HZH; dx += b.HZH; angle = 90.0f; break;
            case 8: dy += b.HZH; dx += b.HZH; angle = 90.0f; break;
        }
        float xp = XP + dx * ux, yp = YP + dy * uy;
        if (s.UANG) {
            float xr = side <= 2 ? xp + XL * ux : xp - s.ZH * ux;
            angle = USRANG(xp, yp, xr, yp);
        }
        velin::ANGLE(angle);
        if (as_integer(b.WL_VAL, s.IFRMT)) velin::RLINT(nearest(b.WL_VAL), xp, yp);
        else velin::RLREAL(b.WL_VAL, s.IFRMT == 0 ? -3 : s.IFRMT, xp, yp);
        velin::ANGLE(0.0f);
    }
}

}  // namespace detail

}  // namespace contour
