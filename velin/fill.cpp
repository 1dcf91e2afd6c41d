// Solid fill and hatching of polygons: polygon-mode instructions on an
// HP-GL/2 device; in HP-GL, strokes computed here.
//
// Scan lines: a line at height v meets the edges whose ends satisfy
// min <= v < max, so a line through a vertex counts it once; the crossings,
// sorted along the line, are joined in pairs (even-odd, holes stay open).
// Hatch and fill lines lie on grids fixed in the plane, so neighbouring areas
// line up.
#include <algorithm>
#include <cmath>
#include <vector>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

// More lines than this is no longer a fill but a runaway.
constexpr double MAX_LINES = 1'000'000.0;

// The pattern of a band whose caller chose none: 45 degrees, 0.4 mm.
constexpr int DEFAULT_PATTERN = 45110;

struct Edge {
    float u1, v1, u2, v2;
};

// Edges of the contours in a frame turned by (c, s): u along the lines, v across.
std::vector<Edge> edges_of(std::span<const detail::Contour> contours, float c, float s) {
    std::vector<Edge> edges;
    for (const auto& k : contours) {
        std::size_t n = k.x.size();
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t j = (i + 1) % n;
            edges.push_back({c * k.x[i] + s * k.y[i], c * k.y[i] - s * k.x[i], c * k.x[j] + s * k.y[j],
                             c * k.y[j] - s * k.x[j]});
        }
    }
    return edges;
}

void draw_lines(const std::vector<Edge>& edges, std::span<const float> levels, float c, float s, bool alternate) {
    std::vector<float> crossings;
    int line = 0;
    for (float v : levels) {
        crossings.clear();
        for (const Edge& e : edges) {
            float lo = std::min(e.v1, e.v2), hi = std::max(e.v1, e.v2);
            if (lo <= v && v < hi) crossings.push_back(e.u1 + (v - e.v1) * (e.u2 - e.u1) / (e.v2 - e.v1));
        }
        std::sort(crossings.begin(), crossings.end());
        bool backwards = alternate && line % 2 == 1;
        if (backwards) std::reverse(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            float a = crossings[i], b = crossings[i + 1];
            if (std::fabs(b - a) < 0.000001f) continue;
            PENUP(c * a - s * v, s * a + c * v);
            PENDN(c * b - s * v, s * b + c * v);
        }
        ++line;
    }
}

bool extent(std::span<const detail::Contour> contours, float c, float s, float& vmin, float& vmax) {
    vmin = INFINITY;
    vmax = -INFINITY;
    for (const auto& k : contours)
        for (std::size_t i = 0; i < k.x.size(); ++i) {
            float v = c * k.y[i] - s * k.x[i];
            vmin = std::min(vmin, v);
            vmax = std::max(vmax, v);
        }
    return std::isfinite(vmin) && std::isfinite(vmax);
}

// The point count without a closing point equal to the first.
int without_closing_point(std::span<const float> x, std::span<const float> y, int n) {
    if (n >= 2) {
        std::size_t last = static_cast<std::size_t>(n - 1);
        if (std::fabs(x[last] - x[0]) <= 0.000001f && std::fabs(y[last] - y[0]) <= 0.000001f) return n - 1;
    }
    return n;
}

detail::Contour work_contour(int n) {
    const PlotState& st = plot_state();
    detail::Contour k;
    k.x.assign(st.work_x.begin(), st.work_x.begin() + n);
    k.y.assign(st.work_y.begin(), st.work_y.begin() + n);
    return k;
}

}  // namespace

