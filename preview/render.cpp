// The pictures of a plot: the plot stream is read twice, first to find each
// page's extent and orientation, then to draw, PNG and SVG with cairo, PDF
// with MURAL's own writer. Page millimetres (y up) become device units by one
// scale: points for PDF and SVG, pixels for PNG.
//
// Lines are round-capped and round-joined like a plotter pen and never
// thinner than MIN_VECTOR_WIDTH (one pixel in PNG), so that the thinnest pen
// stays visible. Hatching is drawn as parallel lines on a grid fixed at the
// page origin, cut to the polygon by the fill rule along each line (cairo's
// clipping to a self-intersecting polygon of thousands of edges takes
// minutes and gigabytes); lines closer than their width fill the area solid,
// and so does a hatching that would take more work than a page needs.
//
// A plot that draws at negative coordinates (a foreign one) gets a page that
// begins at its drawing, so that nothing of it is lost.
#include <cairo-svg.h>
#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cerrno>
#include <cmath>
#include <exception>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "preview/device.h"
#include "preview/pdf.h"
#include "preview/preview.h"

namespace preview {

namespace {

constexpr char ROUTINE[] = "PREVIEW";
constexpr double MM_PER_INCH = 25.4;
constexpr double POINTS_PER_MM = 72.0 / MM_PER_INCH;
constexpr double MIN_VECTOR_WIDTH = 0.1;  // mm
// Work of one hatched fill: hatch lines times polygon edges. Beyond it the
// area is filled solid (a page of fine hatching over a detailed map takes a
// few million).
constexpr double MAX_HATCH_WORK = 4.0e7;
// Room left around a drawing that a page is made to follow (mm).
constexpr double PAGE_MARGIN = 2.0;
// Longest piece of a circle's outline when a circle is hatched (mm).
constexpr double CIRCLE_STEP = 0.2;
// A raster of more pixels than this is refused (4 bytes each).
constexpr double MAX_PIXELS = 100e6;
constexpr int MAX_SIDE = 32767;
// Points of the strokes gathered into one path before it is drawn.
constexpr std::size_t MAX_BATCH = 1u << 10;
// Longest piece of a line stroked at once.
constexpr std::size_t MAX_PIECE = 16;

struct PageExtent {
    bool portrait = false;
    double min_x = 0.0, min_y = 0.0;  // mm; below 0 only when the plot draws there
    double max_x = 0.0, max_y = 0.0;  // mm
};

// A page: its size and the drawing's point at its lower left corner.
struct PageBox {
    double width = 297.0, height = 210.0;  // mm
    double x0 = 0.0, y0 = 0.0;             // mm
};

// The first pass: how far each page's drawing reaches.
class MeasuringCanvas : public Canvas {
public:
    std::vector<PageExtent> pages;

    void begin_page(const PageStart& page) override {
        pages.push_back({page.portrait, 0.0, 0.0});
    }
    void stroke(std::span<const Subpath> path, const Pen&) override { take(path); }
    void fill(std::span<const Subpath> path, const Fill&) override { take(path); }
    void end_page() override {}

private:
    void take(std::span<const Subpath> path) {
        PageExtent& e = pages.back();
        for (const Subpath& k : path) {
            for (const Point& p : k.points) {
                e.min_x = std::min(e.min_x, static_cast<double>(p.x) - k.radius);
                e.min_y = std::min(e.min_y, static_cast<double>(p.y) - k.radius);
                e.max_x = std::max(e.max_x, static_cast<double>(p.x) + k.radius);
                e.max_y = std::max(e.max_y, static_cast<double>(p.y) + k.radius);
            }
        }
    }
};

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Owners of cairo's and libpng's objects: released however the drawing ends.
struct SurfaceRelease {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceRelease>;
struct ContextRelease {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using ContextPtr = std::unique_ptr<cairo_t, ContextRelease>;

class PngWriteStruct {
public:
    PngWriteStruct()
        : png(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr)),
          info(png ? png_create_info_struct(png) : nullptr) {}
    ~PngWriteStruct() { png_destroy_write_struct(&png, &info); }
    PngWriteStruct(const PngWriteStruct&) = delete;
    PngWriteStruct& operator=(const PngWriteStruct&) = delete;
    png_structp png;
    png_infop info;
};

void check(cairo_status_t status, std::string_view what) {
    if (status != CAIRO_STATUS_SUCCESS)
        platform::fatal(ROUTINE, std::string(what) + ": " + cairo_status_to_string(status));
}

// PNG and SVG are drawn by cairo, on a surface of the first page.
class CairoDevice final : public Device {
public:
    CairoDevice(Format format, double scale, std::string& out) : format_(format), scale_(scale), out_(out) {}

