// The bundled example drawn as wind arrows in every legend position, with
// axes and with the scale bar ("/m"), in a level and in a vertical section,
// and as a colour raster of a level under the background map, whose many
// legend lines must still fit the legend box.
// The program runs in this process so that the places it chose for the
// overlays can be compared with what the plot file draws.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <unistd.h>

#include "contour/scalar_field.h"
#include "driver/cmdline.h"
#include "driver/dialogue.h"
#include "driver/overlays.h"
#include "driver/settings.h"
#include "driver/startup.h"
#include "flowplots/vectors.h"
#include "mapelements/background.h"
#include "mapelements/legend.h"
#include "mapelements/obstacles.h"
#include "platform/arguments.h"
#include "platform/fatal.h"
#include "resultfile/model.h"
#include "test_support.h"
#include "velin/velin.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {


// Runs mural in `dir` as the command line `args` with the answers `input`.
int run_here(const fs::path& dir, const std::vector<std::string>& args, const std::string& input, std::string& out) {
    driver::reset_run();
    platform::set_arguments(args);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    int status = 1;
    {
        CapturedConsole console(input);
        try {
            status = driver::run_mural();
        } catch (const platform::Fatal& f) {
            out = console.out() + "\n" + f.what();
            fs::current_path(previous);
            return 1;
        }
        out = console.out();
    }
    fs::current_path(previous);
    return status;
}

driver::Box grown(const driver::Box& b, float by) { return {b.x0 - by, b.y0 - by, b.x1 + by, b.y1 + by}; }

bool inside(const driver::Box& b, double x, double y) { return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1; }

// Legend position, "/m", picture: 'K' arrows in level 3, 'J' arrows along
// row 25, 'F' the raster of the speed in level 3 with the background map.
using Case = std::tuple<const char*, bool, char>;

class Overlays : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.dat"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        if (std::get<2>(GetParam()) == 'F')
            for (const char* name : {"MURAL.RAS", "LESDIG.DEF", "hintergrund.dig"})
                fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
    }
    ScratchDir dir;
};

TEST_P(Overlays, StayOnThePageBesideThePlotAndOffTheLegend) {
    const auto [position, scale_bar, section] = GetParam();
    std::vector<std::string> args = {"run1", std::string("/l:") + position};
    if (scale_bar) args.push_back("/m");
    const bool vertical = section == 'J', raster = section == 'F';
    std::string input = raster ? "F\nK03\n" : vertical ? "V\nJ25\n\n" : "V\nK03\n";  // the exaggeration keeps its default
    if (std::string(position) == "XY") input += "185 20 45 30\n";
    input += raster ? "3\n" : vertical ? "\n3\n3\n20\n" : "\n3\n3\n";  // scale, thinning, trees, distance beside
    std::string out;
    ASSERT_EQ(run_here(dir.path(), args, input, out), 0) << out;

    const driver::OverlayPlan& plan = driver::overlay_plan();
    const driver::Settings& s = driver::settings();
    // The box holds every line of the legend (a box of the user's own size may not).
    const mapelements::LegendState& leg = mapelements::RRLEGP();
    if (std::string(position) != "XY" && std::string(position) != "NO") {
        EXPECT_GE(leg.YLEGP, leg.YLEG) << "the last legend line stands below the box";
        EXPECT_GE(leg.YLEG, 0.0f) << "the legend box reaches below the plot";
    }
    if (raster && std::string(position) != "NO") {
        EXPECT_EQ(leg.LEVEL, 1 + 2 + 11 + 1 + 4) << "raster titles and classes, map heading and classes";
    }
    // The overlays that belong to the picture, each on the page, off the plot and apart.
    std::vector<driver::Box> overlays;
    if (scale_bar) overlays.push_back(plan.scale_bar);
    if (!vertical) overlays.push_back(plan.rose), overlays.push_back(plan.north);
    EXPECT_TRUE(plan.scale_bar.empty() != scale_bar);
    EXPECT_TRUE(plan.rose.empty() == vertical && plan.north.empty() == vertical);
    for (std::size_t i = 0; i < overlays.size(); ++i) {
        EXPECT_FALSE(overlays[i].empty()) << i;
        EXPECT_TRUE(plan.page.contains(overlays[i])) << i;
        EXPECT_FALSE(overlays[i].overlaps(plan.graph)) << i;
        EXPECT_FALSE(overlays[i].overlaps(plan.entries)) << i;
        for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlays[i].overlaps(overlays[j])) << i << " " << j;
    }

    // Every stroke lies on the page; what lies beyond the plot, its labels,
    // its title and the legend lies within an overlay's box.
    const std::vector<Stroke> strokes = plot_strokes(read_file(dir.file("MURAL.PLT")));
    ASSERT_GT(strokes.size(), 1000u);
    float page_w = 0, page_h = 0;
    velin::page_size(s.PFORMAT, page_w, page_h);
    const driver::Box labelled{-s.XN, -5.0f * s.ZH, plan.graph.x1 + 2.0f * s.ZH, plan.graph.y1 + 3.0f * s.ZH};
    for (const Stroke& k : strokes) {
        for (auto [x, y] : {std::pair{k.x0, k.y0}, std::pair{k.x1, k.y1}}) {
            ASSERT_TRUE(x >= 0.0 && x <= page_w && y >= 0.0 && y <= page_h) << x << "," << y;
            const double gx = x - s.XN, gy = y - s.YN;  // relative to the plot's origin
            if (inside(labelled, gx, gy) || inside(grown(plan.legend, 0.5f), gx, gy) ||
                inside(grown(plan.entries, 0.5f), gx, gy))
                continue;
            bool covered = false;
            for (const driver::Box& b : overlays) covered = covered || inside(grown(b, 0.3f), gx, gy);
            EXPECT_TRUE(covered) << "stroke point " << gx << "," << gy << " outside every overlay";
        }
    }

    // A legend inside the plot blanks the picture: no stroke crosses its box,
    // and within it there is only the legend's own entry.
    if (driver::legend_inside_plot(plan.legend.x0, plan.legend.y0, plan.legend.x1 - plan.legend.x0,
                                   plan.legend.y1 - plan.legend.y0, plan.graph.x1, plan.graph.y1)) {
        const driver::Box inner = grown(plan.legend, -0.05f);
        for (const Stroke& k : strokes) {
            const double ax = k.x0 - s.XN, ay = k.y0 - s.YN, bx = k.x1 - s.XN, by = k.y1 - s.YN;
            const bool a_in = inside(inner, ax, ay), b_in = inside(inner, bx, by);
            EXPECT_FALSE(a_in != b_in && !inside(plan.legend, a_in ? bx : ax, a_in ? by : ay))
                << "stroke crosses the legend: " << ax << "," << ay << " - " << bx << "," << by;
            if (a_in) { EXPECT_TRUE(inside(grown(plan.entries, 0.3f), ax, ay)) << ax << "," << ay << " - " << bx << "," << by; }
            if (b_in) { EXPECT_TRUE(inside(grown(plan.entries, 0.3f), bx, by)) << ax << "," << ay << " - " << bx << "," << by; }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPosition, Overlays,
                         ::testing::Combine(::testing::Values("UL", "UR", "RO", "RU", "NO", "XY"),
                                            ::testing::Bool(), ::testing::Values('K', 'J', 'F')));

}  // namespace
