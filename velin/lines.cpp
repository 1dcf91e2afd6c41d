// Polylines to device strokes: clipping to the box around the plot area, line
// styles (left to the device in HP-GL/2, drawn as dashes here in HP-GL),
// thick lines (a pen width in HP-GL/2, parallel strokes in HP-GL).
//
// Clipping: a coordinate measured from the box centre gets the side code 0
// inside (|d| < half-width) and its sign outside, so a point on the edge is
// outside. A segment whose ends lie beyond the same side is invisible;
// otherwise an outside end slides along the segment to the horizontal edge,
// then to the vertical edge, and the segment is invisible if it still misses
// the box.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

int side(float d, float h) { return std::fabs(d) < h ? 0 : (d > 0 ? 1 : -1); }

// Moves p along p-q onto the box; false if the segment misses the box.
bool move_onto_box(float& px, float& py, float qx, float qy, int cx, int cy) {
    const DrawSettings& s = plot_state().s;
    auto inside = [](float d, float h) { return std::fabs(d) <= h; };
    if (cy != 0) {
        float edge = s.clip_cy + static_cast<float>(cy) * s.clip_hy;
        if (qy == py) return false;
        float t = (edge - py) / (qy - py);
        px += t * (qx - px);
        py = edge;
        cx = inside(px - s.clip_cx, s.clip_hx) ? 0 : (px > s.clip_cx ? 1 : -1);
    }
    if (cx != 0) {
        float edge = s.clip_cx + static_cast<float>(cx) * s.clip_hx;
        if (qx == px) return false;
        float t = (edge - px) / (qx - px);
        py += t * (qy - py);
        px = edge;
        if (!inside(py - s.clip_cy, s.clip_hy)) return false;
    }
    return std::isfinite(px) && std::isfinite(py);
}

