// End-to-end runs of the streamline and trajectory pictures on the example.
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
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.dat"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        RunResult r = run_mural(dir.path(), {"run1", "/l:RO"}, c.answers);
        ASSERT_EQ(r.status, 0) << c.answers << r.err << r.out;
        for (const char* text : c.shown) EXPECT_TRUE(contains(r.out, text)) << c.answers << text;
        const std::string plot = read_file(dir.file("MURAL.PLT"));
        // Hundreds of flow lines, or only the frame, the obstacles and the overlays (about 260).
        EXPECT_EQ(lines_drawn(plot) > 400, c.lines) << c.answers << lines_drawn(plot);
        if (std::system("command -v hp2xx >/dev/null 2>&1") == 0) {
            const std::string command = "hp2xx -q -m png -f '" + dir.file("f.png") + "' '" + dir.file("MURAL.PLT") + "'";
            EXPECT_EQ(std::system(command.c_str()), 0) << c.answers;
        }
    }
}