namespace detail {

void scan_fill(std::span<const Contour> contours, std::span<const float> heights, bool alternate) {
    draw_lines(edges_of(contours, 1.0f, 0.0f), heights, 1.0f, 0.0f, alternate);
}

// The contours as one polygon of the device, each further outline a subpolygon;
// the caller ends it with its fill.
void emit_polygon(std::span<const Contour> contours) {
    bool first = true;
    for (const auto& k : contours) {
        if (k.x.size() < 2) continue;
        if (first) {
            POL_STRT(k.x[0], k.y[0]);
            POL_DEF(std::span(k.x).subspan(1), std::span(k.y).subspan(1), static_cast<int>(k.x.size()) - 1);
            first = false;
            continue;
        }
        emit_PM(1);
        std::vector<int> xy;
        for (std::size_t i = 0; i < k.x.size(); ++i) {
            int ix, iy;
            MM2ABS(k.x[i], k.y[i], ix, iy);
            if (i == 0) {
                emit_PU(ix, iy);
            } else {
                xy.push_back(ix);
                xy.push_back(iy);
            }
        }
        emit_PD(xy);
    }
}

// The parts of the contours that blanking leaves, all of them without areas.
std::vector<std::vector<Contour>> visible_parts(std::span<const Contour> contours) {
    if (plot_state().s.blanking_areas > 0) return outside_blanking(contours);
    return {{contours.begin(), contours.end()}};
}

void fill_contours(std::span<const Contour> contours) {
    const PlotState& st = plot_state();
    std::size_t total = 0;
    for (const auto& k : contours) total += k.x.size();
    if (total < 3) return;
    if (st.hpgl2) {
        for (const auto& part : visible_parts(contours)) {
            emit_polygon(part);
            end_polygon_filled();
        }
        return;
    }
    float t = st.pthk[static_cast<std::size_t>(st.ipen)];
    float ymin, ymax;
    if (!extent(contours, 1.0f, 0.0f, ymin, ymax)) return;
    double first = std::floor(ymin / t), last = std::floor(ymax / t);
    if (last - first > MAX_LINES) {
        VLERROR("FILPOM-W-Fläche zu groß für die Füllung");
        return;
    }
    std::vector<float> heights;
    for (double j = first; j <= last; j += 1.0) heights.push_back(static_cast<float>((j + 0.5) * t));
    scan_fill(contours, heights, true);
    if (st.debug) VLERROR("FILPOM-I-Scanlinien" + fmt_int(static_cast<long long>(heights.size()), 8));
}

}  // namespace detail

void SHDPAT(int IPAT) {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    int code = std::abs(IPAT);
    s.shade_angle = static_cast<float>(code / 1000);
    int h = (code % 1000) / 100;
    s.shade_special = h == 5;
    s.shade_count = h == 0 ? 0 : (h == 1 || h == 5 ? 1 : h);
    int t = (code % 100) / 10;
    s.shade_spacing = std::max(0.4f * static_cast<float>(t), st.pthk[static_cast<std::size_t>(st.ipen)]);
    s.shade_cross = code % 10 != 0;
}

void SHADEM(int N, float ANGLE, std::span<const float> DIST, int NDIST) {
    const PlotState& st = plot_state();
    if (N < 3) {
        VLERROR("SHADEM-W-Anzahl der Stützpunkte zu gering - n=" + detail::fmt_int(N, 6));
        return;
    }
    detail::check_points("SHADEM", N, st.work_x.size());
    detail::check_points("SHADEM", NDIST, DIST.size());
    if (NDIST < 1) NDIST = 1;
    detail::Contour polygon = work_contour(N);
    if (st.hpgl2) {
        for (const auto& part : detail::visible_parts({&polygon, 1})) {
            detail::emit_FT(st.s.shade_cross ? 4 : 3, static_cast<int>(std::lround(MM_TO_PLOTTER * DIST[0])),
                            static_cast<int>(std::lround(ANGLE)));
            detail::emit_polygon(part);
            detail::end_polygon_hatched();
        }
        return;
    }
    float dall = 0.0f;
    std::string values;
    for (int i = 0; i < NDIST; ++i) {
        dall += std::fabs(DIST[static_cast<std::size_t>(i)]);
        values += detail::fmt_fixed(DIST[static_cast<std::size_t>(i)], 8, 3);
    }
    if (!(dall > 0.0f) || !std::isfinite(dall))
        detail::fail("SHADE", "Dall=0" + detail::fmt_int(NDIST, 6) + values);
    std::size_t lines = 0;
    for (int pass = 0; pass < (st.s.shade_cross ? 2 : 1); ++pass) {
        float a = (ANGLE + 90.0f * static_cast<float>(pass)) * st.PiFa;
        float c = std::cos(a), s = std::sin(a);
        float vmin, vmax;
        if (!extent({&polygon, 1}, c, s, vmin, vmax)) return;
        if ((vmax - vmin) / dall * static_cast<float>(NDIST) > MAX_LINES) {
            VLERROR("SHADEM-W-Fläche zu groß für die Schraffur");
            return;
        }
        // The grid starts below the polygon at a whole pattern length.
        std::vector<float> levels;
        double v = (std::trunc(static_cast<double>(vmin) / dall) - 1.0) * dall;
        for (int k = 1 % NDIST; v < vmax; k = (k + 1) % NDIST) {
            if (v >= vmin) levels.push_back(static_cast<float>(v));
            v += std::fabs(DIST[static_cast<std::size_t>(k)]);
        }
        draw_lines(edges_of({&polygon, 1}, c, s), levels, c, s, false);
        lines += levels.size();
    }
    if (st.debug) VLERROR("SHADE-I-Schraffurlinien" + detail::fmt_int(static_cast<long long>(lines), 8));
}