std::string compact(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string text = buf;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

float pattern_sum() {
    const DrawSettings& s = plot_state().s;
    float sum = 0.0f;
    for (int i = 0; i < std::min(std::abs(s.NGPS), 10); ++i) sum += std::fabs(s.pattern[static_cast<std::size_t>(i)]);
    return sum;
}

// Patterns shorter than this would not end (a zero sum) or drown the plot in dots.
constexpr float MIN_PATTERN = 0.001f;

void set_style(int style, std::initializer_list<float> lengths) {
    DrawSettings& s = plot_state().s;
    s.line_style = style;
    s.NGPS = static_cast<int>(lengths.size());
    std::copy(lengths.begin(), lengths.end(), s.pattern.begin());
}

// Offset copy of a polyline; see BIGLIN.
void offset_polyline(const std::vector<float>& x, const std::vector<float>& y, bool closed, float d,
                     std::vector<float>& ox, std::vector<float>& oy) {
    std::size_t m = x.size();
    std::vector<float> nx(m - 1), ny(m - 1), ux(m - 1), uy(m - 1);
    for (std::size_t i = 0; i + 1 < m; ++i) {
        float dx = x[i + 1] - x[i], dy = y[i + 1] - y[i];
        float len = std::hypot(dx, dy);
        ux[i] = dx / len;
        uy[i] = dy / len;
        nx[i] = -uy[i];
        ny[i] = ux[i];
    }
    ox.clear();
    oy.clear();
    for (std::size_t i = 0; i < m; ++i) {
        bool has_prev = i > 0 || closed, has_next = i + 1 < m || closed;
        std::size_t prev = i > 0 ? i - 1 : m - 2;
        std::size_t next = i + 1 < m ? i : 0;
        if (!has_prev || !has_next) {
            std::size_t k = has_next ? next : prev;
            ox.push_back(x[i] + d * nx[k]);
            oy.push_back(y[i] + d * ny[k]);
            continue;
        }
        float cross = ux[prev] * uy[next] - uy[prev] * ux[next];
        float dot = nx[prev] * nx[next] + ny[prev] * ny[next];
        if (std::fabs(cross) < 0.00001f) {
            ox.push_back(x[i] + d * nx[next]);
            oy.push_back(y[i] + d * ny[next]);
        } else if (1.0f + dot < 0.125f) {
            // A hairpin: the miter would shoot far out, so the corner is cut.
            ox.push_back(x[i] + d * nx[prev]);
            oy.push_back(y[i] + d * ny[prev]);
            ox.push_back(x[i] + d * nx[next]);
            oy.push_back(y[i] + d * ny[next]);
        } else {
            float f = d / (1.0f + dot);
            ox.push_back(x[i] + f * (nx[prev] + nx[next]));
            oy.push_back(y[i] + f * (ny[prev] + ny[next]));
        }
    }
}

void draw_dash(const std::vector<float>& x, const std::vector<float>& y) {
    if (x.size() < 2) return;
    const PlotState& st = plot_state();
    float thk = st.s.curve_thickness;
    if (thk > st.pthk[static_cast<std::size_t>(st.ipen)]) BIGLIN(x, y, static_cast<int>(x.size()), thk);
    else detail::draw_polyline(x, y);
}

// A marker at points 1, 1 + step, 1 + 2 step, ...
void draw_markers(std::span<const float> x, std::span<const float> y, int N, int step, int IMARK) {
    for (int i = 0; i < N; i += step) {
        float px = x[static_cast<std::size_t>(i)], py = y[static_cast<std::size_t>(i)];
        if (px == 0.0f && py == 0.0f)
            VLERROR("CURVE-I-MARKER at (0,0)!=" + detail::fmt_int(i + 1, 6) + detail::fmt_int(N, 6) +
                    detail::fmt_int(IMARK, 6));
        PMARK(px, py);
    }
}

// Markers at every |IMARK|-th point, then the line (unless IMARK < 0).
void draw_curve(std::span<const float> x, std::span<const float> y, int N, int IMARK) {
    PlotState& st = plot_state();
    if (IMARK != 0) {
        // Kept apart from the sign test below: GCC 12.2 at -O2 folded the two
        // into a wrong absolute value.
        draw_markers(x, y, N, IMARK > 0 ? IMARK : -IMARK, IMARK);
        st.s.marker = st.s.marker % 98 + 1;
        if (IMARK < 0) return;
    }
    if (N < 1) return;
    if (st.hpgl2) {
        detail::apply_width(st.s.curve_thickness);
        detail::apply_line_type();
        detail::draw_polyline(x.first(static_cast<std::size_t>(N)), y.first(static_cast<std::size_t>(N)));
        return;
    }
    if (detail::pattern_in_use()) {
        INTCRV(x, y, N);
    } else if (st.s.curve_thickness > st.pthk[static_cast<std::size_t>(st.ipen)]) {
        BIGLIN(x, y, N, st.s.curve_thickness);
    } else {
        detail::draw_polyline(x.first(static_cast<std::size_t>(N)), y.first(static_cast<std::size_t>(N)));
    }
}

}  // namespace

namespace detail {

void check_points(std::string_view routine, int n, std::size_t available) {
    if (n > 0 && static_cast<std::size_t>(n) > available)
        fail(routine, "mehr Punkte verlangt (" + std::to_string(n) + ") als übergeben (" + std::to_string(available) + ")");
}

bool pattern_in_use() {
    const DrawSettings& s = plot_state().s;
    if (s.line_style == 0 || s.NGPS == 0) return false;
    return s.line_style != 8 || pattern_sum() >= MIN_PATTERN;
}

std::string line_type_instruction() {
    const DrawSettings& s = plot_state().s;
    switch (s.line_style) {
        case 1: return "LT1,1.,1";
        case 2: return "LT2,3.,1";
        case 4: return "LT4,3.,1";
        case 5: return "LT5,4.,1";
        case 8: {
            float sum = pattern_sum();
            if (sum < MIN_PATTERN) return "LT;";
            // UL takes percentages of the pattern; LT8 then gives its length in mm.
            std::string text = "UL8";
            char buf[32];
            for (int i = 0; i < std::min(std::abs(s.NGPS), 10); ++i) {
                std::snprintf(buf, sizeof buf, ",%.1f",
                              100.0 * std::fabs(s.pattern[static_cast<std::size_t>(i)]) / static_cast<double>(sum));
                text += buf;
            }
            return text + "LT8," + compact(sum) + ",1";
        }
        case 0: return "LT;";
        default: return {};
    }
}

void apply_width(float width) {
    const PlotState& st = plot_state();
    if (st.hpgl2 && std::fabs(st.dev.width - width) > 0.001f) SET_POLWIDTH(width);
}

void apply_line_type() {
    const PlotState& st = plot_state();
    if (!st.hpgl2) return;
    std::string instruction = line_type_instruction();
    if (instruction.empty()) return;
    std::string current = st.dev.line_type.empty() ? std::string("LT;") : st.dev.line_type;
    if (instruction != current) emit_LT(instruction);
}

void apply_solid() {
    const PlotState& st = plot_state();
    if (st.hpgl2 && !st.dev.line_type.empty()) emit_LT("LT;");
}

void draw_polyline(std::span<const float> x, std::span<const float> y) {
    if (x.empty()) return;
    PENUP(x[0], y[0]);
    DOCRV(x.subspan(1), y.subspan(1), static_cast<int>(x.size()) - 1);
}

}  // namespace detail