    void begin_page(double w, double h, double x0, double y0) override {
        if (surface_) return;  // only the first page is drawn
        if (format_ == Format::png) {
            double pw = std::round(w * scale_), ph = std::round(h * scale_);
            if (pw < 1 || ph < 1 || pw > MAX_SIDE || ph > MAX_SIDE || pw * ph > MAX_PIXELS)
                platform::fatal(ROUTINE, "Bild zu groß (" + std::to_string(static_cast<long long>(pw)) + " x " +
                                             std::to_string(static_cast<long long>(ph)) +
                                             " Pixel): kleinere Auflösung wählen");
            surface_.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(pw), static_cast<int>(ph)));
        } else {
            surface_.reset(cairo_svg_surface_create_for_stream(append_bytes, &out_, w * scale_, h * scale_));
            cairo_svg_surface_set_document_unit(surface_.get(), CAIRO_SVG_UNIT_PT);
        }
        check(cairo_surface_status(surface_.get()), "Ausgabe anlegen");
        cr_.reset(cairo_create(surface_.get()));
        cairo_t* cr = cr_.get();
        // cairo's fast antialiasing (a coarser grid of samples per pixel)
        // draws a plot of thin pen lines at half the cost, with edges that
        // differ by a shade.
        if (format_ == Format::png) cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_translate(cr, 0.0, h * scale_);
        cairo_scale(cr, scale_, -scale_);
        cairo_translate(cr, -x0, -y0);
    }
    void end_page() override {}
    void move_to(double x, double y) override { cairo_move_to(cr_.get(), x, y); }
    void line_to(double x, double y) override { cairo_line_to(cr_.get(), x, y); }
    void close_path() override { cairo_close_path(cr_.get()); }
    void circle(double x, double y, double radius) override {
        cairo_new_sub_path(cr_.get());
        cairo_arc(cr_.get(), x, y, radius, 0.0, 2.0 * std::numbers::pi);
        cairo_close_path(cr_.get());
    }
    void new_path() override { cairo_new_path(cr_.get()); }

    void stroke(const Rgb& colour, const StrokeStyle& style) override {
        cairo_t* cr = cr_.get();
        cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
        cairo_set_line_width(cr, style.width);
        cairo_set_line_cap(cr, style.round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, style.round ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_BEVEL);
        cairo_set_dash(cr, style.dashes.data(), static_cast<int>(style.dashes.size()), style.dash_offset);
        cairo_stroke(cr);
    }

    void fill(const Rgb& colour, bool even_odd) override {
        cairo_t* cr = cr_.get();
        cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
        cairo_set_fill_rule(cr, even_odd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    }

    void finish() override {
        check(cairo_status(cr_.get()), "Zeichnen");
        if (format_ == Format::png) write_png();
        cr_.reset();
        cairo_surface_finish(surface_.get());
        check(cairo_surface_status(surface_.get()), "Ausgabe");
    }

private:
    // The image as an 8-bit RGB PNG. A plot is mostly white paper: a fast
    // compression level makes files hardly larger and takes a fraction of
    // the time of the default one, and rows left unfiltered pack thin lines
    // on paper better than libpng's choice of filter per row, in less time.
    void write_png() {
        cairo_surface_flush(surface_.get());
        const int w = cairo_image_surface_get_width(surface_.get()), h = cairo_image_surface_get_height(surface_.get());
        const int stride = cairo_image_surface_get_stride(surface_.get());
        const unsigned char* data = cairo_image_surface_get_data(surface_.get());
        PngWriteStruct writer;
        const png_structp png = writer.png;
        const png_infop info = writer.info;
        if (!png || !info) platform::fatal(ROUTINE, "PNG nicht anzulegen");
        std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
        // libpng reports errors by a long jump back here.
        if (setjmp(png_jmpbuf(png))) platform::fatal(ROUTINE, "PNG nicht zu schreiben");
        png_set_write_fn(
            png, &out_,
            [](png_structp p, png_bytep bytes, png_size_t n) {
                static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(bytes), n);
            },
            nullptr);
        png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 2);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        const double dots_per_metre = scale_ * 1000.0;
        png_set_pHYs(png, info, static_cast<png_uint_32>(std::lround(dots_per_metre)),
                     static_cast<png_uint_32>(std::lround(dots_per_metre)), PNG_RESOLUTION_METER);
        png_write_info(png, info);
        for (int y = 0; y < h; ++y) {
            const auto* pixels = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = pixels[x];
                row[static_cast<std::size_t>(3 * x)] = static_cast<unsigned char>((p >> 16) & 0xFF);
                row[static_cast<std::size_t>(3 * x + 1)] = static_cast<unsigned char>((p >> 8) & 0xFF);
                row[static_cast<std::size_t>(3 * x + 2)] = static_cast<unsigned char>(p & 0xFF);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }

