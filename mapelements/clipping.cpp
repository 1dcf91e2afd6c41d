// Clipping to the window (XRL..XRR, YRV..YRH).
//
// Polygons are clipped against the four borders in turn (Sutherland-Hodgman)
// in double precision into growing arrays: this keeps every corner, keeps the
// order of the points, needs no special case for edges through a window
// corner or along a border, and gives the window itself for a polygon that
// encloses it. Curves are clipped segment by segment (Liang-Barsky); the
// visible parts of consecutive segments that meet form one piece.
#include "mapelements/clipping.h"

#include <algorithm>
#include <cmath>

#include "platform/fatal.h"

namespace mapelements {

namespace {

struct Point {
    double x, y;
};

bool same_point(float ax, float ay, float bx, float by) { return ax == bx && ay == by; }

// Whether a point lies on the inner side of a border (the border itself counts as inside).
bool inside_border(const Point& p, int border, const ClipWindow& w) {
    switch (border) {
        case kLeft: return p.x >= w.XRL;
        case kBottom: return p.y >= w.YRV;
        case kRight: return p.x <= w.XRR;
        default: return p.y <= w.YRH;
    }
}

// Where the segment a-b crosses the line of a border.
Point border_crossing(const Point& a, const Point& b, int border, const ClipWindow& w) {
    if (border == kLeft || border == kRight) {
        double x = border == kLeft ? w.XRL : w.XRR;
        double t = (x - a.x) / (b.x - a.x);
        return {x, a.y + t * (b.y - a.y)};
    }
    double y = border == kBottom ? w.YRV : w.YRH;
    double t = (y - a.y) / (b.y - a.y);
    return {a.x + t * (b.x - a.x), y};
}

std::vector<Point> clip_against(const std::vector<Point>& in, int border, const ClipWindow& w) {
    std::vector<Point> out;
    out.reserve(in.size() + 4);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const Point& prev = in[(i + in.size() - 1) % in.size()];
        const Point& cur = in[i];
        bool prev_in = inside_border(prev, border, w), cur_in = inside_border(cur, border, w);
        if (cur_in) {
            if (!prev_in) out.push_back(border_crossing(prev, cur, border, w));
            out.push_back(cur);
        } else if (prev_in) {
            out.push_back(border_crossing(prev, cur, border, w));
        }
    }
    return out;
}

// Liang-Barsky: the visible part [t0, t1] of a segment, false when none.
bool clip_segment(Point a, Point b, const ClipWindow& w, double& t0, double& t1) {
    t0 = 0.0;
    t1 = 1.0;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - w.XRL, w.XRR - a.x, a.y - w.YRV, w.YRH - a.y};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
        } else {
            double r = q[k] / p[k];
            if (p[k] < 0.0) t0 = std::max(t0, r);
            else t1 = std::min(t1, r);
        }
    }
    return t0 <= t1;
}

bool finite(float x, float y) { return std::isfinite(x) && std::isfinite(y); }

}  // namespace

ClipWindow& clip_window() {
    static ClipWindow instance;
    return instance;
}

void set_clip_window(float xmin, float xmax, float ymin, float ymax) {
    ClipWindow& w = clip_window();
    w.XRL = xmin;
    w.XRR = xmax;
    w.YRV = ymin;
    w.YRH = ymax;
}

