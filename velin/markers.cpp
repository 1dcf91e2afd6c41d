// Markers, arrows, circles, arcs and the polygon primitives of HP-GL/2.
#include <algorithm>
#include <cmath>
#include <vector>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

// Marker shapes 1..9: five points each, in units of the picture scale.
constexpr float SHAPES[9][5][2] = {
    {{-1, 1}, {-1, -1}, {1, -1}, {1, 1}, {-1, 1}},    // square
    {{0, 1}, {-1, -1}, {1, -1}, {0, 1}, {0, 1}},      // triangle
    {{0, 1}, {0, -1}, {0, 0}, {-1, 0}, {1, 0}},       // plus
    {{-1, 1}, {1, -1}, {0, 0}, {1, 1}, {-1, -1}},     // cross
    {{0, 1}, {-1, 0}, {0, -1}, {1, 0}, {0, 1}},       // diamond
    {{0, -1}, {1, 1}, {-1, 1}, {0, -1}, {0, -1}},     // triangle pointing down
    {{-1, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}},   // upright bow tie
    {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {-1, -1}},   // lying bow tie
    {{-1, -1}, {0, -1}, {1, 1}, {0, 1}, {-1, -1}},    // parallelogram
};

void draw_shape(int u, float X, float Y) {
    float scale = plot_state().s.picture_scale;
    if (u == 0) {
        CIRCLE(X, Y, scale, 0);
        return;
    }
    float x[5], y[5];
    for (int i = 0; i < 5; ++i) {
        x[i] = X + scale * SHAPES[u - 1][i][0];
        y[i] = Y + scale * SHAPES[u - 1][i][1];
    }
    detail::draw_polyline(x, y);
}

int circle_points(float r) { return std::clamp(static_cast<int>(std::lround(10.0f * std::sqrt(r))), 5, 72); }

int plotter_length(float mm) {
    double v = std::trunc(static_cast<double>(MM_TO_PLOTTER * mm));
    return static_cast<int>(std::clamp(v, 0.0, 999999.0));
}

// The stroke of a closed or open outline with the curve thickness.
void stroke(const std::vector<float>& x, const std::vector<float>& y) {
    const PlotState& st = plot_state();
    float thk = st.s.curve_thickness;
    if (!st.hpgl2 && thk > st.pthk[static_cast<std::size_t>(st.ipen)]) BIGLIN(x, y, static_cast<int>(x.size()), thk);
    else detail::draw_polyline(x, y);
}

std::vector<float> spacing_list() {
    const DrawSettings& s = plot_state().s;
    return std::vector<float>(static_cast<std::size_t>(std::max(1, s.shade_count)), s.shade_spacing);
}

}  // namespace

void MARKER(int N) {
    DrawSettings& s = plot_state().s;
    if (N < 1 || N > 98) {
        VLERROR("MARKER-W-nicht definiert" + detail::fmt_int(N, 6));
        N = 1;
    }
    s.marker = N;
}

void PMARK(float X, float Y) {
    int m = plot_state().s.marker;
    draw_shape(m % 10, X, Y);
    if (m / 10 > 0) draw_shape(m / 10, X, Y);
}

void RLVEC(float X1, float Y1, float X2, float Y2, int IVEC) {
    float x1, y1, x2, y2;
    UU2MM(X1, Y1, x1, y1);
    UU2MM(X2, Y2, x2, y2);
    VECTOR(x1, y1, x2, y2, IVEC);
}

void VECTOR(float X1, float Y1, float X2, float Y2, int IVEC) {
    const DrawSettings& s = plot_state().s;
    PENUP(X1, Y1);
    float tip_x[1] = {X2}, tip_y[1] = {Y2};
    if (IVEC == 0) {
        DOCRV(tip_x, tip_y, 1);
        return;
    }
    int code = std::abs(IVEC);
    float a = static_cast<float>(code / 1000);
    float b = static_cast<float>((code % 1000) / 100 + 1);
    int form = (code / 10) % 10;
    float h = s.text_height;
    float L = std::hypot(X2 - X1, Y2 - Y1);
    if (!(L > 0.0f) || !std::isfinite(L)) return;
    float head = std::min(L, a * b * h * 3.0f / 7.0f);
    float w = 2.5f * h * b / 7.0f;
    float ux = (X2 - X1) / L, uy = (Y2 - Y1) / L;
    float bx = X2 - head * ux, by = Y2 - head * uy;
    float c1x = bx - w * uy, c1y = by + w * ux;
    float c2x = bx + w * uy, c2y = by - w * ux;
    if (form <= 1) {
        float x[5] = {bx, c1x, X2, c2x, bx}, y[5] = {by, c1y, Y2, c2y, by};
        DOCRV(x, y, 5);
        if (form == 0 && w > 0.4f) {
            detail::Contour headline{{bx, c1x, X2, c2x}, {by, c1y, Y2, c2y}};
            detail::fill_contours({&headline, 1});
        }
    } else if (form == 2) {
        float x[4] = {X2, c1x, X2, c2x}, y[4] = {Y2, c1y, Y2, c2y};
        DOCRV(x, y, 4);
    } else {
        float x[4] = {X2, c1x, c2x, X2}, y[4] = {Y2, c1y, c2y, Y2};
        DOCRV(x, y, 4);
    }
}

