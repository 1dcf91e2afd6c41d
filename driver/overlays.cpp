// Placement of the finishing overlays. The overlays form a stack (scale bar,
// wind rose, north arrow, top to bottom), each a box of known size. The
// places taken are the plot area with its axis labels and title, the part of
// the legend that holds entries, and the logo. The stack is tried, in turn:
//   1 in the column beside the plot, below the legend's entries, downwards
//   2 in that column from its top, downwards (above the legend)
//   3 in columns further right, beside the legend, from the top, downwards
//   4 above the plot, rightwards from its left edge
// and must lie on the page. Where the stack fits nowhere whole, each overlay
// looks for its own place the same way; one that fits nowhere is left out
// with a warning rather than drawn off the page.
#include "driver/overlays.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "driver/dialogue.h"
#include "driver/settings.h"
#include "mapelements/legend.h"
#include "mapelements/mapsymbols.h"
#include "platform/console.h"
#include "platform/text.h"
#include "resultfile/model.h"
#include "velin/velin.h"

namespace driver {

namespace {

using platform::fixed;

OverlayPlan g_plan;

// Distance kept from the edge of the page, and the search step (mm).
constexpr float kPageMargin = 2.0f;
constexpr float kStep = 1.0f;
// Wind rose radius, north arrow length and width (mm).
constexpr float kRoseRadius = 8.0f;
constexpr float kNorthLength = 16.0f, kNorthWidth = 6.0f;
// Height of the scale bar (mm) and the longest bar with its labels.
constexpr float kBarHeight = 1.5f;
constexpr float kBarSpace = 35.0f;

// A scale bar of a round length that fits the space.
float scale_bar_length(float space) {
    float best = 0.0f;
    for (float decade = 1.0f; decade <= 1.0e6f; decade *= 10.0f)
        for (float f : {1.0f, 2.0f, 5.0f})
            if (mapelements::XSKALA(f * decade, 'T') <= space) best = f * decade;
    return best > 0.0f ? best : 1.0f;
}

struct Item {
    float w = 0, h = 0;  // size of its box
    Box* placed = nullptr;
};

class Placer {
public:
    Placer(Box page, std::vector<Box> taken) : page_(page), taken_(std::move(taken)) {}

    // The boxes of the stack with its top left corner at (x, top), centred on one axis.
    static std::vector<Box> boxes(const std::vector<Item>& items, float x, float top, float gap) {
        float width = 0.0f;
        for (const Item& it : items) width = std::max(width, it.w);
        std::vector<Box> out;
        float y = top;
        for (const Item& it : items) {
            const float left = x + 0.5f * (width - it.w);
            out.push_back(Box{left, y - it.h, left + it.w, y});
            y -= it.h + gap;
        }
        return out;
    }

    bool fits(const std::vector<Item>& items, float x, float top, float gap) const {
        for (const Box& b : boxes(items, x, top, gap)) {
            if (!page_.contains(b)) return false;
            for (const Box& t : taken_)
                if (t.overlaps(b)) return false;
        }
        return true;
    }

    void take(const std::vector<Item>& items, float x, float top, float gap) {
        const std::vector<Box> placed = boxes(items, x, top, gap);
        for (std::size_t i = 0; i < items.size(); ++i) {
            *items[i].placed = placed[i];
            taken_.push_back(placed[i]);
        }
    }

    // Scans column x downwards from `top`; true when placed.
    bool down(const std::vector<Item>& items, float x, float top, float gap) {
        for (float t = std::min(top, page_.y1); t >= page_.y0; t -= kStep)
            if (fits(items, x, t, gap)) {
                take(items, x, t, gap);
                return true;
            }
        return false;
    }

