// End-to-end runs of the mural executable with scripted answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../resultfile/result_image.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class MuralRun : public ::testing::Test {
protected:
    // A result file and the obstacle file that its header names.
    void write_run(const std::string& name, const ResultSpec& spec = ResultSpec()) {
        dir.write(name, result_bytes(spec));
        ObstacleSpec obstacles;
        obstacles.family = spec.family;
        dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    }
    RunResult run(const std::vector<std::string>& args, const std::string& input = "") {
        return run_mural(dir.path(), args, input);
    }
    ScratchDir dir;
};

TEST_F(MuralRun, BadOptionsAndMissingFilesEndWithStatusOne) {
    write_run("run1.ERG");
    RunResult r = run({"/n"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, " Aufruf:  MURAL Datei[.ERG] [/optionen]"));
    EXPECT_EQ(r.err, "MURAL-F-keine Ergebnisdatei angegeben\n");

    r = run({"run1", "/f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "MURAL-F-ungültige Optionsangabe /F=?\n");
    r = run({"run1", "/f=-2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, " /F-Stift= -2"));
    EXPECT_EQ(r.err, "MURAL-F-bad /fill-id\n");
    r = run({"run1", "/l"});
    EXPECT_EQ(r.err, "MURAL-F-ungültige Optionsangabe /L=?\n");
    // An unknown legend code is refused before any question, naming the valid ones.
    r = run({"run1", "/l:zz"}, "V\nK01\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "MURAL-F-ungültige Lage der Legende /L:zz (möglich sind UL, UR, RO, RU, NO, XY)\n");
    EXPECT_FALSE(contains(r.out, "Art der Darstellung"));
    r = run({"run1", "/f=1x"});
    EXPECT_EQ(r.err, "GETARG-F-falsches INTEGER_Argument\n");

    r = run({"fehlt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, " - GET_HEAD - fehlt.ERG"));
    EXPECT_TRUE(contains(r.err, "GET_HEAD-F-Ergebnisdatei existiert nicht!"));

    // End of input at a prompt.
    r = run({"run1", "/p"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, " Plotdatei: "));
    EXPECT_EQ(r.err, "MURAL-F-Eingabe zu Ende bei der Abfrage \"Plotdatei:\"\n");
}

TEST_F(MuralRun, TruncatedResultFileIsAFatalErrorNamingTheFile) {
    std::string bytes = result_bytes(ResultSpec());
    dir.write("kurz.ERG", bytes.substr(0, bytes.size() - 7));
    write_run("run1.ERG");
    dir.write("HAUS.IGB", obstacle_bytes(ObstacleSpec()).substr(0, 300));
    RunResult cut = run({"run1"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(contains(cut.err, "GQEM_IGB-F-Datei HAUS.IGB ist zu kurz")) << cut.err;
    RunResult r = run({"kurz"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "GQEM_DIM-F-Datei kurz.ERG ist zu kurz")) << r.err;
}

TEST_F(MuralRun, WithoutArgumentsShowsBannerAndUsage) {
    RunResult r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "\n ## MURAL V5.10                               #\n\n"
              " Aufruf:  MURAL Datei[.ERG] [/optionen]\n"
              " Optionen:\n"
              "  /De\t\t - Debug\n"
              "  /F=ii\t\t - Hindernisse mit Stift ii ausfüllen\n"
              "  /G=png,pdf,svg\t - Bilder der Zeichnung neben der Plotdatei\n"
              "  /K\t\t - Diffusionskoeffizienten einer NetCDF-Datei\n"
              "  /L:pos\t\t - Lage der Legende (pos=[UL,UR,RO,RU,NO,XY])\n"
              "  /M\t\t - Maßstabskala statt Achsenbeschriftung\n"
              "  /N\t\t - interaktive Abfrage von Einstellungen\n"
              "  /O\t\t - Originalhindernisse\n"
              "  /P=pltfile\t - Namen der Plotdatei vorgeben\n"
              "  /X[:...]\t - Ausschnitt plotten (Horizontalschnitt)\n\n");
    EXPECT_EQ(r.err, "");
    r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " ## MURAL V5.10                               #\n");
    r = run({"run1", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, " Optionen:"));
}

TEST_F(MuralRun, ReadsAndDescribesTheRun) {
    write_run("run1.ERG");
    RunResult r = run({"/n", "run1", "-de"}, "\nKurz\n\nE\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " weiter mit <Eingabe> "));
    EXPECT_TRUE(contains(r.out, " Kurzbeschreibung: "));
    for (const char* text :
         {" - GET_HEAD - run1.ERG", "   Ergebnisse vom Modell QEM", " GQEM_HED-Daten aus dem Programmlauf: QEM",
          " Titel=QEM Testlauf", " Hindernisse: C:\\RUN\\HAUS.DAT", " Dimensionierung NX,NY,NZ: 3 2 2",
          "Xmin,Xmax,Ymin,Ymax: 100.0 130.0 200.0 210.0", "NX,NY,DX,DY: 3 2 10.0 5.0", " Anströmung:",
          " Windrichtung DD=", " GQEM_UVW-I-U, V, W werden schnittweise gelesen", " - GQEM_IGB - HAUS.IGB",
          " massive Hindernisse:    3", " Titel:QEM Testlauf"})
        EXPECT_TRUE(contains(r.out, text)) << text << "\n" << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(MuralRun, VersionQuestion) {
    ResultSpec spec;
    spec.version = 2.0f;
    write_run("alt.ERG", spec);
    RunResult r = run({"alt"}, "j\nE\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, " GQEM_HED-geändertes Dateiformat - akt.Version 2.10\tDateiversion 2.00 Weitermachen ? (N,j): "));
    for (const char* answer : {"n\n", ""}) {
        r = run({"alt"}, answer);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(contains(r.out, "Dimensionierung"));
    }
}

// The bytes this process and the children it reaped have read so far.
std::uint64_t bytes_read() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

TEST_F(MuralRun, APictureReadsItsSectionNotTheRun) {
    // 14 MB of fields; one level of U and V is 2 % of them, a row through all levels less.
    ResultSpec spec;
    spec.NX = spec.NY = 200;
    spec.NZ = 30;
    spec.DZK.assign(30, 2.0f);
    ObstacleSpec obstacles;
    obstacles.NX = obstacles.NY = 200;
    obstacles.NZ = 30;
    obstacles.DZK = spec.DZK;
    dir.write("big.ERG", result_bytes(spec));
    dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    dir.write("MURAL.RAS", read_file(MURAL_EXAMPLES_DIR "/MURAL.RAS"));
    const double size = static_cast<double>(fs::file_size(dir.file("big.ERG")));
    // What a run reads that draws nothing (the header, the obstacles, the
    // program's own files) is not the picture's.
    auto bytes_read_by = [&](const std::string& answers, RunResult& r) {
        const std::uint64_t before = bytes_read();
        r = run({"big", "/p=big.plt"}, answers);
        return static_cast<double>(bytes_read() - before);
    };
    RunResult r;
    const double nothing = bytes_read_by("E\n", r);
    struct Case {
        const char* answers;
        const char* read;
    };
    for (const Case& c : {Case{"V\nK15\n\n5\n0\n", " V-Feld eingelesen: Schicht 15"},
                          Case{"F\nJ100\n\n\n\n\n", " U-Feld eingelesen: Zeile J=100"},
                          Case{"S\nI100\n\n\n\n\n\n", " W-Feld eingelesen: Spalte I=100"}}) {
        const double read = bytes_read_by(c.answers, r) - nothing;
        EXPECT_EQ(r.status, 0) << c.answers << r.err;
        EXPECT_TRUE(contains(r.out, c.read)) << r.out;
        EXPECT_LT(read, 0.05 * size) << c.answers;
        EXPECT_GT(fs::file_size(dir.file("big.plt")), 1000u) << c.answers;
    }
}

TEST_F(MuralRun, DiffusionFileNamesItsResultFile) {
    write_run("run1.ERG");
    dir.write("run1.dif", diffusion_bytes(3, 2, 2, 100.0f, 10.0f, true));
    RunResult r = run({"run1.dif"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* text : {" Diffusionskoeffizienten, IT=1", " - GET_HEAD - run1.ERG", " - GQEM_DIF - V1.11 run1.dif",
                             " gepacktes Datenformat", " GQEM_KKK-I-KX, KY, KZ werden schnittweise", " Titel:QEM Terun1.dif"})
        EXPECT_TRUE(contains(r.out, text)) << text << "\n" << r.out;
    EXPECT_FALSE(contains(r.out, "U-Feld"));

    // '.DKM': the result file is looked for in the working directory, asked for when missing.
    fs::create_directory(dir.path() / "orvel");
    dir.write("orvel/lauf2.DKM", diffusion_bytes(3, 2, 2, 0.0f, 0.0f, false));
    r = run({"orvel/lauf2.DKM"}, "run1\nE\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Diffusionskoeffizienten, IT=2"));
    EXPECT_TRUE(contains(r.out, " QEM-Ergebnisdatei angeben: "));
    EXPECT_TRUE(contains(r.out, " Titel:ORVEL lauf2\n"));
    write_run("lauf2.ERG");
    r = run({"orvel/lauf2.DKM"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.out, "angeben"));
}

TEST_F(MuralRun, WindowOptionAsksUntilItHasAValidWindow) {
    write_run("run1.ERG");
    // Two numbers, then x from above x to, then a window.
    RunResult r = run({"run1", "/x"}, "0 100\n130,100,200,210\n100,130,200,210\nE\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::size_t asked = 0;
    for (std::size_t p = r.out.find(" Xvon,Xbis,Yvon,Ybis: "); p != std::string::npos;
         p = r.out.find(" Xvon,Xbis,Yvon,Ybis: ", p + 1))
        ++asked;
    EXPECT_EQ(asked, 3u);
    EXPECT_TRUE(contains(r.out, " Ausschnitt i,j: 1 3 1 2"));

    r = run({"run1", "/x:105,125,200,205"}, "E\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(contains(r.out, "Xvon"));
    EXPECT_TRUE(contains(r.out, " Ausschnitt x,y: 105.0 125.0 200.0 205.0"));
    EXPECT_TRUE(contains(r.out, " Ausschnitt i,j: 2 3 1 2"));

    r = run({"run1", "/x:0,500"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, " Xvon,Xbis,Yvon,Ybis: "));
    EXPECT_TRUE(contains(r.err, "Eingabe zu Ende"));

}

// A window that reaches past the grid (x 100..130, y 200..210) on any side:
// from the command line the run stops at start-up naming the grid's extent;
// typed at the prompt it is asked again.
TEST_F(MuralRun, WindowBesideTheGridIsRefusedOrAskedAgain) {
    write_run("run1.ERG");
    const std::string extent = "liegt nicht im Gitter (x 100.0 bis 130.0, y 200.0 bis 210.0 m)";
    for (const char* window : {"100,200,200,210", "50,120,200,210", "100,120,150,210", "100,120,200,300"}) {
        RunResult r = run({"run1", std::string("/x:") + window}, "V\n");
        EXPECT_EQ(r.status, 1) << window;
        EXPECT_TRUE(contains(r.err, "MURAL-F-Ausschnitt /x:")) << r.err;
        EXPECT_TRUE(contains(r.err, extent)) << r.err;
        EXPECT_FALSE(contains(r.out, "Art der Darstellung")) << window;  // before any question
        RunResult typed = run({"run1", "/x"}, std::string(window) + "\n100,120,200,210\nE\n");
        EXPECT_EQ(typed.status, 0) << typed.err;
        EXPECT_TRUE(contains(typed.out, extent)) << typed.out;
        EXPECT_TRUE(contains(typed.out, " Ausschnitt x,y: 100.0 120.0 200.0 210.0")) << typed.out;
    }
}

TEST_F(MuralRun, LayoutFileSetsPlotSizeAndPage) {
    write_run("run1.ERG");
    // Without a layout file: 180 mm wide, the height from the aspect of 30 x 10 m.
    RunResult r = run({"run1"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " DEFPAR-W-Datei PLTDEF.INI nicht gefunden!"));

    dir.write("pltdef.ini", "! Layout\nax=180\nay=120 ! Höhe\npl=run.plt\n[Ende]\nzz=1\n");
    r = run({"run1"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "DEFPAR-I-pltdef.ini geöffnet."));

    // Values that leave nothing usable on the page are refused, naming their key.
    for (const char* line : {"xn=1e30", "yn=-1e30", "zh=1e30", "zh=0", "zh=-5", "ax=-5", "xn=500", "xn=400", "yn=900"}) {
        dir.write("pltdef.ini", std::string(line) + "\n");
        r = run({"run1"}, "E\n");
        EXPECT_EQ(r.status, 1) << line;
        const std::string key(line, 2);
        EXPECT_TRUE(contains(r.err, "MURAL-F-Layoutwert " + key + "=")) << line << ": " << r.err;
    }
    // A narrow plot without a height takes its height from the aspect (30 x 10 m).
    dir.write("pltdef.ini", "ax=90\n");
    r = run({"run1"}, "V\nK01\n\n\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " ## Achsenabmessungen  =    90.0 mm    30.0 mm")) << r.out;

    dir.write("MURAL.INI", "AX=100\nbad line\n");
    r = run({"run1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, " DEFPAR-I-bad line - Zeile nicht interpretierbar!"));
    EXPECT_EQ(r.err, "DEFPAR-F->>bad line<<\n");
}

TEST(BundledExample, ReadsTheExampleRunAndItsCoefficients) {
    RunResult r = run_mural(MURAL_EXAMPLES_DIR, {"run1"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Dimensionierung NX,NY,NZ: 60 50 15"));
    EXPECT_TRUE(contains(r.out, " - GQEM_IGB - run1.IGB"));
    EXPECT_TRUE(contains(r.out, " massive Hindernisse:    4"));
    EXPECT_TRUE(contains(r.out, " poröse Hindernisse:     2"));
    EXPECT_TRUE(contains(r.out, " Titel=QEM Beispiel: Umströmung von drei Gebäuden"));
    r = run_mural(MURAL_EXAMPLES_DIR, {"run1.DIF"}, "E\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " GQEM_KKK-I-KX, KY, KZ werden schnittweise"));
}

// The plots of the example's picture kinds, byte for byte as the program
// drew them when every picture read the whole run (FNV-1a of the plot file):
// reading by section leaves every picture as it was.
TEST(BundledExample, PicturesReadBySectionAreTheSameToTheByte) {
    ScratchDir dir;
    fs::copy(MURAL_EXAMPLES_DIR, dir.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    auto fnv1a = [](const std::string& bytes) {
        std::uint64_t h = 0xcbf29ce484222325u;
        for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3u;
        return h;
    };
    struct Case {
        const char *run, *letter, *section;
        std::uint64_t hash;
    };
    const Case cases[] = {
        {"run1", "V", "K03", 0xb5c32446d0c80131u},     {"run1", "V", "J25", 0xf0db4622f76d3891u},
        {"run1", "V", "M02", 0x352726c6d7539597u},     {"run1", "S", "K03", 0x2cb707513ced7b77u},
        {"run1", "T", "K03", 0x9a9878e142623d39u},     {"run1", "FI", "K03", 0x8cab42100a53c88au},
        {"run1", "F", "J25", 0x5bbde5ee5a569b13u},     {"run1", "W", "K03", 0x64447a057b0c525eu},
        {"run1", "WI", "I30", 0x16720775be091177u},    {"run1.DIF", "K", "K03", 0x4dc3b31340b5ae48u},
    };
    for (const Case& c : cases) {
        // Every further question keeps its default.
        const std::string answers = std::string(c.letter) + "\n" + c.section + "\n" + std::string(14, '\n') + "E\nE\nE\n";
        RunResult r = run_mural(dir.path(), {c.run, "/p=picture.plt"}, answers);
        EXPECT_EQ(r.status, 0) << c.letter << c.section << r.err;
        EXPECT_EQ(fnv1a(read_file(dir.file("picture.plt"))), c.hash) << c.run << " " << c.letter << " " << c.section;
    }
}

}  // namespace