void BIGVEC(float LEN, float W, float ANGLE, float X, float Y) {
    // A block arrow along +x from the origin, turned and shifted into place.
    float shaft = std::fabs(W);
    float half_head, head;
    if (W > 0.0f) {
        half_head = W;
        head = 2.0f * W;
    } else {
        float h = plot_state().s.text_height;
        half_head = 5.0f / 7.0f * h;
        head = 6.0f / 7.0f * h;
    }
    head = std::min(head, LEN);
    float u[8] = {0, LEN - head, LEN - head, LEN, LEN - head, LEN - head, 0, 0};
    float v[8] = {-shaft / 2, -shaft / 2, -half_head, 0, half_head, shaft / 2, shaft / 2, -shaft / 2};
    Matrix m;
    MULT2(BSHIFT(X, Y), BANGLE(ANGLE), m);
    for (int i = 0; i < 8; ++i) ROTCS(m, u[i], v[i]);
    FILFNT(u, v, 8);
}

void CIRCLE(float X, float Y, float R, int IPAT) {
    PlotState& st = plot_state();
    if (!(R > 0.0f) || !std::isfinite(R)) {
        VLERROR("CIRCLE-W-falscher Radius" + detail::fmt_fixed(R, 10, 3));
        return;
    }
    if (st.hpgl2) {
        PENUP(X, Y);
        detail::apply_width(st.s.curve_thickness);
        int radius = plotter_length(R);
        if (IPAT == 90000) {
            detail::emit_PM(0);
            detail::emit_CI(radius);
            detail::end_polygon_filled();
        } else if (IPAT > 0) {
            SHDPAT(IPAT);
            const DrawSettings& s = st.s;
            detail::emit_FT(s.shade_cross ? 4 : 3, static_cast<int>(std::lround(MM_TO_PLOTTER * s.shade_spacing)),
                            static_cast<int>(std::lround(s.shade_angle)));
            detail::emit_PM(0);
            detail::emit_CI(radius);
            detail::end_polygon_hatched();
        } else {
            detail::emit_CI(radius);
        }
        return;
    }
    int n = circle_points(R);
    std::vector<float> x(static_cast<std::size_t>(n) + 1), y(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        float a = static_cast<float>(i % n) * 360.0f / static_cast<float>(n) * st.PiFa;
        x[static_cast<std::size_t>(i)] = X + R * std::cos(a);
        y[static_cast<std::size_t>(i)] = Y + R * std::sin(a);
    }
    stroke(x, y);
    if (IPAT <= 0) return;
    if (st.work_used > 0) {
        VLERROR("CIRCLE-W-für IPOINT>0 keine Schraffur möglich!");
        return;
    }
    detail::ensure_work(n, "CIRCLE");
    std::copy(x.begin(), x.begin() + n, st.work_x.begin());
    std::copy(y.begin(), y.begin() + n, st.work_y.begin());
    st.work_used = n;
    if (IPAT == 90000) {
        FILPOM(n);
    } else {
        SHDPAT(IPAT);
        std::vector<float> dist = spacing_list();
        SHADEM(n, st.s.shade_angle, dist, static_cast<int>(dist.size()));
    }
    st.work_used = 0;
}

void ARC(float X, float Y, float R, float A1, float A2) {
    PlotState& st = plot_state();
    if (!(R > 0.0f) || !std::isfinite(R)) {
        VLERROR("ARC-W-falscher Radius" + detail::fmt_fixed(R, 10, 3));
        return;
    }
    float sweep = A2 - A1;
    if (!std::isfinite(sweep)) return;
    sweep = std::clamp(sweep, -360.0f, 360.0f);
    int n = std::max(2, static_cast<int>(std::ceil(static_cast<float>(circle_points(R)) * std::fabs(sweep) / 360.0f)));
    std::vector<float> x(static_cast<std::size_t>(n) + 1), y(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        float a = (A1 + sweep * static_cast<float>(i) / static_cast<float>(n)) * st.PiFa;
        x[static_cast<std::size_t>(i)] = X + R * std::cos(a);
        y[static_cast<std::size_t>(i)] = Y + R * std::sin(a);
    }
    if (st.hpgl2) {
        detail::apply_width(st.s.curve_thickness);
        detail::apply_line_type();
    }
    stroke(x, y);
}

void POL_STRT(float X, float Y) {
    int ix, iy;
    MM2ABS(X, Y, ix, iy);
    detail::emit_PU(ix, iy);
}

void POL_DEF(std::span<const float> X, std::span<const float> Y, int N) {
    detail::check_points("POL_DEF", N, std::min(X.size(), Y.size()));
    detail::emit_PM(0);
    std::vector<int> xy;
    for (int i = 0; i < N; ++i) {
        int ix, iy;
        MM2ABS(X[static_cast<std::size_t>(i)], Y[static_cast<std::size_t>(i)], ix, iy);
        xy.push_back(ix);
        xy.push_back(iy);
    }
    detail::emit_PD(xy);
}

}  // namespace velin
