// The device layer: initialisation, the plot stream byte for byte, pens and
// palettes, style files, plot files and the level checks.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>
#include <sys/wait.h>

#include "fixture.h"
#include "platform/fatal.h"
#include "test_support.h"
#include "velin/velin.h"

using namespace velin;
using velintest::count;
using velintest::fatal_text;
using velintest::read_file;
using velintest::write_file;

namespace {

const std::string ESC = "\x1b";
const std::string INIT_ROW4 = ESC + "%-1BBPIN;PS31400,22450;PW0SP1;";
const std::string BUILTIN_PALETTE =
    "NP16CR0,255,0,255,0,255PC0,255,255,255PC1,0,0,0PC2,255,0,0PC3,0,255,0PC4,255,255,0PC5,0,0,255"
    "PC6,255,0,255PC7,0,255,255PC8,125,125,125";

class Device : public velintest::VelinTest {};

TEST_F(Device, InitialisationModesAndPageClasses) {
    INIPLO("HPGL2", "DINA4H");
    EXPECT_EQ(plot_state().IHPGL, 2);
    EXPECT_TRUE(plot_state().hpgl2);
    EXPECT_EQ(plot_state().PSCMD, "RO90;IP;IW;");
    EXPECT_EQ(plot_state().page_width, 594.0f);
    EXPECT_EQ(plot_state().page_height, 840.0f);
    EXPECT_EQ(plot_state().Level, 1);
    INIPLO("HPGL", "DINA4Q");
    EXPECT_EQ(plot_state().IHPGL, 0);
    EXPECT_EQ(plot_state().PSCMD, "");
    EXPECT_EQ(plot_state().page_width, 840.0f);
    EXPECT_EQ(plot_state().page_height, 594.0f);
    INIPLO("DEV1", "DINA4Q");
    EXPECT_EQ(plot_state().IHPGL, 1);
    INIPLO("D21", "DINA4Q");
    EXPECT_EQ(plot_state().IHPGL, 2);
    for (const char* format : {"DINA0Q", "DINA9Q", "DINAXQ", "AQ"}) {
        INIPLO("HPGL2", format);
        EXPECT_EQ(plot_state().page_width, 999.0f) << format;
        EXPECT_EQ(plot_state().init_string.substr(0, 20), ESC + "%-1BBPIN;PS;PW0SP1;") << format;
    }
    EXPECT_EQ(out().substr(0, 21), " ## VELIN V3.71 l2 ##");
}

TEST_F(Device, ShortPlotIsOneRecordWrittenAtTheEnd) {
    INIPLO("HPGL2", "DINA4H");
    PLFILE(plot_);
    EXPECT_FALSE(velintest::file_exists(plot_));
    ENDPL(0);
    EXPECT_EQ(read_file(plot_), INIT_ROW4 + "SP0PG;");
    EXPECT_NE(out().find(" ## ENDPL-I-Plotdatei geschlossen: " + plot_ + "\n"), std::string::npos);
    EXPECT_EQ(plot_state().Level, 0);
}

TEST_F(Device, EndBeforeAnyPlotDoesNothing) {
    ENDPL(1);
    DONEPL();
    EXPECT_FALSE(velintest::file_exists("HPGL.PLT"));
    EXPECT_EQ(out(), " ## VELIN beendet <" + std::string(50, '#') + "\n");
}

TEST_F(Device, DonePlotEndsAPlotThatFillsWholeRecords) {
    INIPLO("HPGL2", "DINA4H");
    PLFILE(plot_);
    std::string filler(512 - INIT_ROW4.size(), 'X');
    SPECIAL(filler, static_cast<int>(filler.size()));
    EXPECT_EQ(position(), 512);
    EXPECT_EQ(plot_state().dev.NB, 1);
    DONEPL();
    EXPECT_EQ(read_file(plot_), INIT_ROW4 + filler + "SP0PG;");
}

TEST_F(Device, LongStreamGoesOutInRecordsWithoutBlanks) {
    start_graph("HPGL2");
    for (int i = 0; i < 400; ++i) {
        PENUP(1.0f, 1.0f);
        PENDN(static_cast<float>(i % 90) + 2.0f, 50.0f);
    }
    long long written = position();
    EXPECT_GT(written, 4000);
    EXPECT_FALSE(velintest::file_exists(plot_));  // only the temporary name exists
    std::string stream = finish();
    EXPECT_EQ(stream.substr(0, INIT_ROW4.size() - 1), INIT_ROW4.substr(0, INIT_ROW4.size() - 1));
    EXPECT_EQ(stream.find_first_of(" \r\n"), std::string::npos);
    EXPECT_EQ(stream.substr(stream.size() - 6), "SP0PG;");
}

TEST_F(Device, PendingMovesAndPolylines) {
    start_graph("HPGL2");
    long long from = position();
    PENUP(10, 10);
    PENUP(20, 20);
    PENUP(30, 30);
    PENDN(40, 40);
    PENDN(50, 50);
    SELPEN(3);
    PENDN(60, 50);
    PENUP(5, 5);
    ENDGR(0);
    EXPECT_EQ(finish(from), "PU1206,1206;PD1608,1608,2010,2010SP3;PD2412,2010PU201,201;SP0PG;");
}

TEST_F(Device, CoordinatesAreClampedAndNonNumbersSkipped) {
    start_graph("HPGL2");
    long long from = position();
    STRTPT(0, 0);
    CONNPT(1e9f, -1e9f);
    CONNPT(NAN, 5);
    CONNPT(INFINITY, 5);
    CONNPT(1, 1);
    int ix, iy;
    MM2ABS(-5000.0f, 30000.0f, ix, iy);
    EXPECT_EQ(ix, -99999);
    EXPECT_EQ(iy, 999999);
    EXPECT_EQ(finish(from), "PU0,0;PD999999,-99999,40,40SP0PG;");
}

TEST_F(Device, PenSelection) {
    EXPECT_EQ(fatal_text([] { SELPEN(256); }), "SELPEN-F-Stift nicht vorhanden:   256");
    EXPECT_EQ(fatal_text([] { SELPEN(-1); }), "SELPEN-F-Stift nicht vorhanden:    -1");
    start_graph("HPGL2");
    long long from = position();
    SELPEN(1);  // the pen the initialisation selected
    SELPEN(12);
    SELPEN(12);
    EXPECT_NE(out().find(" SELPEN-W-Stift nicht in Palette definiert:    12\n"), std::string::npos);
    EXPECT_EQ(finish(from), "SP12;SP0PG;");
    // A new plot starts with pen 1 on the device: the old pen is selected again.
    AREA2D(50, 50);
    GRAF(0, 10, 50, 0, 10, 50);
    long long graph = position();
    SELPEN(12);
    EXPECT_EQ(finish(graph), "SP12;SP0PG;");
}

TEST_F(Device, PenDefinition) {
    EXPECT_EQ(fatal_text([] { SETPEN(256, 0.3f, 0, 0, 0); }), "SETPEN-F-nur Stiftnummern 0 bis 255 erlaubt");
    INIPLO("HPGL", "DINA4Q");
    PLFILE(plot_);
    long long from = position();
    SETPEN(2, 0.0f, 1, 2, 3);
    EXPECT_FLOAT_EQ(plot_state().pthk[2], 0.05f);
    EXPECT_NE(out().find("SETPEN-W-"), std::string::npos);
    SETPEN(5, 300.0f, 10, 20, 30);
    EXPECT_FLOAT_EQ(plot_state().pthk[5], 25.4f / 300.0f);
    SETPEN(6, 0.35f, 255, 128, 0);
    EXPECT_FLOAT_EQ(plot_state().pthk[6], 0.35f);
    EXPECT_EQ(finish(from), "PC2,1,2,3PC5,10,20,30PC6,255,128,0SP0PG;");
}

TEST_F(Device, BuiltInPaletteAtTheGraphStart) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    PHYSOR(20, 30);
    AREA2D(150, 100);
    long long from = position();
    GRAF(0, 10, 100, 0, 10, 100);
    std::string stream = finish(from);
    EXPECT_EQ(stream.substr(0, 22 + BUILTIN_PALETTE.size()), "IP-804,-402,8442,6834;" + BUILTIN_PALETTE);
    EXPECT_EQ(plot_state().NPpal, 8);
    EXPECT_NE(out().find(" ## Plot  1 begonnen\n ## Ausgabedatei ist " + plot_ +
                         "\n ## Lage des Nullpunkts=    20.0 mm    30.0 mm\n ## Achsenabmessungen  =   150.0 mm   100.0 mm\n"),
              std::string::npos);
}

