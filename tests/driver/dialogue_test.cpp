// End-to-end runs of the dialogue and the vector picture.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <tuple>
#include <utility>

#include "../resultfile/result_image.h"
#include "driver/dialogue.h"
#include "resultfile/model.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Hidden temporary plot files in the directory.
int temporaries(const fs::path& dir) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir)) n += entry.path().filename().string().starts_with(".MURAL.PLT.");
    return n;
}

class Dialogue : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.DIF", "run1.dat"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
    }
    RunResult run(const std::vector<std::string>& args, const std::string& input) {
        return run_mural(dir.path(), args, input);
    }
    std::string plot() const { return read_file(dir.file("MURAL.PLT")); }
    ScratchDir dir;
};

// The layers every picture of a vertical section shows: those whose centre
// lies at or below the height shown, at least the first (faces 0, 5, 10, 20
// and 40 m).
TEST(SectionLayers, CentreAtOrBelowTheHeightShown) {
    resultfile::Grid g;
    g.NZ = 4;
    g.ZL.resize(4);
    const float centres[] = {2.5f, 7.5f, 15.0f, 30.0f};
    for (int k = 1; k <= 4; ++k) g.ZL(k) = centres[k - 1];
    const std::pair<float, int> cases[] = {{1.0f, 1},  {2.5f, 1},  {7.4f, 1},  {7.5f, 2},   {14.9f, 2},
                                           {15.0f, 3}, {29.0f, 3}, {30.0f, 4}, {1000.0f, 4}};
    for (const auto& [height, layers] : cases) EXPECT_EQ(driver::section_layers(g, height), layers) << height;
}

// Anything but a regular file where a text file is read counts as missing:
// the run ends promptly as it does without the file.
TEST(NotARegularFile, CountsAsMissing) {
    const std::tuple<std::function<void(const ScratchDir&)>, std::string, int> cases[] = {
        {[](auto& d) { fs::create_directory(d.path() / "run1.dat"); }, " - PLBORG - run1.dat", 0},
        {[](auto& d) { fs::create_symlink("/dev/zero", d.path() / "run1.dat"); }, " - PLBORG - run1.dat", 0},
        {[](auto& d) { d.write("MURAL.INI", "pa=./f.pal\n"); ::mkfifo(d.file("f.pal").c_str(), 0600); },
         "SETPAL-F-Paletten-Datei ./f.pal nicht gefunden!", 1},
        {[](auto& d) { ::mkfifo(d.file("MURAL.INI").c_str(), 0600); }, "DEFPAR-W-Datei PLTDEF.INI nicht gefunden!", 0},
    };
    for (const auto& [make, shown, status] : cases) {
        ScratchDir dir;
        fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / "run1.IGB", dir.path() / "run1.IGB");
        // The header names the building file "run1.dat", which is then opened as it stands.
        std::string erg = read_file((fs::path(MURAL_EXAMPLES_DIR) / "run1.ERG").string());
        dir.write("run1.ERG", erg.replace(erg.find("C:\\MODELL\\RUN1.DAT"), 18, "run1.dat          "));
        make(dir);
        RunResult r = run_mural(dir.path(), {"run1", "/o", "/l:RO"}, "V\nM02\n\n\n");
        EXPECT_EQ(r.status, status) << shown << "\n" << r.err;
        EXPECT_TRUE(contains(r.out + r.err, shown)) << r.out << r.err;
        EXPECT_EQ(temporaries(dir.path()), 0) << shown;
    }
}