void SHADE(std::span<const float> XU, std::span<const float> YU, int N, float ANGLE, std::span<const float> DIST,
           int NDIST) {
    detail::check_points("SHADE", N, std::min(XU.size(), YU.size()));
    int n = without_closing_point(XU, YU, N);
    VECU2M(XU, YU, n);
    SHADEM(n, ANGLE, DIST, NDIST);
    plot_state().work_used = 0;
}

void SHDCRV(std::span<const float> X1, std::span<const float> Y1, int N1, std::span<const float> X2,
            std::span<const float> Y2, int N2) {
    detail::check_points("SHDCRV", N1, std::min(X1.size(), Y1.size()));
    detail::check_points("SHDCRV", N2, std::min(X2.size(), Y2.size()));
    N1 = std::max(N1, 0);
    N2 = std::max(N2, 0);
    detail::ensure_work(N1 + N2, "SHDCRV");
    // Curve 1 forward, curve 2 backward: the outline of the band.
    std::vector<float> x, y;
    x.reserve(static_cast<std::size_t>(N1 + N2));
    y.reserve(static_cast<std::size_t>(N1 + N2));
    x.insert(x.end(), X1.begin(), X1.begin() + N1);
    y.insert(y.end(), Y1.begin(), Y1.begin() + N1);
    for (int i = N2 - 1; i >= 0; --i) {
        x.push_back(X2[static_cast<std::size_t>(i)]);
        y.push_back(Y2[static_cast<std::size_t>(i)]);
    }
    if (plot_state().s.shade_count == 0) SHDPAT(DEFAULT_PATTERN);
    const DrawSettings& s = plot_state().s;
    const float dist[1] = {s.shade_spacing};
    SHADE(x, y, N1 + N2, s.shade_angle, dist, 1);
}

void FILPOL(std::span<const float> XU, std::span<const float> YU, int N) {
    detail::check_points("FILPOL", N, std::min(XU.size(), YU.size()));
    int n = without_closing_point(XU, YU, N);
    VECU2M(XU, YU, n);
    FILPOM(n);
}

void FILREC(float X1, float X2, float Y1, float Y2) {
    PlotState& st = plot_state();
    float xa, ya, xb, yb;
    UU2MM(X1, Y1, xa, ya);
    UU2MM(X2, Y2, xb, yb);
    // A rectangle that a blanking area cuts is filled as a polygon (HP-GL/2)
    // or line by line, so that the area stays free.
    const bool cut = detail::blanking_overlaps(xa, xb, ya, yb);
    if (cut && st.hpgl2) {
        const detail::Contour box{{xa, xb, xb, xa}, {ya, ya, yb, yb}};
        detail::fill_contours({&box, 1});
        return;
    }
    if (st.IHPGL >= 1 && !cut) {
        int ia, ja, ib, jb;
        MM2ABS(xa, ya, ia, ja);
        MM2ABS(xb, yb, ib, jb);
        detail::emit_PU(ia, ja);
        detail::raw_instruction("RA" + std::to_string(ib) + "," + std::to_string(jb));
        return;
    }
    if (xa > xb) std::swap(xa, xb);
    if (ya > yb) std::swap(ya, yb);
    float t = st.pthk[static_cast<std::size_t>(st.ipen)];
    if (!(t > 0.0f) || !std::isfinite(ya) || !std::isfinite(yb)) return;
    double first = std::floor(ya / t), last = std::floor(yb / t);
    if (last - first > MAX_LINES) {
        VLERROR("FILREC-W-Fläche zu groß für die Füllung");
        return;
    }
    long long lines = 0;
    for (double j = first; j <= last; j += 1.0, ++lines) {
        float y = static_cast<float>((j + 0.5) * t);
        PENUP(xa, y);
        PENDN(xb, y);
    }
    if (st.debug) VLERROR("FILREC-I-Schraffurlinien" + detail::fmt_int(lines, 8));
}

void FILPOM(int N) {
    PlotState& st = plot_state();
    detail::check_points("FILPOM", N, st.work_x.size());
    if (N >= 3) {
        detail::Contour polygon = work_contour(N);
        detail::fill_contours({&polygon, 1});
    }
    st.work_used = 0;
}

}  // namespace velin