int ICLIPR(float& X, float& Y) {
    PlotState& st = plot_state();
    const DrawSettings& s = st.s;
    float x0 = st.last_x, y0 = st.last_y, x1 = X, y1 = Y;
    st.last_x = X;
    st.last_y = Y;
    auto invisible = [&](bool end_reported) {
        st.cur_x = X;
        st.cur_y = Y;
        if (s.checking && !end_reported) PTSOUT(X, Y);
        // Only a segment from a point that is not a number can end inside
        // unseen; the next segment must not start from where the pen stands.
        if (std::isfinite(X) && std::isfinite(Y) && side(X - s.clip_cx, s.clip_hx) == 0 &&
            side(Y - s.clip_cy, s.clip_hy) == 0)
            PENUP(X, Y);
        return -1;
    };
    // A point that is not a number lies outside every box.
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return invisible(false);
    int cx0 = side(x0 - s.clip_cx, s.clip_hx), cy0 = side(y0 - s.clip_cy, s.clip_hy);
    int cx1 = side(x1 - s.clip_cx, s.clip_hx), cy1 = side(y1 - s.clip_cy, s.clip_hy);
    if ((cx0 != 0 && cx0 == cx1) || (cy0 != 0 && cy0 == cy1)) return invisible(false);
    if (cx0 != 0 || cy0 != 0) {
        if (s.checking) PTSOUT(x0, y0);
        if (!move_onto_box(x0, y0, x1, y1, cx0, cy0)) return invisible(false);
        PENUP(x0, y0);
    }
    if (cx1 != 0 || cy1 != 0) {
        if (s.checking) PTSOUT(x1, y1);
        if (!move_onto_box(x1, y1, x0, y0, cx1, cy1)) return invisible(true);
    }
    X = x1;
    Y = y1;
    return 0;
}

void STRTPT(float X, float Y) {
    INSXY(X, Y, 0);
    plot_state().cur_x = X;
    plot_state().cur_y = Y;
}

void CONNPT(float X, float Y) {
    INSXY(X, Y, 1);
    plot_state().cur_x = X;
    plot_state().cur_y = Y;
}

namespace {

// Draws on through the points, clipping each segment from the last input
// point (the unclipped end of the segment before); the visible parts go
// through the blanking areas when the graph has any.
void trace(std::span<const float> X, std::span<const float> Y, int N) {
    PlotState& st = plot_state();
    const DrawSettings& s = st.s;
    auto inside = [&](float x, float y) {
        return std::fabs(x - s.clip_cx) < s.clip_hx && std::fabs(y - s.clip_cy) < s.clip_hy;
    };
    if (s.blanking_areas > 0) {
        for (int i = 0; i < N; ++i) {
            float x = X[static_cast<std::size_t>(i)], y = Y[static_cast<std::size_t>(i)];
            if (ICLIPR(x, y) == 0) RRINBL(x, y);
        }
        return;
    }
    bool last_inside = inside(st.last_x, st.last_y);
    for (int i = 0; i < N; ++i) {
        float x = X[static_cast<std::size_t>(i)], y = Y[static_cast<std::size_t>(i)];
        // Both ends inside the box: nothing to clip (the common case of a long curve).
        if (last_inside && inside(x, y)) {
            st.last_x = st.cur_x = x;
            st.last_y = st.cur_y = y;
            INSXY(x, y, 1);
            continue;
        }
        last_inside = inside(x, y);
        if (ICLIPR(x, y) == 0) {
            st.cur_x = x;
            st.cur_y = y;
            INSXY(x, y, 1);
        }
    }
}

}  // namespace