TEST_F(Dialogue, EndsWithoutAPlotOnEndOrUnknownLetters) {
    RunResult r = run({"run1"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* text : {" ===== Art der Darstellung ======", " vektorielle Größen", "  V\t- Vektorpfeildarstellung",
                             "  D[I]\t- Divergenzfeld", "  E\t- Ende", " =============> "})
        EXPECT_TRUE(contains(r.out, text)) << text;
    EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT")));

    r = run({"run1"}, "Q\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, " Unbekannte Darstellungsart: Q"));
    EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT")));
    // "K" belongs to the menu of a diffusion-coefficient run only.
    r = run({"run1"}, "K\n");
    EXPECT_TRUE(contains(r.out, " Unbekannte Darstellungsart: K"));

    r = run({"run1.DIF"}, "E\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, " Ausgabeart:\n K[I]\t- Diffusionskoeffizienten\n E\t- Ende\n"));
}

// The difference pictures belong to the comparison of two runs, which the
// delivered program does not offer: their letters are unknown there.
TEST_F(Dialogue, DifferencePicturesAreUnknownInTheDeliveredProgram) {
    for (const char* letter : {"X", "Y", "C"}) {
        RunResult r = run({"run1"}, std::string(letter) + "\n");
        EXPECT_EQ(r.status, 0) << letter << r.err;
        EXPECT_TRUE(contains(r.out, std::string(" Unbekannte Darstellungsart: ") + letter)) << r.out;
        EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT")));
    }
}

TEST_F(Dialogue, SectionPromptAsksAgainForIndexesOutsideTheGrid) {
    RunResult r = run({"run1"}, "V\nK99\nKx\nI61\nX05\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " XY (Kii,Mii), XZ (Jii), YZ (Iii) Schnitt> "));
    EXPECT_TRUE(contains(r.out, " Schnitt K99 liegt außerhalb des Gitters (1 bis 15)"));
    EXPECT_TRUE(contains(r.out, " Schnitt I61 liegt außerhalb des Gitters (1 bis 60)"));
    EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT")));
    r = run({"run1"}, "V\nK0\n");
    EXPECT_EQ(r.status, 0);
    r = run({"run1"}, "V\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Eingabe zu Ende")) << r.err;
}

TEST_F(Dialogue, WideGridsAskForThreeDigits) {
    ResultSpec spec;
    spec.NX = 120;
    spec.NY = 80;
    spec.NZ = 1;
    spec.DZK = {5.0f};
    dir.write("gross.ERG", result_bytes(spec));
    ObstacleSpec obstacles;
    obstacles.NX = 120;
    obstacles.NY = 80;
    obstacles.NZ = 1;
    obstacles.DZK = {5.0f};
    obstacles.porous.clear();
    dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    RunResult r = run({"gross"}, "V\nK000\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " XY (Kiii,Miii), XZ (Jiii), YZ (Iiii) Schnitt> "));
}

TEST_F(Dialogue, HorizontalVectorPicture) {
    RunResult r = run({"run1", "/l:RO", "/avo"}, "V\nK05\n\n\n3\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* text : {" Horizontalschnitt bei z=", " Ausschnitt MX,MY:60 50", " - PLVEKT -  60  50",
                             " Skalierung der Pfeillänge", " ELEPOS-I-Position: RO",
                             " ** Windrichtungsanzeige eingezeichnet:", " ** Nordpfeil eingezeichnet:",
                             " Logo mit Stift  31 geplottet"})
        EXPECT_TRUE(contains(r.out, text)) << text;
    const std::string p = plot();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.rfind("SP0PG;"), p.size() - 6);
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("h.png")));
    if (const char* keep = std::getenv("MURAL_KEEP_PLOTS")) fs::copy_file(dir.file("MURAL.PLT"), fs::path(keep) / "horizontal.plt", fs::copy_options::overwrite_existing);
}

TEST_F(Dialogue, VerticalVectorPictureWithExaggeration) {
    RunResult r = run({"run1", "/n", "/p=schnitt.plt", "/m"}, "\n\nV\nJ23\n80\n3\n\n\n3\n10\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* text : {" Kurzbeschreibung: ", " O-Originalhindernisse", " Vertikalschnitt bei y=", " max. vert. Ausdehnung: ",
                             " Überhöhungsfaktor für z-Achse: "})
        EXPECT_TRUE(contains(r.out, text)) << text;
    EXPECT_FALSE(contains(r.out, "Nordpfeil"));
    EXPECT_TRUE(fs::exists(dir.file("schnitt.plt")));
    EXPECT_TRUE(renders(dir.file("schnitt.plt"), dir.file("v.png")));
    if (const char* keep = std::getenv("MURAL_KEEP_PLOTS")) fs::copy_file(dir.file("schnitt.plt"), fs::path(keep) / "vertical.plt", fs::copy_options::overwrite_existing);
}

TEST_F(Dialogue, TitleInIso8859_1IsShownAndDrawnWhole) {
    std::string result = read_file(dir.file("run1.ERG")), title = "Gr\xFC\xDF" "e";
    title.resize(80, ' ');
    dir.write("run1.ERG", result.replace(4 + 32, 80, title));  // after version and program name
    // An unknown MURAL_CODEPAGE only warns: the code page is still chosen for the text.
    RunResult r = run_mural(dir.path(), {"run1"}, "V\nK05\n\n\n3\n", {"MURAL_CODEPAGE=437"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " MURAL-W-MURAL_CODEPAGE=\"437\" unbekannt (850 oder 8859-1)"));
    EXPECT_TRUE(contains(r.out, " Titel:QEM Grüße\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "undefined")) << r.out;
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("t.png")));
}