    Format format_;
    double scale_;  // device units per mm
    std::string& out_;
    // The context goes before its surface.
    SurfacePtr surface_;
    ContextPtr cr_;
};

// The second pass: the plot's strokes and fills drawn on the format's device.
class PageCanvas : public Canvas {
public:
    PageCanvas(Format format, std::vector<PageBox> sizes, double dpi, const WarningSink& warn, std::string& out)
        : format_(format), sizes_(std::move(sizes)), warn_(warn) {
        scale_ = format == Format::png ? dpi / MM_PER_INCH : POINTS_PER_MM;
        min_width_ = format == Format::png ? std::max(MIN_VECTOR_WIDTH, 1.0 / scale_) : MIN_VECTOR_WIDTH;
        if (format == Format::pdf) device_ = std::make_unique<PdfWriter>(out);
        else device_ = std::make_unique<CairoDevice>(format, scale_, out);
    }

    void begin_page(const PageStart& page) override {
        drawing_ = page.index < static_cast<int>(sizes_.size()) && (format_ == Format::pdf || page.index == 0);
        if (!drawing_) return;
        start(sizes_[static_cast<std::size_t>(page.index)]);
    }

    // Strokes of one pen in a row are gathered into one path (the dash
    // pattern starts anew on each subpath, so nothing changes but the speed).
    void stroke(std::span<const Subpath> path, const Pen& pen) override {
        if (!drawing_) return;
        flush_areas();
        if (pending_ > 0 && !same_pen(pen)) flush();
        for (const Subpath& k : path) {
            if (k.radius == 0.0f && k.points.size() > MAX_PIECE) {
                flush();
                pen_ = pen;
                stroke_in_pieces(k);
                continue;
            }
            if (pending_ == 0) {
                pen_ = pen;
                device_->new_path();
            }
            pending_ += k.points.size() + 1;
            add({&k, 1}, true);
            if (pending_ >= MAX_BATCH) flush();
        }
    }

    void fill(std::span<const Subpath> path, const Fill& fill) override {
        if (!drawing_) return;
        flush();
        // Simple areas of one colour in a row (arrow heads) are filled together.
        if (fill.kind == FillKind::solid && path.size() == 1 && path[0].radius == 0.0f && path[0].points.size() >= 3) {
            if (!areas_.empty() && !(area_colour_ == fill.colour)) flush_areas();
            area_colour_ = fill.colour;
            areas_.push_back(path[0].points);
            area_points_ += path[0].points.size();
            if (area_points_ >= MAX_BATCH) flush_areas();
            return;
        }
        flush_areas();
        device_->new_path();
        add(path, false);
        if (fill.kind == FillKind::solid || !hatch(path, fill)) device_->fill(fill.colour, fill.even_odd);
        device_->new_path();
    }

    void end_page() override {
        if (!drawing_) return;
        flush_areas();
        flush();
        device_->end_page();
        drawing_ = false;
    }

    // Completes the output; a plot without any page gives one empty page.
    void finish() {
        if (!started_) {
            start(sizes_.empty() ? PageBox{} : sizes_.front());
            device_->end_page();
        }
        device_->finish();
    }

private:
    void start(const PageBox& page) {
        device_->begin_page(page.width, page.height, page.x0, page.y0);
        started_ = true;
        page_ = page;
    }

    bool same_pen(const Pen& pen) const {
        return pen.colour == pen_.colour && pen.width_mm == pen_.width_mm && pen.dashes == pen_.dashes;
    }

