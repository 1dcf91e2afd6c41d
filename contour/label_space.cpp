// Where isoline labels may stand. A label is a box on the page (its text
// with a little clearance), turned to its line. It must lie inside the plot
// area and clear of what the caller keeps labels off (obstacles, the legend
// box) and of the labels placed before it.
//
// Shapes are kept as straight segments in square buckets of the page, so a
// box is tested only against the segments near it: a segment hits the box
// when part of it lies inside (clipped in the box's own coordinates, along
// and across the text). An area also hits a box whose centre lies inside
// it, which covers a box wholly inside a large area.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "contour/internal.h"
#include "contour/isolines.h"
#include "velin/velin.h"

namespace contour {

namespace {

constexpr float kBucket = 5.0f;  // mm
// Buckets beyond the plot area by this much are not kept: no label stands there.
constexpr float kReach = 10.0f;  // mm
// The box keeps this far inside the frame of the plot, mm.
constexpr float kFrameMargin = 0.2f;

struct Segment {
    float x0, y0, x1, y1;
};

class ShapeIndex {
public:
    void clear() {
        segments_.clear();
        areas_.clear();
        segment_buckets_.clear();
        area_buckets_.clear();
    }

    void add_line(std::span<const float> x, std::span<const float> y, bool closed) {
        const std::size_t n = std::min(x.size(), y.size());
        for (std::size_t k = 1; k < n; ++k) add_segment({x[k - 1], y[k - 1], x[k], y[k]});
        if (closed && n > 2) add_segment({x[n - 1], y[n - 1], x[0], y[0]});
    }

    void add_area(std::span<const float> x, std::span<const float> y) {
        const std::size_t n = std::min(x.size(), y.size());
        if (n < 3) return add_line(x, y, false);
        add_line(x, y, true);
        std::vector<std::pair<float, float>> polygon;
        for (std::size_t k = 0; k < n; ++k) polygon.emplace_back(x[k], y[k]);
        const auto [lx, hx] = std::minmax_element(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n));
        const auto [ly, hy] = std::minmax_element(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(n));
        const int index = static_cast<int>(areas_.size());
        areas_.push_back(std::move(polygon));
        for_buckets(*lx, *ly, *hx, *hy, [&](std::int64_t key) { area_buckets_[key].push_back(index); });
    }

    bool hits(const detail::LabelBox& b) const {
        float lx = 0, ly = 0, hx = 0, hy = 0;
        bounds(b, lx, ly, hx, hy);
        bool hit = false;
        for_buckets(lx, ly, hx, hy, [&](std::int64_t key) {
            if (hit) return;
            auto it = segment_buckets_.find(key);
            if (it == segment_buckets_.end()) return;
            for (int s : it->second)
                if (crosses(b, segments_[static_cast<std::size_t>(s)])) {
                    hit = true;
                    return;
                }
        });
        if (hit) return true;
        auto it = area_buckets_.find(key_of(cell(b.cx), cell(b.cy)));
        if (it == area_buckets_.end()) return false;
        for (int a : it->second)
            if (inside(areas_[static_cast<std::size_t>(a)], b.cx, b.cy)) return true;
        return false;
    }

private:
    static long cell(float v) { return static_cast<long>(std::floor(v / kBucket)); }
    static std::int64_t key_of(long i, long j) {
        return (static_cast<std::int64_t>(i) << 32) ^ static_cast<std::int64_t>(static_cast<std::uint32_t>(j));
    }

    // Calls f for every bucket under the rectangle, limited to the plot area and its surroundings.
    template <typename F>
    static void for_buckets(float lx, float ly, float hx, float hy, F f) {
        const velin::DrawSettings& s = velin::plot_state().s;
        lx = std::max(lx, -kReach);
        ly = std::max(ly, -kReach);
        hx = std::min(hx, s.axis_x + kReach);
        hy = std::min(hy, s.axis_y + kReach);
        if (!(lx <= hx) || !(ly <= hy)) return;
        for (long i = cell(lx); i <= cell(hx); ++i)
            for (long j = cell(ly); j <= cell(hy); ++j) f(key_of(i, j));
    }

