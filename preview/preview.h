// Pictures of plot files: VELIN's HP-GL/2 and plain HP-GL drawn into PDF and
// SVG (vector) or PNG (raster). A page size may be given; without one, each
// page is the smallest ISO A page from A4 up that holds everything drawn on
// it, in the plot's orientation when that size allows, else turned. Errors
// throw platform::Fatal.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <string_view>
#include <utility>

#include "preview/hpgl.h"

namespace preview {

enum class Format { png, pdf, svg };

// Plot files larger than this are not MURAL's (bytes).
constexpr std::size_t kMaxPlotBytes = std::size_t{512} << 20;

struct RenderOptions {
    double dpi = 150.0;  // PNG resolution
    std::optional<std::pair<double, double>> page_mm;  // width, height; none = chosen from the plot
    WarningSink warn;  // warnings of the interpreter; none = on the console
};

// The format named by the extension of a path (.png, .pdf, .svg in any case);
// another extension is fatal.
Format format_of(std::string_view path);

// The size of a page that holds a drawing reaching to (max_x, max_y) mm.
std::pair<double, double> choose_page(double max_x, double max_y, bool portrait);

// The picture of a plot stream as the bytes of a file of the format. PNG and
// SVG show the first page only (a warning names the pages left out).
std::string render(std::string_view hpgl, Format format, const RenderOptions& options);

// The pictures of a plot stream in several formats, drawn at the same time
// on the cores there are. Warnings come in the order of the formats, as if
// the pictures were drawn one after the other; the error of the first format
// that fails is thrown, with " (LABEL)" added when labels are given.
std::vector<std::string> render_all(std::string_view hpgl, std::span<const Format> formats,
                                    const RenderOptions& options, std::span<const std::string> labels = {});

// Converts a plot file into pictures, one per output path, drawn at the same
// time (render_all); each output is written under a temporary name and takes
// its final name only when complete.
void render_files(const std::string& plot_path, std::span<const std::string> out_paths, const RenderOptions& options);

// Converts a plot file; the output is written under a temporary name and
// takes its final name only when complete.
void render_file(const std::string& plot_path, const std::string& out_path, const RenderOptions& options);

}  // namespace preview
