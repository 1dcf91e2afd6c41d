// What a picture's pages are drawn with: paths in page millimetres (y up),
// stroked or filled in one colour. cairo draws PNG and SVG; PDF has a writer
// of its own, since cairo's PDF output of a plot of a few hundred thousand
// lines takes several times as long as drawing it.
#pragma once

#include <span>

#include "preview/hpgl.h"

namespace preview {

struct StrokeStyle {
    double width = 0.0;  // mm
    bool round = true;   // round caps and joins; else flat caps and bevelled joins
    std::span<const double> dashes;  // mm, drawn and gap lengths in turn; empty = solid
    double dash_offset = 0.0;        // mm
};

class Device {
public:
    virtual ~Device() = default;
    // A page of width x height mm whose lower left corner is the point (x0, y0) of the drawing.
    virtual void begin_page(double width, double height, double x0, double y0) = 0;
    virtual void end_page() = 0;
    // The path is built by these and used up by stroke or fill.
    virtual void move_to(double x, double y) = 0;
    virtual void line_to(double x, double y) = 0;
    virtual void close_path() = 0;
    virtual void circle(double x, double y, double radius) = 0;  // a closed subpath of its own
    virtual void new_path() = 0;
    virtual void stroke(const Rgb& colour, const StrokeStyle& style) = 0;
    virtual void fill(const Rgb& colour, bool even_odd) = 0;
    // Completes the output after the last page.
    virtual void finish() = 0;
};

}  // namespace preview
