// A demonstration page of the map furniture in both output modes: a legend
// with every kind of entry, hatched and filled areas, lines that pass under
// blanked texts, a scale bar with sections, a north arrow, wind roses with
// and without the inflow wedge, and the filled logo. The plot is kept in the
// test's working directory and rendered with hp2xx when it is installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mapelements/legend.h"
#include "mapelements/mapsymbols.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;
using namespace mapelements;

namespace {

class Furniture : public PlotTest, public ::testing::WithParamInterface<const char*> {
protected:
    void draw_page(const char* device) {
        plot_file = dir.file(std::string("furniture_demo_") + device + ".plt");
        start_graph(150.0f, 100.0f, 300.0f, 200.0f, device);
        velin::FRAME();
        velin::GRACE(0.0f);

        // Areas: a hatched and a cross-hatched polygon, a solid one, a solid rectangle.
        const std::vector<float> hx = {20, 90, 110, 40, 20}, hy = {20, 10, 70, 90, 20};
        const float dist[2] = {2.0f, 1.0f};
        velin::SELPEN(2);
        velin::SHADE(hx, hy, 5, 30.0f, dist, 2);
        velin::CURVE(hx, hy, 5, 0);
        const std::vector<float> cx = {130, 190, 160}, cy = {20, 20, 80};
        velin::SELPEN(3);
        velin::SHDPAT(45111);
        velin::SHDCRV(cx, cy, 3, cx, cy, 0);
        const std::vector<float> sx = {200, 280, 280, 240, 200}, sy = {30, 30, 90, 60, 90};
        velin::SELPEN(4);
        velin::FILPOL(sx, sy, 5);
        velin::SELPEN(5);
        velin::FILREC(20.0f, 60.0f, 120.0f, 140.0f);

        // A text in a blanked box; the lines of the grid pass under it.
        velin::SELPEN(1);
        velin::HEIGHT(4.0f);
        const std::string label = "Gebäude";
        const float w = velin::XMESS(label, static_cast<int>(label.size()));
        velin::MESSAG(label, static_cast<int>(label.size()), 80.0f, 70.0f);
        velin::BLREC(78.0f, 68.0f, w + 4.0f, 8.0f, 0.2f);
        velin::HEIGHT(2.5f);
        velin::SELPEN(6);
        for (float y = 110.0f; y <= 200.0f; y += 10.0f) {
            const float lx[2] = {0.0f, 300.0f}, ly[2] = {y, y + 40.0f};
            velin::CURVE(lx, ly, 2, 0);
        }

        // Legend right of the plot, one entry of every kind.
        float xl, yl, wl, hl, frame;
        ELEPOS("ro1", xl, yl, wl, hl, frame, 150.0f, 100.0f);
        LEGDEF(xl, yl, wl, hl, frame);
        LEGHEI(2.0f);
        LEGHEAD("Legende", 7, 'C');
        LEGENT("", 4, 0, 0.2f, "Fläche gefüllt", "");
        LEGENT("", 2, 45110, 0.2f, "Fläche schraffiert", "");
        LEGENT("K", 3, 0, 0.0f, "Baum", "");
        LEGENT("L", 6, 0, 0.0f, "Linie", "");
        LEGENT("S", 2, 3, 1.0f, "Marke", "zweite Zeile");
        LEGENT("", 5, 0, 0.0f, "12.25&m/s", "");
        LEGENT("", 4, 0, 0.0f, "1.5&m", "");
        float x = 0.0f, y = 0.0f;
        LEGBORD(x, y);

        // Scale bar, north arrow, wind roses and logo below the legend.
        PageClipping page;
        velin::SELPEN(1);
        velin::HEIGHT(2.0f);
        MSKALA(x, y - 8.0f, 'L', 100.0f, 1.5f, 4);
        DIRNOFL(90.0f, 270.0f, 8.0f, x + 10.0f, y - 30.0f);
        DIRNOFL(90.0f, -1.0f, 8.0f, x + 32.0f, y - 30.0f);
        NORTH(16.0f, 6.0f, 90.0f, x + 10.0f, y - 60.0f);
        AVO_LOGO(0.0f, 105.0f, 5.0f, 1, 'l', true);
        velin::ENDGR(0);
        velin::DONEPL();
    }
};

TEST_P(Furniture, DemonstrationPageRenders) {
    const char* device = GetParam();
    draw_page(device);
    const std::string stream = read_file(plot_file);
    ASSERT_GT(stream.size(), 5000u);
    EXPECT_EQ(stream.find_first_of(" \r\n"), std::string::npos);
    EXPECT_EQ(stream.substr(stream.size() - 6), "SP0PG;");
    EXPECT_EQ(out().find("-F-"), std::string::npos) << out();
    if (std::string(device) == "HPGL2") {
        // The device fills: hatched and cross-hatched polygons, solid polygons and rectangles.
        EXPECT_NE(stream.find("FT3,"), std::string::npos);
        EXPECT_NE(stream.find("FT4,"), std::string::npos);
        EXPECT_GE(count(stream, "RA"), 1);
    } else {
        // Everything is drawn as strokes.
        EXPECT_EQ(stream.find("FP"), std::string::npos);
        EXPECT_EQ(stream.find("RA"), std::string::npos);
    }
    if (std::system("command -v hp2xx >/dev/null 2>&1") != 0) GTEST_SKIP() << "hp2xx is not installed";
    const std::string png = dir.file(std::string("furniture_demo_") + device + ".png");
    std::remove(png.c_str());
    const int rc = std::system(("hp2xx -q -m png -f " + png + " " + plot_file + " 2>/dev/null").c_str());
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(read_file(png).empty());
}

INSTANTIATE_TEST_SUITE_P(BothModes, Furniture, ::testing::Values("HPGL2", "HPGL"));

}  // namespace