TEST_F(Dialogue, SignalDuringThePlotRemovesItsTemporaryFile) {
    dir.write("MURAL.PLT", "alt");
    RunResult r = interrupt_mural(dir.path(), {"run1"}, "V\nK03\n", " Skalierung der Pfeillänge", SIGTERM,
                                  [&] { EXPECT_EQ(temporaries(dir.path()), 1); });
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
    EXPECT_EQ(temporaries(dir.path()), 0);
    EXPECT_EQ(plot(), "alt");
}

TEST_F(Dialogue, PictureTallerThanThePageStops) {
    RunResult r = run({"run1"}, "V\nI30\n40\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Zeichnung in y-Richtung zu groß!")) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT")));
}

}  // namespace

namespace {

TEST_F(Dialogue, OneArrowPerPointOfAKnownField) {
    ResultSpec spec;  // 3 x 2 cells, every wind component non-zero
    dir.write("klein.ERG", result_bytes(spec));
    ObstacleSpec obstacles;
    obstacles.massive.clear();
    obstacles.porous.clear();
    dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    // Arrows of 0.001 s of travel stay inside the plot.
    RunResult r = run({"klein", "/l:no", "/m", "/o0"}, "V\nK01\n0.001\n\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(contains(r.out, " - PLVEKT -   3   2"));
    const std::string p = plot();
    // x 100..130 m and y 200..210 m on 180 x 60 mm from the origin at 20 mm:
    // centres 105, 115, 125 and 202.5, 207.5 in plotter units.
    int arrows = 0;
    for (const char* y : {"1407", "2613"})
        for (const char* x : {"2010", "4422", "6834"}) {
            const std::string start = std::string("PU") + x + "," + y + ";PD";
            EXPECT_EQ(count(p, start), 1) << start;
            arrows += count(p, start);
        }
    EXPECT_EQ(arrows, 6);
    // The wind at a centre: U 1000 + 100 k + 10 j + i + 0.5, V 2000 + 100 k + 10 j + i + 5,
    // 0.001 s of it: the first arrow's tip lies 1.1115 m east, 2.116 m north of its start
    // (6 mm per metre both ways).
    const std::size_t first = p.find("PU2010,1407;PD");
    ASSERT_NE(first, std::string::npos);
    EXPECT_TRUE(contains(p.substr(first, p.find("PU", first + 2) - first), ",2278,1917,"));
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("k.png")));
}

}  // namespace

namespace {

TEST_F(Dialogue, ObstaclesOverTheArrowsInEverySection) {
    // Level 3 cuts the three buildings, the passage roof and both trees (pen 3).
    RunResult r = run({"run1", "/l:RO", "/f=4"}, "V\nK03\n\n\n3\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* text : {" - IMHAUS -    4 massive Hindernisse", " - PLBDIG -    4 massive Hindernisse",
                             " Stift für poröse Hindernisse (0 - por. Hind. nicht eintragen): ",
                             " - PLBDIG-I-abgehobenes Hindernis gezeichnet     4"})
        EXPECT_TRUE(contains(r.out, text)) << text;
    // Filled solid in the pen of "/f=4", the trees in the pen answered.
    const std::string p = plot();
    EXPECT_TRUE(contains(p, "SP4;"));
    EXPECT_TRUE(contains(p, "SP3;"));
    EXPECT_GE(count(p, "RA"), 3);
    EXPECT_FALSE(contains(p, "FT3,"));
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("o.png")));

    // A vertical section asks how far beside it obstacles are shown.
    r = run({"run1", "/l:RO"}, "V\nJ23\n\n\n\n3\n15\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(contains(r.out, " Hindernisse neben dem Schnitt berücksichtigen?\n Erfassungsabstand: "));
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("j.png")));

    // Without obstacles nothing of them is asked or drawn.
    r = run({"run1", "/l:RO", "/o0"}, "V\nK03\n\n\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_FALSE(contains(r.out, "PLBDIG"));
    EXPECT_FALSE(contains(plot(), "RA"));
}

TEST_F(Dialogue, OriginalOutlinesAndTerrainFollowingSection) {
    RunResult r = run({"run1", "/l:RO", "/o"}, "V\nM02\n\n\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* text : {"  Orgraphiedaten aufbereiten, NO=0", "MinMax KGEL: 0 0", " 2 Schichten über Grund",
                             " - PLBORG - C:\\MODELL\\RUN1.DAT"})
        EXPECT_TRUE(contains(r.out, text)) << text;
    EXPECT_FALSE(contains(r.out, "PLBDIG"));
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("m.png")));
    // "/o" in a vertical section draws the obstacle list: the outlines are a plan view.
    r = run({"run1", "/l:RO", "/o"}, "V\nI30\n\n\n\n0\n0\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(contains(r.out, " - PLBDIG -"));
    EXPECT_FALSE(contains(r.out, "PLBORG"));
}

}  // namespace

