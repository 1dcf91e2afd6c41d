// End-to-end runs of the streamline and trajectory pictures on the example,
// over its background map in level sections.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

int lines_drawn(const std::string& plot) {
    int n = 0;
    for (auto at = plot.find("PD"); at != std::string::npos; at = plot.find("PD", at + 1)) ++n;
    return n;
}

struct Case {
    const char* answers;
    std::vector<const char*> shown;
    bool lines;  // flow lines drawn beyond the frame, obstacles and overlays
    std::vector<const char*> options = {"/l:RO"};
};

}  // namespace

TEST(FlowPictures, StreamlinesAndTrajectoriesInEverySection) {
    // The picture of the same section without flow lines, for comparison.
    const Case cases[] = {
        {"S\nK03\n\n", {" - PLSTR -  60  50", " RAND= 1", " === WF ===", " ILTmax="}, true},
        {"S\nM02\n\n", {" - PLSTR -", "Schichten über Grund"}, true},
        {"S\nJ25\n\n\n\n", {" Stromlinien nur für Horizontalschnitte !"}, false},
        {"T\nK03\n\n\n", {" - PLTRAJ -  60  50", " Trajektorienverfolgungszeit:", " - BLNKON -"}, true},
        {"T\nJ25\n\n\n\n\n", {" - PLTRAZ -", " Startpunkte vertikal im Abstand"}, true},
        // A window of 150 x 100 m at 4 m/s: the time to cross one 5 m box.
        {"T\nK05\n\n3\n", {" Trajektorienverfolgungszeit:   2.0 sec\n"}, true, {"/l:UR", "/x:3550,3700,5250,5350"}},
        // Across the wind from the west: the section's own mean speed.
        {"T\nI30\n\n\n\n\n",
         {" PLTRAZ-I-Anströmung im Schnitt  0.00 m/s, mittlere Geschwindigkeit im Schnitt  0.08 m/s",
          " Trajektorienverfolgungszeit:  61.0 sec", "Skalierungspfeil für   0.1m/s"},
         true},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.dat", "LESDIG.DEF", "hintergrund.dig"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        std::vector<std::string> args = {"run1"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = run_mural(dir.path(), args, c.answers);
        ASSERT_EQ(r.status, 0) << c.answers << r.err << r.out;
        for (const char* text : c.shown) EXPECT_TRUE(contains(r.out, text)) << c.answers << text << "\n" << r.out;
        // Lines end on the frame: no point lies outside the plot.
        EXPECT_FALSE(contains(r.out, "außerhalb")) << c.answers << r.out;
        // The map of a level section lies under the flow lines.
        if (c.answers[2] == 'K' || c.answers[2] == 'M') {
            EXPECT_LT(r.out.find(" - LESDIG -"), r.out.find(c.answers[0] == 'S' ? " - PLSTR -" : " - PLTRAJ -"))
                << c.answers;
        }
        const std::string plot = read_file(dir.file("MURAL.PLT"));
        // Hundreds of flow lines, or only the frame, the obstacles and the overlays (about 260).
        EXPECT_EQ(lines_drawn(plot) > 400, c.lines) << c.answers << lines_drawn(plot);
        if (std::system("command -v hp2xx >/dev/null 2>&1") == 0) {
            const std::string command = "hp2xx -q -m png -f '" + dir.file("f.png") + "' '" + dir.file("MURAL.PLT") + "'";
            EXPECT_EQ(std::system(command.c_str()), 0) << c.answers;
        }
    }
}