TEST_F(Device, PortraitGraphStartSendsTheOrientation) {
    INIPLO("HPGL", "DINA4H");
    PLFILE(plot_);
    AREA2D(100, 100);
    long long from = position();
    GRAF(0, 10, 100, 0, 10, 100);
    EXPECT_EQ(finish(from).substr(0, 35), "IP-1608,-1608,5628,5628;RO90;IP;IW;");
    EXPECT_NE(out().find(" SETPAL-W-Paletten nur im HPGL2-Modus möglich!\n"), std::string::npos);
}

class Palette : public velintest::VelinTest {
protected:
    void palette_file() {
        write_file(dir_ + "/VELIN.PAL",
                   "MURAL palettes\n"
                   "SHORT\n3\n0 255 0 255 0 255\n1 0 0 0\n2 10 20 30\n"
                   "ZERO\n0\n0 255 0 255 0 255\n"
                   "EIGHT\n8\n0,255,0,255,0,255\n0 255 255 255\n1 0 0 0\n2 1 1 1\n3 2 2 2\n4 3 3 3\n"
                   "5 4 4 4\n6 5 5 5\n7 6 6 6\n"
                   "TEN\n 10\n 0 255 0 255 0 255\n"
                   "1 0 0 0\n2 1 2 3\n3 1 2 3\n4 1 2 3\n5 1 2 3\n6 1 2 3\n7 1 2 3\n8 1 2 3\n9 1 2 3\n10 9 9 9\n");
    }
};

