// End-to-end runs of the scalar pictures: every quantity as isolines and as
// a colour raster, in level and vertical sections, with and without the
// definition files of the example.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "../resultfile/result_image.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct Case {
    const char* run;           // result or diffusion file
    const char* answers;
    bool definitions;          // MURAL.ISO and MURAL.RAS of the example present
    int status;
    std::vector<const char*> shown;  // on standard output (status 0) or error (1)
    bool raster;               // filled rectangles in the plot
};

}  // namespace

TEST(ScalarPictures, EveryQuantityAsIsolinesAndRaster) {
    const Case cases[] = {
        // Refusals first: no plot is begun.
        {"run1", "D\nJ25\n", true, 1, {"DIV nicht implementiert"}, false},
        {"run1", "F\nK03\n\n", false, 1, {"GERADA-F-Rasterdefinitionsdatei MURAL.RAS nicht gefunden"}, false},
        // Isolines without a value file: spacing and first value are asked; labels with decimals.
        {"run1", "FI\nK03\n\n0.5\n0\n", false, 0,
         {"! GETIVAL-W-Kennung nicht gefunden", " Abstand der Isolinien: ", " Beginn mit Isolinienwert: ",
          " ## Beschriftung:  1.25 mm hoch, Format F", "Horizontalgeschwindigkeit [m/s]"},
         false},
        {"run1", "F\nK03\n\n", true, 0,
         {" -- Farbrasterdarstellung mit 11 Farben", " Hintergrundrechteck mit Stift"}, true},
        {"run1", "WI\nJ25\n\n\n\n", true, 0,
         {" nicht-äquidistantes vertikales Gitter !", "Vertikalgeschwindigkeit [m/s]", "Vertikalschnitt bei y="},
         false},
        {"run1", "W\nK03\n\n", true, 0, {"Horizontalschnitt bei z=4.4 m - Vertikalgeschwindigkeit"}, true},
        {"run1", "G\nK03\n\n", true, 0,
         {" Referenzgeschwindigkeit: ", " mittlere Geschwindigkeit:", "Anströmung [%]"}, true},
        {"run1", "GI\nI20\n\n\n\n", true, 0, {"Anströmung [m/s]", "ISOPLO"}, false},
        {"run1", "DI\nM02\n\n", true, 0, {"Divergenz [1/s]", "Schichten über Grund"}, false},
        {"run1.DIF", "KI\nJ25\n\n\n\n", true, 0,
         {" Mittelung der K-Werte auf Lambda-Gitter!", "Diffusionskoeffizient KZ [m2/s]"}, false},
        {"run1.DIF", "K\nK03\n\n", true, 0, {" Mittelung der K-Werte auf Lambda-Gitter!"}, true},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.DIF", "run1.dat"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        if (c.definitions)
            for (const char* name : {"MURAL.ISO", "MURAL.RAS"})
                fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        RunResult r = run_mural(dir.path(), {c.run, "/l:RO"}, c.answers);
        const std::string label = std::string(c.run) + " " + c.answers;
        ASSERT_EQ(r.status, c.status) << label << r.err << r.out;
        for (const char* text : c.shown) EXPECT_TRUE(contains(c.status == 0 ? r.out : r.err, text)) << label << text;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT"))) << label;
            continue;
        }
        const std::string plot = read_file(dir.file("MURAL.PLT"));
        EXPECT_EQ(contains(plot, "RA"), c.raster) << label;
        EXPECT_GT(count(plot, "PD"), 20) << label;
        EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("s.png"))) << label;
    }
}

// A level whose inflow is calm has no percentage: its cells get 0 and a
// warning names the level.
TEST(ScalarPictures, DeviationInPerCentOfACalmLevelIsZeroWithAWarning) {
    ScratchDir dir;
    ResultSpec spec;
    std::string erg = result_bytes(spec);
    // The inflow profile: U0 = 2, 3 and V0 = -0.5, -1 on the two layers; layer 1 becomes calm.
    const float profile[] = {2.0f, 3.0f, -0.5f, -1.0f}, calm[] = {0.0f, 3.0f, 0.0f, -1.0f};
    std::string from(reinterpret_cast<const char*>(profile), sizeof profile);
    std::size_t at = erg.find(from);
    ASSERT_NE(at, std::string::npos);
    erg.replace(at, sizeof calm, std::string(reinterpret_cast<const char*>(calm), sizeof calm));
    dir.write("calm.ERG", erg);
    ObstacleSpec obstacles;
    obstacles.porous.clear();
    dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    dir.write("MURAL.RAS", "G\n'Abweichung'\n-\n-10. 2 'weniger'\n10. 3 'gleich'\n999. 4 'mehr'\n");
    RunResult r = run_mural(dir.path(), {"calm", "/l:RO"}, "G\nK01\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Warnung: Anströmung in Schicht 1 ist 0")) << r.out;
    EXPECT_TRUE(contains(r.out, "Min/Max:            0            0")) << r.out;
}
