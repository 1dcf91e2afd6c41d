// The HP-GL and HP-GL/2 interpreter of the preview: instructions in, drawing
// operations out. It knows nothing of the drawing library; a Canvas receives
// strokes and fills in page millimetres (x to the right, y up, origin at the
// lower left corner of the page as the reader holds it).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace preview {

// Plotter units per millimetre, as VELIN writes them.
constexpr double UNITS_PER_MM = 40.2;

struct Point {
    float x = 0.0f, y = 0.0f;  // mm
};

struct Rgb {
    double r = 0.0, g = 0.0, b = 0.0;  // 0..1
    bool operator==(const Rgb&) const = default;
};

// A run of connected points, or a circle about points[0] when radius > 0.
// `down[i]` says whether the edge into point i is drawn (polygon edges skip
// pen-up moves); empty means all edges are drawn.
struct Subpath {
    std::vector<Point> points;
    std::vector<bool> down;
    bool closed = false;
    float radius = 0.0f;  // mm
};

struct Pen {
    Rgb colour;
    double width_mm = 0.0;      // 0 = the thinnest line the output can show
    std::vector<double> dashes;  // mm, drawn and gap lengths in turn; empty = solid
};

enum class FillKind { solid, hatch, cross_hatch };

struct Fill {
    FillKind kind = FillKind::solid;
    Rgb colour;
    bool even_odd = true;
    double spacing_mm = 0.0;  // hatch lines
    double angle_deg = 0.0;
    double line_width_mm = 0.0;  // the pen width of the hatch lines
};

// A page's orientation as the plot sets it: a rotation of 90 or 270 degrees
// turns the picture into a portrait one.
struct PageStart {
    int index = 0;  // 0-based
    bool portrait = false;
};

class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void begin_page(const PageStart& page) = 0;
    virtual void stroke(std::span<const Subpath> path, const Pen& pen) = 0;
    virtual void fill(std::span<const Subpath> path, const Fill& fill) = 0;
    virtual void end_page() = 0;
};

using WarningSink = std::function<void(std::string_view)>;

// Interprets a whole plot stream. A page begins with its first drawing
// operation and ends with "PG" (pages without drawing are left out). Unknown
// instructions are skipped with one warning per mnemonic; bytes that cannot be
// HP-GL, numbers out of range and a stream that stops before its last page end
// are fatal (platform::Fatal). Returns the number of pages drawn.
int interpret(std::string_view hpgl, Canvas& canvas, const WarningSink& warn);

// The first bytes of a plot file: fatal when they hold anything that cannot
// be HP-GL (a stream that merely stops within them is no fault here).
void check_hpgl_start(std::string_view first_bytes);

}  // namespace preview