TEST_F(Palette, FailuresWriteNothing) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    EXPECT_EQ(fatal_text([] { SETPAL("nowhere.pal", "X"); }), "SETPAL-F-Paletten-Datei nowhere.pal nicht gefunden!");
    palette_file();
    long long from = position();
    SETPAL("", "MISSING");
    SETPAL("", "SHORT");
    SETPAL("", "ZERO");
    EXPECT_EQ(plot_state().NPpal, -1);
    EXPECT_NE(out().find(" SETPAL-W-Bezeichnung MISSING nicht in der Palettendatei C:\\VELIN\\VELIN.PAL gefunden!\n"),
              std::string::npos);
    EXPECT_NE(out().find(" SETPAL-W-Bezeichnung SHORT nicht in"), std::string::npos);
    EXPECT_NE(out().find(" SETPAL-W-Bezeichnung ZERO nicht in"), std::string::npos);
    EXPECT_EQ(position(), from);
    // The built-in palette follows at the graph start.
    AREA2D(100, 100);
    GRAF(0, 10, 100, 0, 10, 100);
    EXPECT_NE(finish(from).find(BUILTIN_PALETTE), std::string::npos);
}

TEST_F(Palette, PowerOfTwoAboveTheHighestPen) {
    palette_file();
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    long long from = position();
    SETPAL("C:\\VELIN\\VELIN.PAL", "TEN");
    EXPECT_EQ(plot_state().NPpal, 10);
    SETPAL(dir_ + "/VELIN.PAL", "EIGHT");
    EXPECT_EQ(plot_state().NPpal, 8);
    EXPECT_EQ(finish(from),
              "NP16CR0,255,0,255,0,255PC1,0,0,0PC2,1,2,3PC3,1,2,3PC4,1,2,3PC5,1,2,3PC6,1,2,3PC7,1,2,3PC8,1,2,3"
              "PC9,1,2,3PC10,9,9,9"
              "NP8CR0,255,0,255,0,255PC0,255,255,255PC1,0,0,0PC2,1,1,1PC3,2,2,2PC4,3,3,3PC5,4,4,4PC6,5,5,5"
              "PC7,6,6,6SP0PG;");
}