    // Fills the gathered areas as one path. Each area is one simple ring, so
    // turning every ring the same way and filling by winding number paints
    // exactly the union of the areas, as filling them one by one does.
    void flush_areas() {
        if (areas_.empty()) return;
        device_->new_path();
        for (const std::vector<Point>& ring : areas_) {
            double twice_area = 0.0;
            for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
                twice_area += static_cast<double>(ring[j].x) * ring[i].y - static_cast<double>(ring[i].x) * ring[j].y;
            const bool reverse = twice_area < 0.0;
            for (std::size_t n = 0; n < ring.size(); ++n) {
                const Point& p = ring[reverse ? ring.size() - 1 - n : n];
                if (n == 0) device_->move_to(p.x, p.y);
                else device_->line_to(p.x, p.y);
            }
            device_->close_path();
        }
        device_->fill(area_colour_, false);
        areas_.clear();
        area_points_ = 0;
    }

    // Strokes the gathered path.
    // A long line crossing itself many times (the outline of a map polygon
    // gone wrong) is stroked in pieces: cairo's stroke of one such path costs
    // the square of its crossings. A dash pattern runs on across the pieces.
    void stroke_in_pieces(const Subpath& k) {
        const std::size_t n = k.points.size();
        auto down = [&](std::size_t i) { return k.down.empty() || k.down[i]; };
        double run = 0.0;  // drawn length since the last pen-up move (mm)
        for (std::size_t start = 0; start + 1 < n || (k.closed && start + 1 == n); start += MAX_PIECE) {
            const std::size_t end = std::min(start + MAX_PIECE, n - 1);
            Subpath piece;
            piece.points.assign(k.points.begin() + static_cast<std::ptrdiff_t>(start),
                                k.points.begin() + static_cast<std::ptrdiff_t>(end) + 1);
            for (std::size_t i = start; i <= end; ++i) piece.down.push_back(i == start || down(i));
            // The closing edge belongs to the last piece.
            if (k.closed && end == n - 1) {
                piece.points.push_back(k.points.front());
                piece.down.push_back(true);
            }
            device_->new_path();
            add({&piece, 1}, true);
            pending_ = piece.points.size();
            flush(run);
            for (std::size_t i = 1; i < piece.points.size(); ++i) {
                if (!piece.down[i]) {
                    run = 0.0;
                    continue;
                }
                run += std::hypot(piece.points[i].x - piece.points[i - 1].x, piece.points[i].y - piece.points[i - 1].y);
            }
            if (end == n - 1) break;
        }
    }

    void flush(double dash_offset = 0.0) {
        if (pending_ == 0) return;
        pending_ = 0;
        const double width = std::max(pen_.width_mm, min_width_);
        // A pen's round tip shows only on lines wider than two pixels; the
        // flat ends of thinner ones draw much faster and look the same. Not
        // so for dotted lines: their dots are all tip.
        const bool dots = std::find(pen_.dashes.begin(), pen_.dashes.end(), 0.0) != pen_.dashes.end();
        const bool hairline = format_ == Format::png && width * scale_ < 2.0 && !dots;
        double sum = 0.0;
        for (double d : pen_.dashes) sum += d;
        StrokeStyle style{width, !hairline, {}, 0.0};
        if (sum > 0.0) {
            style.dashes = pen_.dashes;
            style.dash_offset = std::fmod(dash_offset, sum);
        }
        device_->stroke(pen_.colour, style);
    }

    // Adds subpaths to the current path: outlines leave out pen-up moves,
    // areas take every point.
    void add(std::span<const Subpath> path, bool outline) {
        for (const Subpath& k : path) {
            if (k.points.empty()) continue;
            const Point& p0 = k.points.front();
            if (k.radius > 0.0f) {
                device_->circle(p0.x, p0.y, k.radius);
                continue;
            }
            device_->move_to(p0.x, p0.y);
            bool all_down = true;
            for (std::size_t i = 1; i < k.points.size(); ++i) {
                bool down = !outline || k.down.empty() || k.down[i];
                all_down = all_down && down;
                if (down) device_->line_to(k.points[i].x, k.points[i].y);
                else device_->move_to(k.points[i].x, k.points[i].y);
            }
            if (k.closed) {
                if (all_down) device_->close_path();
                else device_->line_to(p0.x, p0.y);
            }
        }
    }

