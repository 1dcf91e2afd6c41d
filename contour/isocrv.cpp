// ISOCRV draws one traced isoline: grid indices to user units (equidistant
// or variable grid), the length on the page, the level's attributes, the
// labels on the line or at the margin, and the restore of what it set.
#include <algorithm>
#include <cmath>
#include <vector>

#include "contour/internal.h"
#include "contour/isolines.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace contour {

namespace {

using platform::fixed;
using platform::integer;

// The gap between a patterned line and its label, in label heights: more
// than the longest gap of the dashed pattern (1.5 mm) at 1.25 mm labels.
constexpr float kPatternMargin = 1.5f;

// A grid index on an equidistant or a variable grid.
float to_user(float index, bool equidistant, float start, float step, const std::vector<float>& grid,
              const std::vector<float>& diff) {
    if (equidistant || grid.size() < 2) return start + step * index;
    double xx = static_cast<double>(index) + 0.000001;
    // The last point belongs to the last interval.
    int i = std::clamp(static_cast<int>(std::trunc(xx)), 1, static_cast<int>(grid.size()) - 1);
    auto k = static_cast<std::size_t>(i - 1);
    return static_cast<float>(grid[k] + (xx - i) * diff[k]);
}

double rounded6(float v) { return std::nearbyint(static_cast<double>(v) * 1.0e6) / 1.0e6; }

int side_mask(const IsolineSettings& s, double x, double y) {
    int mask = 0;
    if (std::fabs(x - detail::first_x(s)) <= 0.001) mask |= 1;
    if (std::fabs(x - s.XEND) <= 0.001) mask |= 2;
    if (std::fabs(y - detail::first_y(s)) <= 0.001) mask |= 4;
    if (std::fabs(y - s.YEND) <= 0.001) mask |= 8;
    return mask;
}

std::string coordinate(double v) { return fixed(v, 11, 3); }

}  // namespace

namespace detail {

CurveBlock& curve_block() {
    static CurveBlock block;
    return block;
}

float grid_to_user_x(const IsolineSettings& s, float x) { return to_user(x, s.EQX, s.XANF, s.XSTP, s.XGRD, s.DXI); }
float grid_to_user_y(const IsolineSettings& s, float y) { return to_user(y, s.EQY, s.YANF, s.YSTP, s.YGRD, s.DYI); }

float user_per_mm_x(const IsolineSettings& s) {
    if (s.EQX && s.XSTP > 0.0f && s.AI > 0.0f) return s.XSTP / s.AI;
    return velin::XINVRS(1.0f, 0.0f) - velin::XINVRS(0.0f, 0.0f);
}

float user_per_mm_y(const IsolineSettings& s) {
    if (s.EQY && s.YSTP > 0.0f && s.AJ > 0.0f) return s.YSTP / s.AJ;
    return velin::YINVRS(0.0f, 1.0f) - velin::YINVRS(0.0f, 0.0f);
}

void draw_points(std::span<const float> X, std::span<const float> Y, int FROM, int TO) {
    if (TO <= FROM) return;
    auto k = static_cast<std::size_t>(FROM - 1);
    velin::CURVE(X.subspan(k), Y.subspan(k), TO - FROM + 1, 0);
}

float page_distance(std::span<const float> X, std::span<const float> Y, int I, int J) {
    auto i = static_cast<std::size_t>(I - 1), j = static_cast<std::size_t>(J - 1);
    return std::hypot(velin::XPOSN(X[j], Y[j]) - velin::XPOSN(X[i], Y[i]),
                      velin::YPOSN(X[j], Y[j]) - velin::YPOSN(X[i], Y[i]));
}

}  // namespace detail