TEST_F(Device, StyleFiles) {
    write_file(dir_ + "/SIMPLX.STY", "short");
    EXPECT_EQ(fatal_text([] { INIPLO("HPGL2", "DINA4Q"); }),
              "LODSTY-F-Style-Datei " + dir_ + "/SIMPLX.STY ist fehlerhaft");
    auto font = velintest::build_style(velintest::segment_font());
    std::string falling = font;
    falling[2 * 40] = 0x7f;  // header word 41 points far beyond word 42
    falling[2 * 40 + 1] = 0x10;
    write_file(dir_ + "/SIMPLX.STY", falling);
    EXPECT_EQ(fatal_text([] { INIPLO("HPGL2", "DINA4Q"); }),
              "LODSTY-F-Style-Datei " + dir_ + "/SIMPLX.STY ist fehlerhaft");
    write_file(dir_ + "/SIMPLX.STY", font.substr(0, font.size() - 2));
    EXPECT_EQ(fatal_text([] { INIPLO("HPGL2", "DINA4Q"); }),
              "LODSTY-F-Style-Datei " + dir_ + "/SIMPLX.STY ist fehlerhaft");
    write_file(dir_ + "/SIMPLX.STY", font);
    INIPLO("HPGL2", "DINA4Q");
    EXPECT_EQ(fatal_text([] { LODSTY("GONE"); }), "LODSTY-F-Style-Datei " + dir_ + "/GONE.STY nicht gefunden!");
    EXPECT_EQ(plot_state().style_sign, 0);
    SWISS(0);
    EXPECT_EQ(plot_state().style_sign, 1);
    SWISS(1);
    EXPECT_EQ(plot_state().style_sign, -1);
    RESET("swiss");
    EXPECT_EQ(plot_state().style_name, "SIMPLX");
}

TEST_F(Device, FurtherPlotsGetNumberedNames) {
    INIPLO("HPGL2", "DINA4Q");
    std::string sub = dir_ + "/a.b";
    ASSERT_EQ(::mkdir(sub.c_str(), 0777), 0);
    PLFILE(sub + "/run1.plt");
    ENDPL(0);
    AREA2D(10, 10);
    ENDPL(0);
    AREA2D(10, 10);
    ENDPL(0);
    EXPECT_TRUE(velintest::file_exists(sub + "/run1.plt"));
    EXPECT_TRUE(velintest::file_exists(sub + "/run_001.plt"));
    EXPECT_TRUE(velintest::file_exists(sub + "/run_002.plt"));
    EXPECT_NE(out().find(" FOPEN-I-neue Plotdatei: " + sub + "/run_001.plt\n"), std::string::npos);
    EXPECT_EQ(read_file(sub + "/run_001.plt"), INIT_ROW4 + "SP0PG;");

    INIPLO("HPGL2", "DINA4Q");
    PLFILE(dir_ + "/HPGL.PLT");
    ENDPL(0);
    AREA2D(10, 10);
    ENDPL(0);
    EXPECT_TRUE(velintest::file_exists(dir_ + "/HPG_001.plt"));
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(dir_ + "/PLOT");
    ENDPL(0);
    AREA2D(10, 10);
    ENDPL(0);
    EXPECT_TRUE(velintest::file_exists(dir_ + "/PL_001.plt"));
}

