// Pictures of plots that VELIN writes, read back pixel by pixel: a line, a
// filled rectangle, a hatched polygon, a circle and a text, in HP-GL/2 and
// plain HP-GL, on landscape and portrait pages. Positions are page
// millimetres from the lower left corner; a PNG pixel is 25.4 / 150 mm.
#include <cairo.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/fatal.h"
#include "plot_fixture.h"
#include "preview/preview.h"
#include "velin/velin.h"

using testing_support::fatal_message;
using testing_support::read_file;

namespace {

constexpr double DPI = 150.0;
constexpr double PX = 25.4 / DPI;  // mm per pixel

struct Colour {
    int r = 255, g = 255, b = 255;
    bool ink() const { return std::min({r, g, b}) < 200; }
};

class Image {
public:
    explicit Image(const std::string& png) : bytes_(png) {
        surface_ = cairo_image_surface_create_from_png_stream(read, this);
    }
    ~Image() { cairo_surface_destroy(surface_); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }

    Colour pixel(int i, int j) const {
        if (i < 0 || j < 0 || i >= width() || j >= height()) return {};
        cairo_surface_flush(surface_);
        const unsigned char* row = cairo_image_surface_get_data(surface_) + j * cairo_image_surface_get_stride(surface_);
        std::uint32_t v;
        std::memcpy(&v, row + 4 * i, 4);
        return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF)};
    }
    // The pixel that covers a page point.
    Colour at(double x_mm, double y_mm) const {
        return pixel(static_cast<int>(x_mm / PX), static_cast<int>((height() * PX - y_mm) / PX));
    }
    // The darkest pixel within `r` pixels of a page point, if it is ink.
    bool ink_near(double x_mm, double y_mm, int r = 2) const { return darkest_near(x_mm, y_mm, r).ink(); }
    Colour darkest_near(double x_mm, double y_mm, int r = 2) const {
        int i0 = static_cast<int>(x_mm / PX), j0 = static_cast<int>((height() * PX - y_mm) / PX);
        Colour best;
        for (int j = j0 - r; j <= j0 + r; ++j)
            for (int i = i0 - r; i <= i0 + r; ++i) {
                Colour c = pixel(i, j);
                if (c.r + c.g + c.b < best.r + best.g + best.b) best = c;
            }
        return best;
    }
    // Separate runs of ink met going up from y0 to y1 at x.
    int runs_up(double x_mm, double y0, double y1) const {
        int runs = 0;
        bool in = false;
        for (double y = y0; y <= y1; y += PX) {
            bool ink = at(x_mm, y).ink();
            if (ink && !in) ++runs;
            in = ink;
        }
        return runs;
    }
    struct Box {
        double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    };
    // Bounding box (mm) of the ink inside a page rectangle.
    Box ink_box(double x0, double y0, double x1, double y1) const {
        Box b;
        for (double y = y0; y <= y1; y += PX)
            for (double x = x0; x <= x1; x += PX)
                if (at(x, y).ink()) {
                    b.x0 = std::min(b.x0, x);
                    b.x1 = std::max(b.x1, x);
                    b.y0 = std::min(b.y0, y);
                    b.y1 = std::max(b.y1, y);
                }
        return b;
    }

private:
    static cairo_status_t read(void* closure, unsigned char* data, unsigned int length) {
        auto* self = static_cast<Image*>(closure);
        if (self->bytes_.size() - self->offset_ < length) return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, self->bytes_.data() + self->offset_, length);
        self->offset_ += length;
        return CAIRO_STATUS_SUCCESS;
    }
    std::string bytes_;
    std::size_t offset_ = 0;
    cairo_surface_t* surface_;
};

struct Layout {
    const char* device;
    const char* format;
    int width_px, height_px;  // A4 at 150 dpi in the format's orientation
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.device << " " << l.format; }

