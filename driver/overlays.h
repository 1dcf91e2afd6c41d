// The finishing overlays of a picture: scale bar (with "/m"), wind rose and
// north arrow (horizontal sections), placed on the page beside the plot where
// there is room. All boxes in page millimetres relative to the graph origin.
#pragma once

namespace driver {

struct Box {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return !(x1 > x0) || !(y1 > y0); }
    // Whether the interiors meet (touching edges do not count).
    bool overlaps(const Box& b) const {
        return !empty() && !b.empty() && x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1;
    }
    bool contains(const Box& b) const { return b.x0 >= x0 && b.x1 <= x1 && b.y0 >= y0 && b.y1 <= y1; }
};

// Where the overlays of the last picture went; an empty box for an overlay not drawn.
struct OverlayPlan {
    Box page;        // the page, less a small margin
    Box graph;       // the plot area
    Box legend;      // the legend box (empty without a legend)
    Box entries;     // the part of the legend that holds its entries
    Box scale_bar, rose, north;
};

const OverlayPlan& overlay_plan();

// The legend box blanks the picture when it stands inside the plot area.
bool legend_inside_plot(float xl, float yl, float wl, float hl, float gx, float gy);

// Places and draws the overlays of the finished picture.
struct Picture;
void draw_overlays(const Picture& p);

}  // namespace driver