    // Hatches the area (whose path is the current one) by the fill rule, line
    // by line; false when it is to be filled solid instead: hatch lines that
    // touch, or more work than a page of hatching takes.
    bool hatch(std::span<const Subpath> path, const Fill& fill) {
        const double width = std::max(fill.line_width_mm, min_width_);
        const double spacing = fill.spacing_mm;
        if (!(spacing > width)) return false;
        struct Edge {
            double x0, y0, x1, y1;
        };
        std::vector<Edge> edges;
        auto ring = [&](const std::vector<Point>& points) {
            for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++)
                edges.push_back({points[j].x, points[j].y, points[i].x, points[i].y});
        };
        for (const Subpath& k : path) {
            if (k.points.empty()) continue;
            if (k.radius > 0.0f) {
                const double r = k.radius;
                const int n = static_cast<int>(std::clamp(std::ceil(2.0 * std::numbers::pi * r / CIRCLE_STEP), 16.0, 720.0));
                std::vector<Point> circle;
                for (int i = 0; i < n; ++i) {
                    const double a = 2.0 * std::numbers::pi * i / n;
                    circle.push_back({static_cast<float>(k.points[0].x + r * std::cos(a)),
                                      static_cast<float>(k.points[0].y + r * std::sin(a))});
                }
                ring(circle);
            } else if (k.points.size() >= 2) {
                ring(k.points);
            }
        }
        const int passes = fill.kind == FillKind::cross_hatch ? 2 : 1;
        // Across the lines (v) only the part of the page counts.
        struct Range {
            double vmin, vmax;
        };
        std::vector<Range> ranges;
        double work = 0.0;
        for (int pass = 0; pass < passes; ++pass) {
            const double a = (fill.angle_deg + 90.0 * pass) * std::numbers::pi / 180.0;
            const double c = std::cos(a), s = std::sin(a);
            double pmin = INFINITY, pmax = -INFINITY, emin = INFINITY, emax = -INFINITY;
            for (double x : {page_.x0, page_.x0 + page_.width})
                for (double y : {page_.y0, page_.y0 + page_.height}) {
                    pmin = std::min(pmin, c * y - s * x);
                    pmax = std::max(pmax, c * y - s * x);
                }
            for (const Edge& e : edges) {
                emin = std::min({emin, c * e.y0 - s * e.x0, c * e.y1 - s * e.x1});
                emax = std::max({emax, c * e.y0 - s * e.x0, c * e.y1 - s * e.x1});
            }
            const Range r{std::max(pmin, emin), std::min(pmax, emax)};
            ranges.push_back(r);
            if (r.vmax >= r.vmin) work += ((r.vmax - r.vmin) / spacing + 1.0) * static_cast<double>(edges.size());
        }
        if (!(work <= MAX_HATCH_WORK)) {
            warn_once_hatch();
            return false;
        }
        device_->new_path();
        std::vector<std::pair<double, int>> crossings;  // along the line, direction
        for (int pass = 0; pass < passes; ++pass) {
            const double a = (fill.angle_deg + 90.0 * pass) * std::numbers::pi / 180.0;
            const double c = std::cos(a), s = std::sin(a);
            const Range r = ranges[static_cast<std::size_t>(pass)];
            if (!(r.vmax >= r.vmin)) continue;
            for (double k = std::ceil(r.vmin / spacing); k * spacing <= r.vmax; k += 1.0) {
                const double v = k * spacing;
                crossings.clear();
                for (const Edge& e : edges) {
                    const double v0 = c * e.y0 - s * e.x0, v1 = c * e.y1 - s * e.x1;
                    // Half-open, so that a line through a vertex counts it once.
                    if ((v0 <= v) == (v1 <= v)) continue;
                    const double u0 = c * e.x0 + s * e.y0, u1 = c * e.x1 + s * e.y1;
                    crossings.emplace_back(u0 + (u1 - u0) * (v - v0) / (v1 - v0), v1 > v0 ? 1 : -1);
                }
                std::sort(crossings.begin(), crossings.end());
                int winding = 0;
                for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
                    winding += fill.even_odd ? 1 : crossings[i].second;
                    const bool inside = fill.even_odd ? winding % 2 != 0 : winding != 0;
                    const double u0 = crossings[i].first, u1 = crossings[i + 1].first;
                    if (!inside || !(u1 > u0)) continue;
                    device_->move_to(c * u0 - s * v, s * u0 + c * v);
                    device_->line_to(c * u1 - s * v, s * u1 + c * v);
                }
            }
        }
        device_->stroke(fill.colour, StrokeStyle{width, false, {}, 0.0});
        return true;
    }

    void warn_once_hatch() {
        if (hatch_warned_ || !warn_) return;
        hatch_warned_ = true;
        warn_(std::string(ROUTINE) + "-W-Schraffur zu aufwendig, als Fläche gefüllt");
    }

    Format format_;
    std::vector<PageBox> sizes_;
    const WarningSink& warn_;
    PageBox page_;  // the page being drawn
    bool hatch_warned_ = false;
    double scale_ = 1.0, min_width_ = MIN_VECTOR_WIDTH;
    std::unique_ptr<Device> device_;
    bool started_ = false;  // a page has been begun
    bool drawing_ = false;
    Pen pen_;                  // of the gathered strokes
    std::size_t pending_ = 0;  // points gathered
    std::vector<std::vector<Point>> areas_;  // solid areas gathered, one ring each
    Rgb area_colour_;
    std::size_t area_points_ = 0;
};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