// The caller may refuse the name of a further plot before it is created.
TEST_F(Device, FurtherPlotNamesAreCheckedBeforeTheFileIsCreated) {
    std::vector<std::string> asked;
    hold_plot_files(true, 0, [&](const std::string& name) {
        asked.push_back(name);
        throw std::runtime_error("refused");
    });
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(dir_ + "/run1.plt");
    AREA2D(10, 10);
    ENDPL(0);
    AREA2D(10, 10);
    EXPECT_THROW(ENDPL(0), std::runtime_error);
    EXPECT_EQ(asked, std::vector<std::string>{dir_ + "/run_001.plt"});
    EXPECT_FALSE(velintest::file_exists(dir_ + "/run_001.plt"));
    hold_plot_files(false);
}

TEST_F(Device, FurtherPlotRepeatsTheColours) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(dir_ + "/HPGL.PLT");
    AREA2D(10, 10);
    GRAF(0, 1, 10, 0, 1, 10);
    SETPEN(3, 0.3f, 10, 20, 30);
    ENDPL(0);
    AREA2D(10, 10);
    ENDPL(0);
    EXPECT_EQ(read_file(dir_ + "/HPG_001.plt"), INIT_ROW4 + BUILTIN_PALETTE + "PC3,10,20,30SP0PG;");
}

TEST_F(Device, PlotFileThatCannotBeCreated) {
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(dir_ + "/missing/x.plt");
    AREA2D(10, 10);
    EXPECT_EQ(fatal_text([] { GRAF(0, 1, 10, 0, 1, 10); }),
              "FOPEN-F-Plotdatei " + dir_ + "/missing/x.plt kann nicht angelegt werden: Verzeichnis existiert nicht");
}

TEST_F(Device, LevelChecks) {
    EXPECT_EQ(fatal_text([] { float x, y; PSIZE(x, y); }), "PSIZE-F-Plot nicht initialisiert");
    EXPECT_EQ(fatal_text([] { AREA2D(10, 10); }), "AREA2D-F-von falschem Level aufgerufen");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    EXPECT_EQ(fatal_text([] { GRAF(0, 1, 10, 0, 1, 10); }), "GRAF-F-von falschem Level aufgerufen");
    EXPECT_EQ(fatal_text([] { GRACE(1); }), "GRACE-F-von falschem Level aufgerufen");
    EXPECT_EQ(fatal_text([] { AREA2D(0, 10); }), "AREA2D-F-xax,yax falsch");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    AREA2D(100, 50);
    EXPECT_EQ(fatal_text([] { AREA2D(10, 10); }), "AREA2D-F-von falschem Level aufgerufen");
    EXPECT_EQ(fatal_text([] { GRAF(1, 1, 1, 0, 1, 10); }), "GRAF-F-XMin und XMax gleich");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    AREA2D(100, 50);
    GRAF(0, 10, 100, 0, 10, 50);
    EXPECT_EQ(fatal_text([] { GRAF(0, 10, 100, 0, 10, 50); }), "GRAF-F-von falschem Level aufgerufen");
    float x, y;
    PSIZE(x, y);
    EXPECT_EQ(x, 840.0f);
    EXPECT_EQ(fatal_text([] { PAGE(1000, 100); }), "PAGE-F-Plotter zu klein, max. DIN A3");
    PAGE(900, 500);  // the device is used turned
    EXPECT_EQ(plot_state().PGXmax, 999.9f);
    ENDGR(0);
    EXPECT_EQ(plot_state().Level, 1);
}

TEST_F(Device, EndOfGraphReportsAndClears) {
    start_graph("HPGL2");
    DASH();
    float x[2] = {10, 20}, y[2] = {10, 10};
    CURVE(x, y, 2, 0);
    PENUP(50, 50);
    PENDN(50, 500);  // leaves the box: one point outside
    long long from = position();
    ENDGR(1);
    EXPECT_NE(out().find(" ## ENDGR-I-Ende Graph #01 /"), std::string::npos);
    EXPECT_NE(out().find(" Vektoren geplottet\n ## ENDGR-W-   1 Punkte außerhalb des Plotbereichs !\n"), std::string::npos);
    EXPECT_EQ(plot_state().s.line_style, 0);
    EXPECT_EQ(plot_state().Iplot, 2);
    EXPECT_EQ(finish(from), "LT;SP0PG;");
}

