// MURAL's pictures checked by independent readers: every picture kind is
// written by mural as PNG, PDF and SVG ("/g=png,pdf,svg"); a browser renders
// the SVG and poppler the PDF, and both must look like MURAL's own PNG.
// Skipped where chromium or pdftoppm is not installed (CI installs both).
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

bool installed(const char* command) {
    return std::system((std::string("command -v ") + command + " >/dev/null 2>&1").c_str()) == 0;
}

// The darkness (0 white .. 1 black) of a PNG averaged over a grid of
// cells; an empty grid when the file cannot be read.
std::vector<double> darkness(const std::string& png, int cells_x, int cells_y) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    std::vector<double> grid;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const bool alpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
        const unsigned char* data = cairo_image_surface_get_data(s);
        grid.assign(static_cast<std::size_t>(cells_x) * cells_y, 0.0);
        std::vector<int> count(grid.size(), 0);
        for (int y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            const int cy = std::min(cells_y - 1, y * cells_y / h);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = row[x];
                const double a = alpha ? ((p >> 24) & 0xFF) / 255.0 : 1.0;
                // Premultiplied: a transparent pixel is white paper.
                const double r = ((p >> 16) & 0xFF) / 255.0 + (1.0 - a), g = ((p >> 8) & 0xFF) / 255.0 + (1.0 - a),
                             b = (p & 0xFF) / 255.0 + (1.0 - a);
                const auto c = static_cast<std::size_t>(cy * cells_x + std::min(cells_x - 1, x * cells_x / w));
                grid[c] += 1.0 - std::min(1.0, 0.299 * r + 0.587 * g + 0.114 * b);
                ++count[c];
            }
        }
        for (std::size_t c = 0; c < grid.size(); ++c) grid[c] /= std::max(count[c], 1);
    }
    cairo_surface_destroy(s);
    return grid;
}

double mean(const std::vector<double>& v) {
    double sum = 0.0;
    for (double d : v) sum += d;
    return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

// The distance of two darkness grids, each taken relative to its mean, so
// that the line weights of different renderers cancel: 0 for the same
// picture, about 2 for pictures without common ink.
double distance(const std::vector<double>& a, const std::vector<double>& b) {
    const double ma = mean(a), mb = mean(b);
    if (a.size() != b.size() || !(ma > 0.0) || !(mb > 0.0)) return 2.0;
    double sum = 0.0;
    for (std::size_t c = 0; c < a.size(); ++c) sum += std::fabs(a[c] / ma - b[c] / mb);
    return sum / static_cast<double>(a.size());
}

// The page size of a PNG in pixels.
std::pair<int, int> png_size(const std::string& png) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    std::pair<int, int> size{cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
    cairo_surface_destroy(s);
    return size;
}

}  // namespace

TEST(IndependentReaders, BrowserAndPopplerSeeWhatMuralDraws) {
    if (!installed("chromium") || !installed("pdftoppm")) GTEST_SKIP() << "chromium or pdftoppm is not installed";
    struct Case {
        const char* run;
        const char* answers;
        bool definitions;
    };
    const Case cases[] = {
        {"run1", "V\nK03\n\n2\n\n", false},       {"run1", "V\nJ25\n\n\n2\n\n\n", false},
        {"run1", "FI\nK03\n\n", true},            {"run1", "W\nJ25\n\n\n\n", true},
        {"run1", "S\nK03\n\n", false},            {"run1", "T\nK03\n\n\n", false},
        {"run1.DIF", "KI\nJ25\n\n\n\n", true},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.DIF", "run1.dat", "LESDIG.DEF", "hintergrund.dig"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        if (c.definitions)
            for (const char* name : {"MURAL.ISO", "MURAL.RAS"})
                fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        RunResult r = run_mural(dir.path(), {c.run, "/l:RO", "/g=png,pdf,svg"}, c.answers);
        ASSERT_EQ(r.status, 0) << c.answers << r.err;
        const std::string own = dir.file("MURAL.png");
        const auto [w, h] = png_size(own);
        ASSERT_GT(w, 0) << c.answers;

        // The browser shows the SVG at 96 pixels per inch; MURAL's PNG has 150.
        const int bw = static_cast<int>(std::lround(w * 96.0 / 150.0)), bh = static_cast<int>(std::lround(h * 96.0 / 150.0));
        const std::string shot = dir.file("browser.png");
        const std::string browser = "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=" +
                                    std::to_string(bw) + "," + std::to_string(bh) + " --screenshot='" + shot +
                                    "' 'file://" + dir.file("MURAL.svg") + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(browser.c_str()), 0) << c.answers;
        const std::string poppler = "pdftoppm -png -r 150 -singlefile '" + dir.file("MURAL.pdf") + "' '" +
                                    dir.file("poppler") + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(poppler.c_str()), 0) << c.answers;

        // Cells of 2 mm: line weights and slips of a pixel vanish, a missing
        // or misplaced element does not.
        const int cx = static_cast<int>(std::lround(w / 150.0 * 25.4 / 2.0)), cy = static_cast<int>(std::lround(h / 150.0 * 25.4 / 2.0));
        const std::vector<double> mine = darkness(own, cx, cy);
        ASSERT_GT(mean(mine), 0.005) << c.answers << " draws almost nothing";
        // The yardstick: the same picture moved by 2 mm across and up.
        std::vector<double> moved(mine.size(), 0.0);
        for (int y = 1; y < cy; ++y)
            for (int x = 1; x < cx; ++x)
                moved[static_cast<std::size_t>(y * cx + x)] = mine[static_cast<std::size_t>((y - 1) * cx + x - 1)];
        const double apart = distance(mine, moved);
        ASSERT_GT(apart, 0.3) << c.answers;
        const std::pair<const char*, std::string> others[] = {{"browser", shot}, {"poppler", dir.file("poppler.png")}};
        for (const auto& [who, png] : others) {
            const std::vector<double> theirs = darkness(png, cx, cy);
            ASSERT_FALSE(theirs.empty()) << who << " wrote no picture for " << c.answers;
            EXPECT_LT(distance(mine, theirs), 0.5 * apart) << who << ": " << c.answers;
        }
    }
}