Format format_of(std::string_view path) {
    std::string ext = lower(platform::extension_of(path));
    if (ext == ".png") return Format::png;
    if (ext == ".pdf") return Format::pdf;
    if (ext == ".svg") return Format::svg;
    platform::fatal(ROUTINE, "unbekanntes Ausgabeformat '" + std::string(path) +
                                 "': die Endung muss .png, .pdf oder .svg sein");
}

std::pair<double, double> choose_page(double max_x, double max_y, bool portrait) {
    // ISO A4 up to A0, short side first.
    constexpr double SIZES[5][2] = {{210, 297}, {297, 420}, {420, 594}, {594, 841}, {841, 1189}};
    constexpr double TOLERANCE = 0.01;  // mm: the plotter-unit rounding of the page edge
    // A sheet of one size turned is better than a larger sheet half empty: a
    // portrait layout with its legend beside the plot fits A4 across.
    for (const auto& s : SIZES) {
        for (bool upright : {portrait, !portrait}) {
            double w = upright ? s[0] : s[1], h = upright ? s[1] : s[0];
            if (max_x <= w + TOLERANCE && max_y <= h + TOLERANCE) return {w, h};
        }
    }
    return portrait ? std::pair{841.0, 1189.0} : std::pair{1189.0, 841.0};
}

std::string render(std::string_view hpgl, Format format, const RenderOptions& options) {
    WarningSink warn = options.warn ? options.warn : [](std::string_view text) { platform::console().line(text); };
    if (!(options.dpi >= 10.0 && options.dpi <= 2400.0))
        platform::fatal(ROUTINE, "Auflösung muss zwischen 10 und 2400 dpi liegen");
    if (options.page_mm) {
        auto [w, h] = *options.page_mm;
        if (!(w >= 10.0 && w <= 5000.0 && h >= 10.0 && h <= 5000.0))
            platform::fatal(ROUTINE, "Seitengröße muss zwischen 10 und 5000 mm liegen");
    }

    MeasuringCanvas measure;
    interpret(hpgl, measure, [](std::string_view) {});
    std::vector<PageBox> sizes;
    for (const PageExtent& e : measure.pages) {
        if (options.page_mm) {
            sizes.push_back({options.page_mm->first, options.page_mm->second, 0.0, 0.0});
            continue;
        }
        // The page begins at the drawing's lower left corner when that lies
        // below 0 (a foreign plot), else at 0 as the plotter's page does.
        // (with a margin for the width of the pen).
        const double x0 = e.min_x < 0.0 ? e.min_x - PAGE_MARGIN : 0.0, y0 = e.min_y < 0.0 ? e.min_y - PAGE_MARGIN : 0.0;
        auto [w, h] = choose_page(e.max_x - x0, e.max_y - y0, e.portrait);
        sizes.push_back({w, h, x0, y0});
        if (e.max_x - x0 > w + 0.01 || e.max_y - y0 > h + 0.01)
            warn(std::string(ROUTINE) + "-W-Zeichnung größer als A0, auf A0 abgeschnitten");
    }
    if (format != Format::pdf && sizes.size() > 1)
        warn(std::string(ROUTINE) + "-W-nur die erste von " + std::to_string(sizes.size()) +
             " Seiten gezeichnet (alle Seiten nur im PDF)");

    std::string out;
    PageCanvas canvas(format, sizes, options.dpi, warn, out);
    interpret(hpgl, canvas, warn);
    canvas.finish();
    return out;
}