void DOCRV(std::span<const float> X, std::span<const float> Y, int N) {
    detail::check_points("DOCRV", N, std::min(X.size(), Y.size()));
    PlotState& st = plot_state();
    st.last_x = st.cur_x;
    st.last_y = st.cur_y;
    trace(X, Y, N);
}

void CURVE(std::span<const float> XU, std::span<const float> YU, int N, int IMARK) {
    detail::check_points("CURVE", N, std::min(XU.size(), YU.size()));
    if (N < 1) return;
    PlotState& st = plot_state();
    // A plain line needs one block of points at a time: a long curve streams
    // through the work arrays instead of growing them.
    const int block = static_cast<int>(st.work_x.size());
    bool plain = IMARK == 0 && (st.hpgl2 || (!detail::pattern_in_use() &&
                                             !(st.s.curve_thickness > st.pthk[static_cast<std::size_t>(st.ipen)])));
    if (plain && block > 1 && N > block) {
        detail::apply_width(st.s.curve_thickness);
        detail::apply_line_type();
        for (int start = 0; start < N; start += block) {
            int n = std::min(block, N - start);
            auto offset = static_cast<std::size_t>(start);
            VECU2M(XU.subspan(offset), YU.subspan(offset), n);
            std::span<const float> x(st.work_x.data(), static_cast<std::size_t>(n));
            std::span<const float> y(st.work_y.data(), static_cast<std::size_t>(n));
            if (start == 0) {
                detail::draw_polyline(x, y);
            } else {
                trace(x, y, n);
            }
        }
        st.work_used = 0;
        return;
    }
    VECU2M(XU, YU, N);
    // Markers may draw circles, which never touch the work arrays, so the
    // views stay valid.
    std::span<const float> x(st.work_x.data(), static_cast<std::size_t>(N));
    std::span<const float> y(st.work_y.data(), static_cast<std::size_t>(N));
    draw_curve(x, y, N, IMARK);
    st.work_used = 0;
}

void CURVA(std::span<const float> X, std::span<const float> Y, int N, int IMARK, float THK) {
    detail::check_points("CURVA", N, std::min(X.size(), Y.size()));
    DrawSettings& s = plot_state().s;
    float saved = s.curve_thickness;
    THKCRV(THK);
    draw_curve(X, Y, N, IMARK);
    s.curve_thickness = saved;
}

void DOT() { set_style(1, {0.1f, 0.9f}); }
void DASH() { set_style(2, {2.0f, 1.5f}); }
void CHNDOT() { set_style(4, {2.0f, 1.0f, 0.1f, 1.0f}); }
void CHNDSH() { set_style(5, {2.5f, 1.5f, 1.5f, 1.5f}); }

void MRSCOD(std::span<const float> PAT, int N) {
    DrawSettings& s = plot_state().s;
    int n = std::min({std::abs(N), 10, static_cast<int>(PAT.size())});
    s.line_style = 8;
    s.NGPS = n;
    s.pattern.fill(0.0f);
    for (int i = 0; i < n; ++i) {
        float v = PAT[static_cast<std::size_t>(i)];
        s.pattern[static_cast<std::size_t>(i)] = std::isfinite(v) ? v : 0.0f;
    }
}

void SET_LINETYPE() {
    if (!plot_state().hpgl2) return;
    std::string instruction = detail::line_type_instruction();
    if (!instruction.empty()) detail::emit_LT(instruction);
}

void SET_POLWIDTH(float W) { detail::emit_PW(W); }