class PreviewRender : public testing_support::PlotTest, public ::testing::WithParamInterface<Layout> {
protected:
    // The five elements on a graph at (20, 20) mm, 100 x 100 mm for 0..200:
    // page mm = 20 + user / 2.
    std::string draw(const Layout& layout) {
        velin::INIPLO(layout.device, layout.format);
        velin::PLFILE(plot_file);
        velin::PHYSOR(20.0f, 20.0f);
        velin::XNONUM();
        velin::YNONUM();
        velin::XTICKS(0);
        velin::YTICKS(0);
        velin::AREA2D(100.0f, 100.0f);
        velin::GRAF(0.0f, 50.0f, 200.0f, 0.0f, 50.0f, 200.0f);
        velin::SETPEN(3, 0.1f, 0, 160, 0);
        velin::SELPEN(1);
        const float lx[2] = {20, 180}, ly[2] = {20, 20};
        velin::CURVE(lx, ly, 2, 0);  // (30, 30) to (110, 30)
        velin::SELPEN(3);
        velin::FILREC(20, 60, 40, 80);  // x 30..50, y 40..60
        velin::SELPEN(1);
        const float hx[4] = {100, 160, 160, 100}, hy[4] = {40, 40, 80, 80};
        const float dist[1] = {2.0f};
        velin::SHADE(hx, hy, 4, 0.0f, dist, 1);  // x 70..100, y 40..60, a line every 2 mm
        velin::SELPEN(5);
        velin::CIRCLE(90.0f, 80.0f, 10.0f, 0);  // centre (110, 100), radius 10
        velin::SELPEN(1);
        velin::HEIGHT(5.0f);
        velin::MESSAG("HI", 2, 10.0f, 85.0f);  // from (30, 105)
        return finish();
    }
};

TEST(PreviewRenderErrors, BadOutputNamesAndOptionsAreFatal) {
    EXPECT_NE(fatal_message([] { preview::format_of("plot.jpg"); }).find("unbekanntes Ausgabeformat"),
              std::string::npos);
    EXPECT_NE(fatal_message([] { preview::format_of("plot"); }).find(".png, .pdf oder .svg"), std::string::npos);
    EXPECT_EQ(preview::format_of("dir.pdf/Plot.PNG"), preview::Format::png);
    EXPECT_EQ(preview::format_of("a.Svg"), preview::Format::svg);
    const std::string line = "IN;SP1;PD100,100;PG;";
    preview::RenderOptions o;
    o.dpi = 0.0;
    EXPECT_NE(fatal_message([&] { preview::render(line, preview::Format::png, o); }).find("dpi"), std::string::npos);
    o.dpi = 2400.0;
    o.page_mm = std::pair{5000.0, 5000.0};
    EXPECT_NE(fatal_message([&] { preview::render(line, preview::Format::png, o); }).find("Bild zu groß"),
              std::string::npos);
    o.page_mm = std::pair{-1.0, 297.0};
    EXPECT_NE(fatal_message([&] { preview::render(line, preview::Format::pdf, o); }).find("Seitengröße"),
              std::string::npos);
}