std::vector<std::string> render_all(std::string_view hpgl, std::span<const Format> formats,
                                    const RenderOptions& options, std::span<const std::string> labels) {
    struct Picture {
        std::string bytes;
        std::vector<std::string> warnings;
        std::exception_ptr error;
    };
    std::vector<Picture> pictures(formats.size());
    auto draw = [&](std::size_t k) {
        RenderOptions own = options;
        own.warn = [&warnings = pictures[k].warnings](std::string_view text) { warnings.emplace_back(text); };
        try {
            pictures[k].bytes = render(hpgl, formats[k], own);
        } catch (...) {
            pictures[k].error = std::current_exception();
        }
    };
    {
        // The first format is drawn here, the others beside it.
        std::vector<std::jthread> others;
        for (std::size_t k = 1; k < formats.size(); ++k) others.emplace_back(draw, k);
        if (!formats.empty()) draw(0);
    }
    // As if drawn one after the other: the warnings in the order of the
    // formats, up to the first that failed.
    const WarningSink warn = options.warn ? options.warn : [](std::string_view text) { platform::console().line(text); };
    std::vector<std::string> out;
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        for (const std::string& text : pictures[k].warnings) warn(text);
        if (pictures[k].error) {
            if (k >= labels.size()) std::rethrow_exception(pictures[k].error);
            try {
                std::rethrow_exception(pictures[k].error);
            } catch (const platform::Fatal& e) {
                throw platform::Fatal(std::string(e.what()) + " (" + labels[k] + ")");
            }
        }
        out.push_back(std::move(pictures[k].bytes));
    }
    return out;
}

void render_files(const std::string& plot_path, std::span<const std::string> out_paths, const RenderOptions& options) {
    std::vector<Format> formats;
    for (const std::string& out_path : out_paths) {
        formats.push_back(format_of(out_path));
        // Converting a file into itself would destroy the plot.
        if (platform::same_file(plot_path, out_path))
            platform::fatal(ROUTINE, "Ausgabedatei " + out_path + " ist die Plotdatei " + plot_path +
                                         " und würde überschrieben: einen anderen Namen wählen");
    }
    std::uint64_t size = 0;
    const int fd = platform::open_regular_file(plot_path, size);
    if (fd < 0) platform::fatal(ROUTINE, "Plotdatei " + plot_path + " nicht gefunden");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (size > kMaxPlotBytes) platform::fatal(ROUTINE, "Plotdatei " + plot_path + " ist zu groß");
    std::string text(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    auto read_up_to = [&](std::size_t end) {
        while (got < end) {
            const ssize_t n = ::read(fd, text.data() + got, end - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    };
    try {
        // A file that is no plot is refused at its first bytes, not after
        // hundreds of megabytes have been read.
        read_up_to(std::min<std::size_t>(text.size(), 1u << 16));
        check_hpgl_start(std::string_view(text).substr(0, got));
        read_up_to(text.size());
        if (got != text.size()) platform::fatal(ROUTINE, "Plotdatei " + plot_path + " konnte nicht gelesen werden");
    } catch (const platform::Fatal& e) {
        throw platform::Fatal(std::string(e.what()) + " (" + plot_path + ")");
    }

    std::vector<std::string> pictures;
    try {
        pictures = render_all(text, formats, options);
    } catch (const platform::Fatal& e) {
        throw platform::Fatal(std::string(e.what()) + " (" + plot_path + ")");
    }
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        int error = 0;
        if (!platform::write_file_atomically(out_paths[k], pictures[k], &error))
            platform::fatal(ROUTINE, "Ausgabedatei " + out_paths[k] + " konnte nicht geschrieben werden: " +
                                         platform::describe_error(error));
    }
}

void render_file(const std::string& plot_path, const std::string& out_path, const RenderOptions& options) {
    render_files(plot_path, std::span(&out_path, 1), options);
}

}  // namespace preview