void CUT_POL(std::span<const float> xin, std::span<const float> yin, int nin, std::vector<float>& xout,
             std::vector<float>& yout, int& nout) {
    if (nin < 3) platform::fatal("CUT_POL", "kein Polygon, N<3");
    const ClipWindow& w = clip_window();
    const std::size_t n = static_cast<std::size_t>(nin);
    xout.clear();
    yout.clear();
    nout = 0;
    float xlo = xin[0], xhi = xin[0], ylo = yin[0], yhi = yin[0];
    for (std::size_t i = 0; i < n; ++i) {
        // A polygon with a point that is not a number cannot be drawn.
        if (!finite(xin[i], yin[i])) return;
        xlo = std::min(xlo, xin[i]);
        xhi = std::max(xhi, xin[i]);
        ylo = std::min(ylo, yin[i]);
        yhi = std::max(yhi, yin[i]);
    }
    if (xlo > w.XRR || xhi < w.XRL || ylo > w.YRH || yhi < w.YRV) return;
    if (xlo >= w.XRL && xhi <= w.XRR && ylo >= w.YRV && yhi <= w.YRH) {
        xout.assign(xin.begin(), xin.begin() + nin);
        yout.assign(yin.begin(), yin.begin() + nin);
        nout = nin;
        return;
    }
    const bool closed = same_point(xin[n - 1], yin[n - 1], xin[0], yin[0]);
    std::vector<Point> ring;
    for (std::size_t i = 0; i < (closed ? n - 1 : n); ++i) ring.push_back({xin[i], yin[i]});
    for (int border = kLeft; border <= kTop && !ring.empty(); ++border) ring = clip_against(ring, border, w);
    // Points that the clipping made twice in a row add nothing.
    std::vector<Point> result;
    for (const Point& p : ring)
        if (result.empty() || p.x != result.back().x || p.y != result.back().y) result.push_back(p);
    while (result.size() > 1 && result.front().x == result.back().x && result.front().y == result.back().y)
        result.pop_back();
    if (result.size() < 3) return;
    for (const Point& p : result) {
        xout.push_back(static_cast<float>(p.x));
        yout.push_back(static_cast<float>(p.y));
    }
    if (closed) {
        xout.push_back(xout.front());
        yout.push_back(yout.front());
    }
    nout = static_cast<int>(xout.size());
}

void CUT_CRV(std::span<const float> xin, std::span<const float> yin, int nin, std::vector<float>& xout,
             std::vector<float>& yout, std::vector<int>& ips, int& nc) {
    if (nin < 2) platform::fatal("CUT_CRV", "kein Polygon, N<2");
    const ClipWindow& w = clip_window();
    xout.clear();
    yout.clear();
    ips.assign(1, 1);
    nc = 0;
    bool open_piece = false;
    for (int i = 1; i < nin; ++i) {
        const std::size_t a = static_cast<std::size_t>(i - 1), b = static_cast<std::size_t>(i);
        double t0, t1;
        if (!finite(xin[a], yin[a]) || !finite(xin[b], yin[b]) ||
            !clip_segment({xin[a], yin[a]}, {xin[b], yin[b]}, w, t0, t1) || t0 == t1) {
            // Not visible, or only touching the window in one point.
            if (open_piece) {
                ips.push_back(static_cast<int>(xout.size()) + 1);
                ++nc;
                open_piece = false;
            }
            continue;
        }
        const double dx = double(xin[b]) - xin[a], dy = double(yin[b]) - yin[a];
        const float sx = t0 == 0.0 ? xin[a] : static_cast<float>(xin[a] + t0 * dx);
        const float sy = t0 == 0.0 ? yin[a] : static_cast<float>(yin[a] + t0 * dy);
        const float ex = t1 == 1.0 ? xin[b] : static_cast<float>(xin[a] + t1 * dx);
        const float ey = t1 == 1.0 ? yin[b] : static_cast<float>(yin[a] + t1 * dy);
        if (!open_piece) {
            xout.push_back(sx);
            yout.push_back(sy);
            open_piece = true;
        }
        xout.push_back(ex);
        yout.push_back(ey);
        if (t1 < 1.0) {
            // The curve leaves the window here.
            ips.push_back(static_cast<int>(xout.size()) + 1);
            ++nc;
            open_piece = false;
        }
    }
    if (open_piece) {
        ips.push_back(static_cast<int>(xout.size()) + 1);
        ++nc;
    }
}

void CUTLINE(float x0, float y0, float x1, float y1, float xs[2], float ys[2], int& ns, int ibound[2]) {
    const ClipWindow& w = clip_window();
    ns = 0;
    ibound[0] = ibound[1] = 0;
    const double dx = double(x1) - x0, dy = double(y1) - y0;
    const double xm = 0.5 * (double(x0) + x1), ym = 0.5 * (double(y0) + y1);
    const double dl = 0.5 * std::sqrt(dx * dx + dy * dy);
    auto accept = [&](double x, double y, int border) {
        if (ns >= 2) return;
        const bool on_extent = (border == kLeft || border == kRight) ? (y >= w.YRV && y <= w.YRH)
                                                                     : (x >= w.XRL && x <= w.XRR);
        if (!on_extent || std::hypot(x - xm, y - ym) - dl >= 1.0e-4) return;
        // A segment through a window corner meets two borders in one point.
        if (ns == 1 && std::fabs(x - xs[0]) < 1.0e-4 && std::fabs(y - ys[0]) < 1.0e-4) return;
        xs[ns] = static_cast<float>(x);
        ys[ns] = static_cast<float>(y);
        ibound[ns] = border;
        ++ns;
    };
    if (dx != 0.0) {
        const double em = dy / dx, b = y1 - em * x1;
        accept(w.XRL, em * w.XRL + b, kLeft);
        accept(w.XRR, em * w.XRR + b, kRight);
        // A horizontal segment has no crossing with the bottom or top line to compute.
        if (em != 0.0) {
            accept((w.YRV - b) / em, w.YRV, kBottom);
            accept((w.YRH - b) / em, w.YRH, kTop);
        }
    } else {
        accept(x0, w.YRV, kBottom);
        accept(x0, w.YRH, kTop);
    }
}