    void add_segment(const Segment& g) {
        if (!std::isfinite(g.x0) || !std::isfinite(g.y0) || !std::isfinite(g.x1) || !std::isfinite(g.y1)) return;
        const int index = static_cast<int>(segments_.size());
        segments_.push_back(g);
        for_buckets(std::min(g.x0, g.x1), std::min(g.y0, g.y1), std::max(g.x0, g.x1), std::max(g.y0, g.y1),
                    [&](std::int64_t key) { segment_buckets_[key].push_back(index); });
    }

    static void bounds(const detail::LabelBox& b, float& lx, float& ly, float& hx, float& hy) {
        const float ex = std::fabs(b.ux) * b.half_length + std::fabs(b.uy) * b.half_height;
        const float ey = std::fabs(b.uy) * b.half_length + std::fabs(b.ux) * b.half_height;
        lx = b.cx - ex, hx = b.cx + ex, ly = b.cy - ey, hy = b.cy + ey;
    }

    // Liang-Barsky: does part of the segment lie in the box?
    static bool crosses(const detail::LabelBox& b, const Segment& g) {
        auto along = [&](float x, float y) { return (x - b.cx) * b.ux + (y - b.cy) * b.uy; };
        auto across = [&](float x, float y) { return -(x - b.cx) * b.uy + (y - b.cy) * b.ux; };
        const float s0 = along(g.x0, g.y0), t0 = across(g.x0, g.y0);
        const float ds = along(g.x1, g.y1) - s0, dt = across(g.x1, g.y1) - t0;
        float enter = 0.0f, leave = 1.0f;
        auto clip = [&](float p, float q) {
            // p * f <= q for the part inside
            if (p == 0.0f) return q >= 0.0f;
            const float f = q / p;
            if (p < 0.0f) enter = std::max(enter, f);
            else leave = std::min(leave, f);
            return enter <= leave;
        };
        return clip(-ds, s0 + b.half_length) && clip(ds, b.half_length - s0) && clip(-dt, t0 + b.half_height) &&
               clip(dt, b.half_height - t0);
    }

    static bool inside(const std::vector<std::pair<float, float>>& p, float x, float y) {
        bool in = false;
        for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
            const auto [xi, yi] = p[i];
            const auto [xj, yj] = p[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    }

    std::vector<Segment> segments_;
    std::vector<std::vector<std::pair<float, float>>> areas_;
    std::unordered_map<std::int64_t, std::vector<int>> segment_buckets_, area_buckets_;
};

ShapeIndex& keep_out() {
    static ShapeIndex index;
    return index;
}

ShapeIndex& placed() {
    static ShapeIndex index;
    return index;
}

}  // namespace

void clear_label_keep_out() { keep_out().clear(); }

void keep_labels_off_area(std::span<const float> X, std::span<const float> Y) { keep_out().add_area(X, Y); }

void keep_labels_off_line(std::span<const float> X, std::span<const float> Y) { keep_out().add_line(X, Y, false); }

namespace detail {

bool label_fits(const LabelBox& b) {
    const velin::DrawSettings& s = velin::plot_state().s;
    for (float along : {-b.half_length, b.half_length})
        for (float across : {-b.half_height, b.half_height}) {
            const float x = b.cx + along * b.ux - across * b.uy, y = b.cy + along * b.uy + across * b.ux;
            if (!(x >= kFrameMargin && x <= s.axis_x - kFrameMargin && y >= kFrameMargin &&
                  y <= s.axis_y - kFrameMargin))
                return false;
        }
    return !keep_out().hits(b) && !placed().hits(b);
}

void add_placed_label(const LabelBox& b) {
    // The corners in order round the box.
    const float along[4] = {-b.half_length, b.half_length, b.half_length, -b.half_length};
    const float across[4] = {-b.half_height, -b.half_height, b.half_height, b.half_height};
    float x[4], y[4];
    for (int k = 0; k < 4; ++k) {
        x[k] = b.cx + along[k] * b.ux - across[k] * b.uy;
        y[k] = b.cy + along[k] * b.uy + across[k] * b.ux;
    }
    placed().add_area(x, y);
}

void clear_placed_labels() { placed().clear(); }

}  // namespace detail

}  // namespace contour