    // Scans the band whose bottom is y rightwards from x, then upwards.
    bool rightwards(const std::vector<Item>& items, float x, float y, float gap) {
        float height = -gap;
        for (const Item& it : items) height += it.h + gap;
        for (float bottom = y; bottom + height <= page_.y1; bottom += kStep)
            for (float left = x; left <= page_.x1; left += kStep)
                if (fits(items, left, bottom + height, gap)) {
                    take(items, left, bottom + height, gap);
                    return true;
                }
        return false;
    }

private:
    Box page_;
    std::vector<Box> taken_;
};

}  // namespace

const OverlayPlan& overlay_plan() { return g_plan; }

bool legend_inside_plot(float xl, float yl, float wl, float hl, float gx, float gy) {
    return Box{xl, yl, xl + wl, yl + hl}.overlaps(Box{0.0f, 0.0f, gx, gy});
}

void draw_overlays(const Picture& p) {
    const Settings& s = settings();
    auto& con = platform::console();
    const resultfile::WindData& w = resultfile::wind_data();
    const mapelements::LegendState& leg = mapelements::RRLEGP();
    const bool horizontal = p.section.level();
    const float h = 0.8f * s.ZH;  // text height of the overlays
    const float gap = std::max(2.0f, s.ZH);

    g_plan = OverlayPlan();
    float page_w = 0, page_h = 0;
    velin::PSIZE(page_w, page_h);
    g_plan.page = Box{-s.XN + kPageMargin, -p.YN + kPageMargin, page_w - s.XN - kPageMargin, page_h - p.YN - kPageMargin};
    g_plan.graph = Box{0.0f, 0.0f, p.GX, p.GY};

    // What is taken: the plot with its numbers and names below and its
    // title above (everything left of it holds the y axis), the used part of
    // the legend, the logo.
    std::vector<Box> taken;
    const float right = s.AXTXT ? 2.0f * s.ZH : 1.0f;
    const float below = s.AXTXT ? 4.5f * s.ZH + 1.0f : 0.01f * std::max(p.GX, p.GY) + 1.0f;
    const float title_top = p.GY + 2.7f * s.ZH + 1.0f;
    taken.push_back(Box{g_plan.page.x0 - 1.0f, -below, p.GX + right, title_top});
    const bool legend = !mapelements::legend_switched_off() && leg.LEVEL != 0;
    float entries_bottom = title_top;
    if (legend) {
        // Below the entries is where LEGBORD puts further contents.
        float legend_x = 0;
        mapelements::LEGBORD(legend_x, entries_bottom);
        g_plan.legend = Box{leg.XLEG, leg.YLEG, leg.XLEG + leg.WLEG, leg.YLEG + leg.HLEG};
        g_plan.entries = Box{leg.XLEG, std::min(entries_bottom, leg.YLEG + leg.HLEG),
                             std::max(leg.XLEG + leg.WLEG, leg.XBORD), leg.YLEG + leg.HLEG};
        const bool inside = legend_inside_plot(leg.XLEG, leg.YLEG, leg.WLEG, leg.HLEG, p.GX, p.GY);
        taken.push_back(inside ? Box{leg.XLEG, leg.YLEG, g_plan.entries.x1, g_plan.entries.y1} : g_plan.entries);
    }
    if (s.LOGO) {
        velin::HEIGHT(2.0f * s.ZH);
        const float width = velin::XMESS("aVO", 3);
        taken.push_back(Box{p.GX + 5.0f, p.GY + 1.5f * s.ZH - 0.5f, p.GX + 5.0f + width, p.GY + 3.5f * s.ZH + 0.5f});
    }
    velin::HEIGHT(h);

    // The overlays and their sizes.
    std::vector<Item> items;
    float bar_length = 0, zero_width = 0;
    if (!s.AXTXT) {
        bar_length = scale_bar_length(kBarSpace);
        zero_width = velin::XMESS("0", 1);
        items.push_back({mapelements::XSKALA(bar_length, 'T'), kBarHeight + 1.5f * h + 0.2f, &g_plan.scale_bar});
    }
    if (horizontal) {
        const float rose = 2.0f * (1.3f * kRoseRadius + 0.5f + 1.2f * h);
        const float north = 2.0f * std::max(std::hypot(0.5f * kNorthLength, 0.5f * kNorthWidth),
                                            0.5f * kNorthLength + 0.5f + 1.2f * h);
        items.push_back({rose, rose, &g_plan.rose});
        items.push_back({north, north, &g_plan.north});
    }

    Placer placer(g_plan.page, taken);
    const bool legend_beside = legend && leg.XLEG >= p.GX - 0.01f;
    const float column = std::max(p.GX + right + gap, legend_beside ? leg.XLEG + leg.XLSEP : 0.0f);
    const float below_legend = legend_beside ? entries_bottom - gap : title_top;
    const float beside_legend = legend ? std::max({leg.XLEG + leg.WLEG, leg.XBORD, column}) + gap : column;
    auto place = [&](const std::vector<Item>& stack) {
        return placer.down(stack, column, below_legend, gap) || placer.down(stack, column, title_top, gap) ||
               placer.down(stack, beside_legend, title_top, gap) ||
               placer.rightwards(stack, beside_legend, -below, gap) || placer.rightwards(stack, 0.0f, title_top, gap);
    };
    if (!items.empty() && !place(items)) {
        for (const Item& it : items)
            if (!place({it})) con.line(" MURAL-W-kein Platz auf dem Blatt für Maßstab, Windrose oder Nordpfeil");
    }

    if (!g_plan.scale_bar.empty()) {
        velin::SELPEN(1);
        mapelements::MSKALA(g_plan.scale_bar.x0 + 0.5f * zero_width, g_plan.scale_bar.y0, 'L', bar_length, kBarHeight,
                            4);
    }
    if (!g_plan.rose.empty()) {
        velin::SELPEN(1);
        const float xr = 0.5f * (g_plan.rose.x0 + g_plan.rose.x1), yr = 0.5f * (g_plan.rose.y0 + g_plan.rose.y1);
        mapelements::DIRNOFL(w.WNord, w.DD, kRoseRadius, xr, yr);
        con.line(" ** Windrichtungsanzeige eingezeichnet:" + fixed(xr, 8, 1) + fixed(yr, 8, 1));
    }
    if (!g_plan.north.empty()) {
        const float xn = 0.5f * (g_plan.north.x0 + g_plan.north.x1), yn = 0.5f * (g_plan.north.y0 + g_plan.north.y1);
        mapelements::NORTH(kNorthLength, kNorthWidth, w.WNord, xn, yn);
        con.line(" ** Nordpfeil eingezeichnet:" + fixed(xn, 8, 1) + fixed(yn, 8, 1));
    }
    velin::HEIGHT(s.ZH);
}

}  // namespace driver