void THKCRV(float T) { plot_state().s.curve_thickness = std::isfinite(T) && T > 0.0f ? T : 0.0f; }

void BIGLIN(std::span<const float> X, std::span<const float> Y, int N, float THK) {
    detail::check_points("BIGLIN", N, std::min(X.size(), Y.size()));
    if (N < 1) return;
    const PlotState& st = plot_state();
    std::span<const float> x = X.first(static_cast<std::size_t>(N)), y = Y.first(static_cast<std::size_t>(N));
    if (st.hpgl2) {
        detail::apply_width(THK);
        detail::apply_line_type();
        detail::draw_polyline(x, y);
        return;
    }
    // Segments shorter than 0.001 mm have no direction.
    std::vector<float> px{x[0]}, py{y[0]};
    for (int i = 1; i < N; ++i) {
        if (std::hypot(x[static_cast<std::size_t>(i)] - px.back(), y[static_cast<std::size_t>(i)] - py.back()) < 0.001f)
            continue;
        px.push_back(x[static_cast<std::size_t>(i)]);
        py.push_back(y[static_cast<std::size_t>(i)]);
    }
    if (px.size() < 2) return;
    bool closed = std::fabs(x[0] - x[static_cast<std::size_t>(N - 1)]) < 0.00001f &&
                  std::fabs(y[0] - y[static_cast<std::size_t>(N - 1)]) < 0.00001f;
    if (closed) {
        px.back() = px.front();
        py.back() = py.front();
        if (px.size() < 3) return;
    }
    float t = st.pthk[static_cast<std::size_t>(st.ipen)];
    int n = std::max(1, static_cast<int>(THK / t + 0.999f));
    n = std::min(n, 10000);
    std::vector<float> ox, oy;
    for (int k = 0; k < n; ++k) {
        // The strokes lie centred on the line, the outer ones half a pen inside its edges.
        float d = n == 1 ? 0.0f : -(THK - t) / 2.0f + static_cast<float>(k) * (THK - t) / static_cast<float>(n - 1);
        offset_polyline(px, py, closed, d, ox, oy);
        detail::draw_polyline(ox, oy);
    }
}

void INTCRV(std::span<const float> X, std::span<const float> Y, int N) {
    detail::check_points("INTCRV", N, std::min(X.size(), Y.size()));
    if (N < 2) return;
    const DrawSettings& s = plot_state().s;
    int count = std::min(std::abs(s.NGPS), 10);
    if (!detail::pattern_in_use() || count == 0) {
        detail::draw_polyline(X.first(static_cast<std::size_t>(N)), Y.first(static_cast<std::size_t>(N)));
        return;
    }
    auto length = [&](int e) { return std::fabs(s.pattern[static_cast<std::size_t>(e)]); };
    int entry = 0;
    float rest = length(0);
    std::vector<float> dx, dy;  // the dash being collected
    dx.push_back(X[0]);
    dy.push_back(Y[0]);
    for (int i = 0; i + 1 < N; ++i) {
        float x0 = X[static_cast<std::size_t>(i)], y0 = Y[static_cast<std::size_t>(i)];
        float x1 = X[static_cast<std::size_t>(i + 1)], y1 = Y[static_cast<std::size_t>(i + 1)];
        float len = std::hypot(x1 - x0, y1 - y0);
        if (!(len > 0.0f) || !std::isfinite(len)) continue;
        float ux = (x1 - x0) / len, uy = (y1 - y0) / len;
        float pos = 0.0f;
        while (rest <= len - pos) {
            pos += rest;
            float px = x0 + pos * ux, py = y0 + pos * uy;
            if (entry % 2 == 0) {
                dx.push_back(px);
                dy.push_back(py);
                draw_dash(dx, dy);
            }
            dx.clear();
            dy.clear();
            entry = (entry + 1) % count;
            rest = length(entry);
            if (entry % 2 == 0) {
                dx.push_back(px);
                dy.push_back(py);
            }
        }
        rest -= len - pos;
        if (entry % 2 == 0) {
            dx.push_back(x1);
            dy.push_back(y1);
        }
    }
    if (entry % 2 == 0) draw_dash(dx, dy);
}

}  // namespace velin