void CORNERIN(int ibound, int lbound, std::span<const float> xin, std::span<const float> yin, int nin, int& nout,
              std::vector<float>& xout, std::vector<float>& yout) {
    const ClipWindow& w = clip_window();
    // The two corners at the ends of each border and the border each leads to.
    struct Corner {
        float x, y;
        int next;
    };
    auto corners = [&](int border, Corner c[2]) {
        switch (border) {
            case kLeft: c[0] = {w.XRL, w.YRV, kBottom}; c[1] = {w.XRL, w.YRH, kTop}; break;
            case kBottom: c[0] = {w.XRL, w.YRV, kLeft}; c[1] = {w.XRR, w.YRV, kRight}; break;
            case kRight: c[0] = {w.XRR, w.YRH, kTop}; c[1] = {w.XRR, w.YRV, kBottom}; break;
            default: c[0] = {w.XRR, w.YRH, kRight}; c[1] = {w.XRL, w.YRH, kLeft}; break;
        }
    };
    auto append = [&](const Corner& c) {
        xout.resize(static_cast<std::size_t>(nout));
        yout.resize(static_cast<std::size_t>(nout));
        xout.push_back(c.x);
        yout.push_back(c.y);
        ++nout;
    };
    int current = ibound;
    bool have_alternative = false;
    Corner alternative{};
    // Four borders are passed at most once each, with one return to the alternative.
    for (int step = 0; step < 8 && current != lbound; ++step) {
        Corner c[2];
        corners(current, c);
        const bool in0 = INPOLY(xin, yin, nin, c[0].x, c[0].y) >= 1;
        const bool in1 = INPOLY(xin, yin, nin, c[1].x, c[1].y) >= 1;
        if (in0 != in1) {
            append(in0 ? c[0] : c[1]);
            return;
        }
        if (in0 && in1) {
            if (c[0].next == lbound || c[1].next == lbound) {
                append(c[0].next == lbound ? c[0] : c[1]);
                return;
            }
            alternative = c[1];
            have_alternative = true;
            append(c[0]);
            current = c[0].next;
            continue;
        }
        if (!have_alternative) return;
        // Back to the other corner: it replaces the one taken last.
        --nout;
        append(alternative);
        current = alternative.next;
        have_alternative = false;
    }
}

int INPOLY(std::span<const float> x, std::span<const float> y, int n, float px, float py) {
    if (n >= 2 && std::fabs(x[static_cast<std::size_t>(n - 1)] - x[0]) < 1.0e-6f &&
        std::fabs(y[static_cast<std::size_t>(n - 1)] - y[0]) < 1.0e-6f)
        --n;
    if (n < 3) return 0;
    int crossings = 0, winding = 0;
    const std::size_t m = static_cast<std::size_t>(n);
    double xa = double(x[m - 1]) - px, ya = double(y[m - 1]) - py;
    for (std::size_t i = 0; i < m; ++i) {
        const double xb = double(x[i]) - px, yb = double(y[i]) - py;
        if (xb == 0.0 && yb == 0.0) return 1;
        const bool skip = (xa <= 0.0 && xb <= 0.0) || (xa > 0.0 && xb > 0.0) || (ya <= 0.0 && yb <= 0.0) ||
                          std::fabs(xa - xb) < 1.0e-20;
        if (!skip) {
            const double cr = xa * yb - xb * ya;
            const double q = cr / (xa - xb);
            if (q > 0.0) {
                ++crossings;
                winding += cr < 0.0 ? -1 : 1;
            }
        }
        xa = xb;
        ya = yb;
    }
    if (crossings % 2 != 0) return 1;
    return winding != 0 ? 1 : 0;
}

}  // namespace mapelements