namespace {

// Draft ("/dr") leaves the obstacles' hatching and filling out; debug ("/de")
// shows the file names stored in the run and pauses before the picture menu.
TEST_F(Dialogue, DraftAndDebugRuns) {
    RunResult full = run({"run1", "/l:RO"}, "V\nK03\n\n\n3\n");
    ASSERT_EQ(full.status, 0) << full.err;
    const std::string hatched = plot();
    EXPECT_TRUE(contains(hatched, "FT3,"));

    RunResult r = run({"run1", "/l:RO", "/dr"}, "V\nK03\n\n\n3\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string draft = plot();
    EXPECT_FALSE(contains(draft, "FT3,"));
    EXPECT_FALSE(contains(draft, "RA"));
    // The outlines stay: the outline drawn before the first hatching is in both plots.
    const std::size_t fill = hatched.find("FT3,");
    const std::size_t start = hatched.rfind("PU", fill);
    ASSERT_NE(start, std::string::npos);
    const std::string outline = hatched.substr(start, fill - start);
    EXPECT_NE(outline.find("PD"), std::string::npos) << outline;
    EXPECT_TRUE(contains(draft, outline)) << outline;
    r = run({"run1", "/l:RO", "/dr", "/f=4"}, "V\nK03\n\n\n3\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(plot(), "RA"));  // solid obstacles become blanking areas only
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("dr.png")));

    r = run({"run1", "/l:RO", "/de"}, "\nV\nK03\n\n\n3\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* text : {" Hindernisse: C:\\MODELL\\RUN1.DAT", " UVW-Feld:    C:\\MODELL\\RUN1.UVW",
                             " weiter mit <Eingabe> "})
        EXPECT_TRUE(contains(r.out, text)) << text;
    EXPECT_LT(r.out.find(" weiter mit <Eingabe> "), r.out.find(" ===== Art der Darstellung"));
    EXPECT_EQ(plot(), hatched);  // debug output changes nothing in the plot
}

}  // namespace

// The example's background map under an arrow picture of a level section;
// none in a vertical section. A north angle in the definition holds over
// the run's own.
TEST_F(Dialogue, BackgroundMapUnderLevelPictures) {
    for (const char* name : {"LESDIG.DEF", "hintergrund.dig"})
        fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
    RunResult r = run({"run1", "/l:RO"}, "V\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* text : {" Nordrichtung aus der Datei LESDIG.DEF:", " Hintergrunddatei: hintergrund.dig",
                             " Hintergrund mit Stift #", " ## Hintergrunddaten aus der Datei hintergrund.dig",
                             " - LESDIG - V"})
        EXPECT_TRUE(contains(r.out, text)) << text << r.out;
    const std::string with_map = plot();
    EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("b.png")));

    r = run({"run1", "/l:RO"}, "V\nJ25\n\n\n2\n\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.out, " Hintergrund mit Stift #"));

    std::string definition = read_file(dir.file("LESDIG.DEF"));
    dir.write("LESDIG.DEF", definition + "WN=30\n");
    r = run({"run1", "/l:RO"}, "V\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Nordrichtung aus der Datei LESDIG.DEF:  30.0°")) << r.out;
    EXPECT_NE(plot(), with_map) << "the north arrow turns with the definition's angle";
}

// Pictures beside the plot file, asked for by option or layout file; an
// unknown format stops before any question.
TEST_F(Dialogue, PicturesBesideThePlotFile) {
    RunResult r = run({"run1", "/g=gif"}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "ungültiges Bildformat \"gif\" in /g=gif (möglich sind png, pdf, svg)")) << r.err;

    r = run({"run1", "/l:RO", "/g=PNG,svg"}, "V\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Bild: MURAL.png"));
    EXPECT_TRUE(fs::file_size(dir.file("MURAL.png")) > 1000);
    EXPECT_TRUE(read_file(dir.file("MURAL.svg")).starts_with("<?xml"));
    EXPECT_FALSE(fs::exists(dir.file("MURAL.pdf")));

    dir.write("MURAL.INI", "gr=pdf\npl=schnitt.plt\n");
    r = run({"run1", "/l:RO"}, "V\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_file(dir.file("schnitt.pdf")).starts_with("%PDF"));
}
