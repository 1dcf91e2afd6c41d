#include "flowplots/flowstep.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "velin/velin.h"

namespace flowplots::detail {

namespace {

// Pieces of one step at most; a step that would cross more cells takes its
// rest in one midpoint step (a parcel racing across a fine grid, or a point
// caught on the corner of four cells).
constexpr int kMaxPieces = 256;

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// Where the motion from p at rate r leaves the cell [lo, hi] of an axis of n
// cells, or the window [wlo, whi]: the coordinate reached and the parameter
// (length or time) it takes; `edge` when that is the end of the window or
// of the grid.
struct Exit {
    double at = 0.0, s = std::numeric_limits<double>::infinity();
    bool edge = false;
};

Exit exit_of(double p, double r, int I, int n, double lo, double hi, double wlo, double whi) {
    Exit e;
    if (r > 0.0) {
        e.edge = I == n || hi >= whi;
        e.at = e.edge ? std::min(hi, whi) : hi;
    } else if (r < 0.0) {
        e.edge = I == 1 || lo <= wlo;
        e.at = e.edge ? std::max(lo, wlo) : lo;
    } else {
        return e;
    }
    e.s = std::max((e.at - p) / r, 0.0);
    return e;
}

}  // namespace

Box drawn_box(double xmin, double xmax, double ymin, double ymax, double ex, double ey) {
    constexpr double kInset = 1e-3;
    return {xmin + kInset * ex, xmax - kInset * ex, ymin + kInset * ey, ymax - kInset * ey};
}

void draw_end_arrow(double x0, double y0, double x1, double y1, const Box& box) {
    constexpr int kArrow = 1031;
    const float ax = static_cast<float>(x0), ay = static_cast<float>(y0);
    const float bx = static_cast<float>(x1), by = static_cast<float>(y1);
    // In mm: the tip, the direction and the head of code 1031, 3/7 of the
    // character height long and 5/7 of it wide.
    const double tx = velin::XPOSN(bx, by), ty = velin::YPOSN(bx, by);
    double ux = tx - velin::XPOSN(ax, ay), uy = ty - velin::YPOSN(ax, ay);
    const double length = std::hypot(ux, uy);
    if (!(length > 0.0) || !std::isfinite(length)) return velin::RLVEC(ax, ay, bx, by, kArrow);
    ux /= length;
    uy /= length;
    const double h = velin::TXTHEI(), head = std::min(length, 3.0 * h / 7.0), half = 2.5 * h / 7.0;
    const float lo_x = static_cast<float>(box.xmin), hi_x = static_cast<float>(box.xmax);
    const float lo_y = static_cast<float>(box.ymin), hi_y = static_cast<float>(box.ymax);
    const double xmin = velin::XPOSN(lo_x, lo_y), xmax = velin::XPOSN(hi_x, hi_y);
    const double ymin = velin::YPOSN(lo_x, lo_y), ymax = velin::YPOSN(hi_x, hi_y);
    auto corner = [&](double px, double py, int side, double& cx, double& cy) {
        cx = px - head * ux - side * half * uy;
        cy = py - head * uy + side * half * ux;
    };
    // How far back along the line each corner needs to lie inside.
    double back = 0.0;
    for (int side : {-1, 1}) {
        double cx = 0.0, cy = 0.0;
        corner(tx, ty, side, cx, cy);
        auto need = [&](double c, double u, double lo, double hi) {
            if (c < lo && u < 0.0) back = std::max(back, (lo - c) / -u);
            if (c > hi && u > 0.0) back = std::max(back, (c - hi) / u);
        };
        need(cx, ux, xmin, xmax);
        need(cy, uy, ymin, ymax);
    }
    if (back > 0.0) back = std::min(back + 0.01, length);
    double mx = tx - back * ux, my = ty - back * uy;
    // A line running along the frame closer than the head is wide: the head
    // moves off it, onto the frame's inner side.
    double shift_x = 0.0, shift_y = 0.0;
    for (int side : {-1, 1}) {
        double cx = 0.0, cy = 0.0;
        corner(mx, my, side, cx, cy);
        for (double c : {cx, mx}) {
            if (c < xmin) shift_x = std::max(shift_x, xmin - c + 0.01);
            if (c > xmax) shift_x = std::min(shift_x, xmax - c - 0.01);
        }
        for (double c : {cy, my}) {
            if (c < ymin) shift_y = std::max(shift_y, ymin - c + 0.01);
            if (c > ymax) shift_y = std::min(shift_y, ymax - c - 0.01);
        }
    }
    if (back == 0.0 && shift_x == 0.0 && shift_y == 0.0) return velin::RLVEC(ax, ay, bx, by, kArrow);
    mx += shift_x;
    my += shift_y;
    // The head keeps the line's direction: it points from a millimetre behind its tip.
    const float rx = static_cast<float>(mx - ux), ry = static_cast<float>(my - uy);
    const float sx = static_cast<float>(mx), sy = static_cast<float>(my);
    velin::RLVEC(velin::XINVRS(rx, ry), velin::YINVRS(rx, ry), velin::XINVRS(sx, sy), velin::YINVRS(sx, sy), kArrow);
}

StepEnd advance(const FaceWind& w, const Box& box, bool by_length, double h, int I, int J, double u0, double v0,
                double& x, double& y) {
    double left = h;
    for (int piece = 1; left > 0.0; ++piece) {
        double u = u0, v = v0;
        if (piece > 1) w.at(I, J, x, y, u, v);
        const double speed = std::sqrt(u * u + v * v);
        if (!(speed >= kCalm) || !std::isfinite(speed)) return StepEnd::calm;
        if (by_length) {
            u /= speed;
            v /= speed;
        }
        const Exit ex = exit_of(x, u, I, w.x.n, w.x.F(I), w.x.F(I + 1), box.xmin, box.xmax);
        const Exit ey = exit_of(y, v, J, w.y.n, w.y.F(J), w.y.F(J + 1), box.ymin, box.ymax);
        const bool last_piece = piece == kMaxPieces;
        const double s = last_piece ? left : std::min({left, ex.s, ey.s});

        // The midpoint step inside the cell.
        double um = 0.0, vm = 0.0;
        w.at(I, J, x + 0.5 * s * u, y + 0.5 * s * v, um, vm);
        if (!finite(um, vm)) return StepEnd::calm;
        if (by_length) {
            const double sm = std::sqrt(um * um + vm * vm);
            if (sm > 0.0) {
                um /= sm;
                vm /= sm;
            } else {
                um = u;
                vm = v;
            }
        }
        const double px = x, py = y;
        x += s * um;
        y += s * vm;
        left -= s;
        // A piece whose midpoint turned it across the window's edge ends there.
        if (x < box.xmin || x > box.xmax || y < box.ymin || y > box.ymax) {
            double t = 1.0;
            auto cut = [&](double from, double to, double lo, double hi) {
                if (to < lo) t = std::min(t, (lo - from) / (to - from));
                if (to > hi) t = std::min(t, (hi - from) / (to - from));
            };
            cut(px, x, box.xmin, box.xmax);
            cut(py, y, box.ymin, box.ymax);
            t = std::max(t, 0.0);
            x = std::clamp(px + t * (x - px), box.xmin, box.xmax);
            y = std::clamp(py + t * (y - py), box.ymin, box.ymax);
            return StepEnd::edge;
        }
        if (last_piece) break;

        const bool cross_x = s == ex.s, cross_y = s == ey.s;
        if ((cross_x && ex.edge) || (cross_y && ey.edge)) {
            if (cross_x && ex.edge) x = ex.at;
            if (cross_y && ey.edge) y = ey.at;
            return StepEnd::edge;
        }
        if (cross_x) I += u > 0.0 ? 1 : -1;
        if (cross_y) J += v > 0.0 ? 1 : -1;
    }
    return StepEnd::full;
}

}  // namespace flowplots::detail