TEST(PreviewRenderErrors, AMissingOrTruncatedPlotFileNamesTheFile) {
    testing_support::ScratchDir dir;
    const std::string out = dir.file("out.png");
    std::string msg = fatal_message([&] { preview::render_file(dir.file("none.plt"), out, {}); });
    EXPECT_NE(msg.find("none.plt nicht gefunden"), std::string::npos) << msg;
    dir.write("cut.plt", "\x1b%-1BBPIN;SP1;PU0,0;PD400,4");
    msg = fatal_message([&] { preview::render_file(dir.file("cut.plt"), out, {}); });
    EXPECT_NE(msg.find("unvollständig"), std::string::npos) << msg;
    EXPECT_NE(msg.find("cut.plt"), std::string::npos) << msg;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(PreviewPage, SmallestAPageThatHoldsTheDrawingInTheOrientationOfThePlotFirst) {
    struct Case {
        double x, y;
        bool portrait;
        double w, h;
    };
    const Case cases[] = {
        {200, 280, true, 210, 297},   {230, 176, true, 297, 210},   {290, 200, false, 297, 210},
        {298, 100, false, 420, 297},  {100, 300, false, 297, 420},  {0, 0, true, 210, 297},
        {800, 1100, true, 841, 1189}, {5000, 10, false, 1189, 841},
    };
    for (const Case& c : cases) {
        auto [w, h] = preview::choose_page(c.x, c.y, c.portrait);
        EXPECT_EQ(w, c.w) << c.x << "," << c.y;
        EXPECT_EQ(h, c.h) << c.x << "," << c.y;
    }
}

TEST_P(PreviewRender, ElementsLieWhereTheInstructionsPutThem) {
    const Layout layout = GetParam();
    const std::string plot = draw(layout);
    std::vector<std::string> warnings;
    preview::RenderOptions options;
    options.warn = [&](std::string_view w) { warnings.emplace_back(w); };
    Image img(preview::render(plot, preview::Format::png, options));
    ASSERT_TRUE(img.ok());
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(img.width(), layout.width_px);
    EXPECT_EQ(img.height(), layout.height_px);

    // The line, and nothing beside or beyond it.
    EXPECT_TRUE(img.ink_near(31, 30));
    EXPECT_TRUE(img.ink_near(70, 30));
    EXPECT_TRUE(img.ink_near(109, 30));
    EXPECT_FALSE(img.ink_near(70, 31.5));
    EXPECT_FALSE(img.ink_near(26, 30));
    EXPECT_FALSE(img.ink_near(114, 30));

    // The rectangle in pen 3's colour, up to its edges; plain HP-GL fills
    // with overlapping strokes, whose smoothed edges lighten it a little.
    const int off = std::string(layout.device) == "HPGL2" ? 8 : 24;
    for (auto [x, y] : {std::pair{40.0, 50.0}, {31.0, 41.0}, {49.0, 59.0}}) {
        Colour c = img.at(x, y);
        EXPECT_NEAR(c.r, 0, off) << x << "," << y;
        EXPECT_NEAR(c.g, 160, off) << x << "," << y;
        EXPECT_NEAR(c.b, 0, off) << x << "," << y;
    }
    EXPECT_FALSE(img.ink_near(51.5, 50));
    EXPECT_FALSE(img.ink_near(40, 61.5));

    // Nine hatch lines between the edges, nothing right of the polygon.
    EXPECT_EQ(img.runs_up(85, 40.5, 59.5), 9);
    EXPECT_TRUE(img.ink_near(71, 59.95, 1) || img.ink_near(71, 58, 1));
    EXPECT_FALSE(img.ink_near(102, 50));
    EXPECT_FALSE(img.ink_near(85, 62));

    // The circle in blue, hollow.
    for (auto [x, y] : {std::pair{120.0, 100.0}, {110.0, 110.0}, {100.0, 100.0}, {110.0, 90.0}}) {
        Colour c = img.darkest_near(x, y);
        EXPECT_TRUE(c.ink()) << x << "," << y;
        EXPECT_GT(c.b, c.r + 60) << x << "," << y;
    }
    EXPECT_FALSE(img.ink_near(110, 100));
    EXPECT_FALSE(img.ink_near(110, 108));

    // The text: its ink box is the box of its strokes in the plot file.
    double sx0 = 1e9, sy0 = 1e9, sx1 = -1e9, sy1 = -1e9;
    for (const auto& s : testing_support::plot_strokes(plot))
        if (s.x0 > 25 && s.x0 < 60 && s.y0 > 100 && s.y0 < 120 && s.x1 > 25 && s.y1 > 100) {
            sx0 = std::min({sx0, s.x0, s.x1});
            sx1 = std::max({sx1, s.x0, s.x1});
            sy0 = std::min({sy0, s.y0, s.y1});
            sy1 = std::max({sy1, s.y0, s.y1});
        }
    ASSERT_LT(sx0, sx1);
    EXPECT_NEAR(sx0, 30.0, 1.0);
    EXPECT_NEAR(sy0, 105.0, 1.0);
    Image::Box b = img.ink_box(25, 100, 60, 120);
    const double tolerance = 2 * PX;
    EXPECT_NEAR(b.x0, sx0, tolerance);
    EXPECT_NEAR(b.x1, sx1, tolerance);
    EXPECT_NEAR(b.y0, sy0, tolerance);
    EXPECT_NEAR(b.y1, sy1, tolerance);
}

INSTANTIATE_TEST_SUITE_P(DevicesAndPages, PreviewRender,
                         ::testing::Values(Layout{"HPGL2", "DINA4Q", 1754, 1240}, Layout{"HPGL2", "DINA4H", 1240, 1754},
                                           Layout{"HPGL", "DINA4Q", 1754, 1240}, Layout{"HPGL", "DINA4H", 1240, 1754}),
                         [](const auto& info) {
                             return std::string(info.param.device) + "_" + info.param.format;
                         });

TEST(PreviewLineTypes, ThinDottedLinesKeepTheirDots) {
    // A dot every 2 mm along 100 mm, with a pen a pixel wide.
    Image img(preview::render("IN;SP1;PW0.1;LT1,2,1;PU400,400;PD4400,400;PG;", preview::Format::png, {}));
    ASSERT_TRUE(img.ok());
    int runs = 0;
    bool in = false;
    for (double x = 5.0; x <= 115.0; x += PX) {
        bool ink = false;
        for (double y : {10.0 - PX, 10.0, 10.0 + PX}) ink = ink || img.at(x, y).r < 250;
        if (ink && !in) ++runs;
        in = ink;
    }
    EXPECT_NEAR(runs, 51, 2);
}

// Plots that MURAL's pictures must survive: hatching closer than its pen
// fills solid, a hatched polygon of 10^4 crossing edges (a map file read one
// column off) is drawn with bounded work, a drawing at negative coordinates
// gets a page that begins with it, and encoded polylines (PE) draw what the
// same points as PU/PD draw.
TEST(PreviewBounds, ForeignAndDegeneratePlotsAreDrawn) {
    // PE numbers: base 64, least significant digit first, the last one from
    // the high range; the lowest bit is the sign.
    auto pe = [](long v, bool base32 = false) {
        unsigned long n = v >= 0 ? 2ul * static_cast<unsigned long>(v) : 2ul * static_cast<unsigned long>(-v) + 1;
        const unsigned long base = base32 ? 32 : 64;
        std::string out;
        do {
            const unsigned long digit = n % base;
            n /= base;
            out += static_cast<char>(n == 0 ? (base32 ? 95 : 191) + digit : 63 + digit);
        } while (n != 0);
        return out;
    };
    std::string rectangles = "IN;SP1;PW0.5;FT4,5,45;";  // spacing 0.12 mm under a 0.5 mm pen
    for (int k = 0; k < 100; ++k)
        rectangles += "PU" + std::to_string(400 + k % 10 * 800) + "," + std::to_string(400 + k / 10 * 600) + ";RA" +
                      std::to_string(1100 + k % 10 * 800) + "," + std::to_string(900 + k / 10 * 600) + ";";
    std::string tangle = "IN;SP1;PW0.3;FT3,100,30;PU400,400;PM0;PD";
    unsigned seed = 1;
    for (int k = 0; k < 10000; ++k) {
        seed = seed * 1103515245u + 12345u;
        tangle += (k ? "," : "") + std::to_string(400 + (seed >> 8) % 9600) + "," + std::to_string(400 + (seed >> 4) % 6600);
    }
    const std::string encoded = "IN;SP1;PW0.5;PE<=" + pe(1000) + pe(1000) + pe(2000) + pe(0) + pe(0) + pe(2000) +
                                pe(-2000) + pe(0) + pe(0) + pe(-2000) + "<" + pe(3000) + pe(0) + "7" + pe(1000, true) +
                                pe(1000, true) + pe(1000, true) + pe(-1000, true) + pe(-2000, true) + pe(0, true) + ";PU;PG;";
    const std::string same_points =
        "IN;SP1;PW0.5;PU1000,1000;PD3000,1000,3000,3000,1000,3000,1000,1000;PU4000,1000;PD5000,2000,6000,1000,4000,1000;PU;PG;";
    struct Case {
        std::string name, plot;
        std::function<void(const Image&)> check;
    };
    const Case cases[] = {
        {"hatching closer than its pen", rectangles + "PG;",
         [](const Image& img) {
             // Solid inside a rectangle (x 10..27.4, y 10..22.4 mm), white between two.
             EXPECT_EQ(img.at(15.0, 15.0).r, 0);
             EXPECT_EQ(img.at(18.5, 20.0).g, 0);
             EXPECT_FALSE(img.ink_near(28.6, 15.0, 1));
         }},
        {"hatched tangle of 10000 edges", tangle + ";PM2;FP;EP;PG;",
         [](const Image& img) { EXPECT_TRUE(img.ink_near(130.0, 95.0)); }},
        {"negative coordinates", "IN;SP1;PW0.5;PU-2000,-1000;PD4000,-1000,4000,3000,-2000,3000,-2000,-1000;PG;",
         [](const Image& img) {
             // The page begins 2 mm left of and below the drawing.
             EXPECT_TRUE(img.ink_near(2.0, 40.0));
             EXPECT_TRUE(img.ink_near(80.0, 2.0));
             EXPECT_FALSE(img.ink_near(80.0, 40.0));
         }},
        {"encoded polylines", encoded,
         [&](const Image& img) {
             Image same(preview::render(same_points, preview::Format::png, {}));
             for (double x = 0.0; x < 180.0; x += 0.5)
                 for (double y = 0.0; y < 80.0; y += 0.5) ASSERT_EQ(img.at(x, y).r, same.at(x, y).r) << x << "," << y;
             EXPECT_TRUE(img.ink_near(124.4, 49.8));  // the top of the triangle of base 32
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> warnings;
        preview::RenderOptions options;
        options.warn = [&](std::string_view w) { warnings.emplace_back(w); };
        Image img(preview::render(c.plot, preview::Format::png, options));
        ASSERT_TRUE(img.ok()) << c.name;
        c.check(img);
        EXPECT_TRUE(warnings.empty()) << c.name << ": " << (warnings.empty() ? "" : warnings[0]);
    }
}

TEST_F(PreviewRender, AGivenPageSizeAndResolutionAreKept) {
    const std::string plot = draw({"HPGL2", "DINA4Q", 0, 0});
    preview::RenderOptions options;
    options.dpi = 75.0;
    options.page_mm = std::pair{420.0, 297.0};
    Image img(preview::render(plot, preview::Format::png, options));
    ASSERT_TRUE(img.ok());
    EXPECT_EQ(img.width(), 1240);
    EXPECT_EQ(img.height(), 877);
}

TEST_F(PreviewRender, VectorFormatsCarryThePageInPoints) {
    const std::string plot = draw({"HPGL2", "DINA4H", 0, 0});
    const std::string pdf = preview::render(plot, preview::Format::pdf, {});
    ASSERT_TRUE(pdf.starts_with("%PDF-"));
    EXPECT_NE(pdf.find("/MediaBox [ 0 0 595.275591 841.889764 ]"), std::string::npos);
    const std::string svg = preview::render(plot, preview::Format::svg, {});
    EXPECT_NE(svg.find("width=\"595.275591pt\" height=\"841.889764pt\""), std::string::npos);
}

}  // namespace

namespace {

// The bytes of a PDF number after `key` (0 when there is none).
std::size_t number_after(const std::string& pdf, const std::string& key, std::size_t from = 0) {
    const std::size_t at = pdf.find(key, from);
    return at == std::string::npos ? 0 : std::strtoull(pdf.c_str() + at + key.size(), nullptr, 10);
}

}  // namespace

// Readers repair a PDF with wrong offsets without a word, so the structure is
// checked here: every object where the table says, every stream as long as
// its length, the pages counted, and each page's content inflating to the
// drawing (dashes, a circle, hatching and an even-odd fill on the first).
TEST(PreviewPdf, EveryObjectAndStreamLiesWhereTheFileSays) {
    const std::string plot =
        "IN;SP1;PA400,400;PD4000,4000;PU;LT2,4;PA400,4000;PD8000,400;PU;LT;PA6000,6000;CI800;"
        "FT3,100,45;PA1000,1000;PM0;PD3000,1000,3000,3000,1000,3000;PM1;PU1500,1500;PD2500,1500,2500,2500,1500,2500;"
        "PM2;FP;FT1;FP;PG;PA0,0;PD2000,500;PU;PG;";
    const std::string pdf = preview::render(plot, preview::Format::pdf, {});
    ASSERT_TRUE(pdf.starts_with("%PDF-1.4\n"));
    ASSERT_TRUE(pdf.ends_with("%%EOF\n"));
    const std::size_t xref = number_after(pdf, "startxref\n", pdf.rfind("startxref"));
    ASSERT_EQ(pdf.compare(xref, 7, "xref\n0 "), 0);
    const std::size_t objects = number_after(pdf, "xref\n0 ", xref);
    ASSERT_GT(objects, 5u);
    EXPECT_EQ(number_after(pdf, "/Size ", xref), objects);
    EXPECT_NE(pdf.find("/Count 2 "), std::string::npos);
    const std::size_t table = pdf.find('\n', xref + 5) + 1;
    auto offset_of = [&](std::size_t k) { return std::strtoull(pdf.c_str() + table + 20 * k, nullptr, 10); };
    std::vector<std::string> contents;
    for (std::size_t k = 1; k < objects; ++k) {
        const std::size_t offset = offset_of(k);
        const std::string head = std::to_string(k) + " 0 obj\n";
        ASSERT_EQ(pdf.compare(offset, head.size(), head), 0) << "object " << k;
        if (pdf.compare(offset + head.size(), 11, "<< /Length ") != 0) continue;
        // The length is an object of its own, written after the stream.
        const std::size_t length = number_after(pdf, "obj\n", offset_of(number_after(pdf, "<< /Length ", offset)));
        const std::size_t data = pdf.find("stream\n", offset) + 7;
        ASSERT_EQ(pdf.compare(data + length, 10, "\nendstream"), 0) << "object " << k;
        std::string inflated(1u << 20, '\0');
        uLongf size = inflated.size();
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                             reinterpret_cast<const Bytef*>(pdf.data() + data), length),
                  Z_OK);
        contents.push_back(inflated.substr(0, size));
    }
    ASSERT_EQ(contents.size(), 2u);
    for (const char* op : {" d\n", " c\n", "h\n", "f*\n", "S\n"})
        EXPECT_NE(contents[0].find(op), std::string::npos) << op;
    EXPECT_TRUE(contents[1].ends_with("S\n"));
}