namespace {

// The line style of a level's mode: 0 the coded pattern of RAT (true when
// one was set), 1 solid, 2 dashed, 3 dotted.
bool set_line_style(const IsolineSettings& s, int mode) {
    if (mode == 0 && s.RAT[0] > 0.0f) {
        // The coded pattern: mark and skip lengths in the given ratios.
        int n = std::clamp(static_cast<int>(s.RAT[1]), 0, 8);
        float sum = 0.0f;
        for (int i = 0; i < n; ++i) sum += s.RAT[static_cast<std::size_t>(i) + 2];
        if (n > 0 && sum > 0.0f) {
            std::vector<float> lengths(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                lengths[static_cast<std::size_t>(i)] = s.RAT[0] * s.RAT[static_cast<std::size_t>(i) + 2] / sum;
            velin::MRSCOD(lengths, n);
            return true;
        }
    } else if (mode == 1) {
        if (velin::plot_state().s.line_style != 0) velin::RESET("DASH");
    } else if (mode == 2) {
        velin::DASH();
    } else if (mode == 3) {
        velin::DOT();
    }
    return false;
}

// Up to `wanted` labels spread evenly along the line (page mm), each where
// NUMOD finds room for it.
void label_spaced(std::span<const float> XC, std::span<const float> YC, int N, int wanted) {
    const detail::CurveBlock& b = detail::curve_block();
    float GL2 = b.GL / static_cast<float>(wanted + 1) - b.XL;
    if (GL2 < 0.0f) GL2 = 0.5f * (b.GL - b.XL);
    float run = 0.0f;
    int placed = 0;
    bool tried = false;
    int i = b.ISTRT + 1;
    while (i <= N && placed < wanted) {
        run += detail::page_distance(XC, YC, i - 1, i);
        // No label within the last 10 points.
        if (run >= GL2 && i < N - 10) {
            tried = true;
            int IBANF = i - 1, IBEND = i - 1;
            NUMOD(1, XC, YC, N, IBANF, IBEND);
            if (IBEND > IBANF) {
                ++placed;
                // The spacing counts from the beginning of this label.
                run = 0.0f;
                for (int k = IBANF + 1; k <= IBEND; ++k) run += detail::page_distance(XC, YC, k - 1, k);
                i = b.ISTRT + 1;
            } else {
                run = 0.0f;
                i = std::max(i, b.ISTRT) + 1;
            }
            continue;
        }
        ++i;
    }
    // A label kept from the second half of its line by what it must not
    // cover may find room in the first.
    if (tried && placed == 0) {
        int IBANF = 1, IBEND = 1;
        NUMOD(1, XC, YC, N, IBANF, IBEND);
    }
}

}  // namespace

void ISOCRV(std::span<float> X, std::span<float> Y, int N, int L) {
    IsolineSettings& s = settings();
    detail::CurveBlock& b = detail::curve_block();
    N = std::min({N, static_cast<int>(X.size()), static_cast<int>(Y.size())});
    if (N < 1 || L < 1 || L > std::min(s.NISA, static_cast<int>(s.WL_ACT.size()))) return;
    const float value = s.WL_ACT[static_cast<std::size_t>(L) - 1];
    const LineAttributes a = s.LINMODA[static_cast<std::size_t>(L) - 1];
    b.ISTRT = 1;
    for (int i = 0; i < N; ++i) {
        auto k = static_cast<std::size_t>(i);
        X[k] = detail::grid_to_user_x(s, X[k]);
        Y[k] = detail::grid_to_user_y(s, Y[k]);
    }
    std::span<const float> XC = X, YC = Y;

    double xa = rounded6(X[0]), ya = rounded6(Y[0]);
    double xe = rounded6(X[static_cast<std::size_t>(N) - 1]), ye = rounded6(Y[static_cast<std::size_t>(N) - 1]);
    bool open = std::fabs(xa - xe) >= 0.000001 || std::fabs(ya - ye) >= 0.000001;
    int start_sides = open ? side_mask(s, xa, ya) : 0;
    int end_sides = open ? side_mask(s, xe, ye) : 0;

    ++s.NDRAWN;
    if (s.LEV >= 2)
        velin::write_message(" ##" + integer(s.NDRAWN, 5) + fixed(value, 12, 4) + integer(N, 7) + coordinate(xa) +
                             coordinate(ya) + coordinate(xe) + coordinate(ye));

    b.GL = 0.0f;
    for (int i = 2; i <= N; ++i) b.GL += detail::page_distance(XC, YC, i - 1, i);
    float distance = detail::page_distance(XC, YC, 1, N);
    if (s.LEV >= 2)
        velin::write_message(" ##   Linienlänge: .__." + fixed(b.GL, 10, 2) + "...." + fixed(distance, 10, 2));
    if (b.GL < s.ALMIN) return;

    // The level's attributes.
    bool pen = a.L_COL > 0;
    if (pen) velin::SELPEN(a.L_COL);
    int mode = a.L_MOD >= 0 && a.L_MOD <= 3 ? a.L_MOD : 1;
    const bool pattern = set_line_style(s, mode);
    float thickness = s.FA * static_cast<float>(a.L_THK);
    if (thickness > 0.0f) velin::THKCRV(thickness);

    // Labels need a height to be written with.
    bool labelled = a.L_NUM > 0 && s.ZH > 0.0f;
    if (labelled) {
        b.WL_VAL = value;
        b.HZH = 0.5f * s.ZH;
        // On a dashed, dotted or coded line the text keeps further from the
        // line than the pattern's own gaps, so that a minus sign cannot pass
        // for one of its dashes.
        b.margin = pattern || mode == 2 || mode == 3 ? kPatternMargin * s.ZH : b.HZH;
        b.XL = detail::label_width(value, s.IFRMT) + 2.0f * b.margin;
        if (start_sides & s.LRAND) detail::label_margin(X[0], Y[0], start_sides & s.LRAND);
        if (s.NPOSX + s.NPOSY > 0) {
            if (s.MITTE > 0) detail::label_fixed_positions(XC, YC, N);
        } else if (b.GL >= std::max(b.XL * static_cast<float>(a.L_NUM + 1), s.GLKRIT)) {
            label_spaced(XC, YC, N, a.L_NUM);
        }
    }
    detail::draw_points(XC, YC, b.ISTRT, N);
    if (labelled && (end_sides & s.LRAND))
        detail::label_margin(X[static_cast<std::size_t>(N) - 1], Y[static_cast<std::size_t>(N) - 1], end_sides & s.LRAND);

    // Restore what this line set.
    velin::ANGLE(0.0f);
    if (pattern) velin::RESET("MRSCOD");
    else if (mode == 2) velin::RESET("DASH");
    else if (mode == 3) velin::RESET("DOT");
    if (thickness > 0.0f) velin::RESET("THKCRV");
    if (pen) velin::SELPEN(1);
}

}  // namespace contour