TEST_F(Device, KeywordReset) {
    start_graph("HPGL2");
    long long from = position();
    RESET("nonsense");
    EXPECT_NE(out().find(" RESET-W-ungültiger Name nonsense\n"), std::string::npos);
    DOT();
    RESET("DOTTED");
    EXPECT_EQ(plot_state().s.line_style, 0);
    THKCRV(0.5f);
    RESET("thk");
    EXPECT_EQ(plot_state().s.curve_thickness, 0.0f);
    ITALIC();
    RESET("italic");
    EXPECT_EQ(plot_state().s.slant, 0.0f);
    HEIGHT(5);
    RESET("all");
    EXPECT_EQ(plot_state().s.text_height, 2.0f);
    EXPECT_EQ(finish(from), "LTPW0DF;SP0PG;");
}

TEST_F(Device, DebugSwitch) {
    INIPLO("HPGL2", "DINA4Q");
    RDEBUG();
    SELPEN(2);
    LODSTY("SIMPLX");
    RESET("ITA");
    XMESS("AB", 2);
    RDEBUG();
    SELPEN(3);
    EXPECT_NE(out().find(" SETCLR/SELPEN-I-Stift     2\n LODSTY-I-" + dir_ +
                         "/SIMPLX.STY geladen\n RESET-I-ita\n XMESS-I-length     3.000 AB\n"),
              std::string::npos);
    EXPECT_EQ(out().find("Stift     3"), std::string::npos);
}

TEST_F(Device, WorkArraysGrowAndMessagesGoToTheirUnit) {
    INIPLO("HPGL2", "DINA4Q");
    EXPECT_EQ(plot_state().work_x.size(), 6000u);
    plot_state().work_used = 3;
    plot_state().work_x[2] = 7.0f;
    WRKSIZE(7000, "TEST");
    EXPECT_EQ(plot_state().work_x.size(), 7010u);
    EXPECT_EQ(plot_state().work_x[2], 7.0f);
    EXPECT_NE(out().find(" WRKSIZE-I-WORKSPACE vergößert!    7010\n"), std::string::npos);
    EXPECT_EQ(fatal_text([] { WRKSIZE(2'000'000'000, "TEST"); }),
              "TEST-F-WORKSPACE zu klein (  7010) benötigt******");
    std::ostringstream log;
    SETIOC(12);
    EXPECT_NE(out().find(" SETIOC-W-Unit     12 nicht geöffnet"), std::string::npos);
    connect_unit(12, &log);
    SETIOC(12);
    VLERROR("TEST-W-Warnung");
    EXPECT_EQ(log.str(), "SETIOC-I-log to unit    12\nTEST-W-Warnung\n");
    EXPECT_EQ(fatal_text([] { VLERROR("TEST-F-Ende"); }), "TEST-F-Ende");
    EXPECT_EQ(log.str(), "SETIOC-I-log to unit    12\nTEST-W-Warnung\nTEST-F-Ende\n");
}

}  // namespace

TEST_F(Palette, BlankNameTakesTheFirstPaletteAfterTheComments) {
    write_file(dir_ + "/VELIN.PAL", "! comment\n!\nTWO\n2\n0 255 0 255 0 255\n1 0 0 0\n2 9 9 9\n"
                                    "EIGHT\n8\n0 255 0 255 0 255\n");
    INIPLO("HPGL2", "DINA4Q");
    PLFILE(plot_);
    long long from = position();
    SETPAL("", "");
    EXPECT_EQ(plot_state().NPpal, 2);
    EXPECT_EQ(finish(from), "NP4CR0,255,0,255,0,255PC1,0,0,0PC2,9,9,9SP0PG;");
}

TEST(PlotLeftOpen, ReturningFromMainDiscardsThePlot) {
    testing_support::ScratchDir dir;
    const int raw = std::system(("cd '" + dir.path().string() + "' && " PLOT_LEFT_OPEN).c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}
