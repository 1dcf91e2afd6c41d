#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "contour/scalar_field.h"
#include "driver/dialogue.h"
#include "driver/layout.h"
#include "driver/settings.h"
#include "driver/startup.h"
#include "platform/freeformat.h"
#include "test_support.h"
#include "velin/velin.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct Layout {
    float AX = 180, AY = 0, XN = 20, YN = 20, ZH = 2.5f;
    bool FO = false;
    std::string PLT, PAL;
};

class LayoutFile : public ::testing::Test {
protected:
    Layout read(const std::string& text, const std::string& name = "MURAL.INI") {
        dir.write(name, text);
        Layout l;
        driver::DEFPAR(dir.file(name), l.AX, l.AY, l.XN, l.YN, l.ZH, l.FO, l.PLT, l.PAL);
        return l;
    }
    ScratchDir dir;
};

TEST_F(LayoutFile, LinesThatCannotBeInterpretedStopTheRun) {
    for (const char* bad : {"ax 180", "qq=1", "ax=breit"}) {
        CapturedConsole con;
        std::string msg = fatal_message([&] { read(std::string("xn=10\n") + bad + "\n"); });
        EXPECT_EQ(msg, std::string("DEFPAR-F->>") + bad + "<<");
        EXPECT_NE(con.out().find(std::string(" DEFPAR-I-") + bad + " - Zeile nicht interpretierbar!"),
                  std::string::npos);
    }
}

// Lines of huge repeats ("100000*1"): each reader expands only the values it reads.
TEST_F(LayoutFile, RepeatsBeyondTheValuesReadAreNotExpanded) {
    auto flood = [](std::string line) {
        for (int k = 0; k < 450; ++k) line += " 100000*1";
        return line;
    };
    dir.write("f.pal", "P\n" + flood("2") + "\n" + flood("6*255") + "\n" + flood("1 3*9") + "\n" + flood("2 0") + "\n");
    CapturedConsole con(flood("2*1.5") + "\n");
    const std::pair<std::function<std::string()>, std::string> readers[] = {
        {[&] { return platform::format_real(contour::UEBERH()); }, "1.5"},
        {[&] { return platform::format_real(read("ax=" + flood("150") + "\n").AX); }, "150.0"},
        {[&] {
             velin::INIPLO("HPGL2", "DINA4Q");
             velin::SETPAL(dir.file("f.pal"), "P");
             return velin::plot_state().colour_setup;
         }, "NP4CR255,255,255,255,255,255PC1,9,9,9PC2,0,1,1"},
    };
    for (const auto& [read_lines, expected] : readers) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(read_lines(), expected);
        // All 45 million values of a line take many seconds and gigabytes.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << expected;
    }
    velin::reset();
}

TEST_F(LayoutFile, MissingFileKeepsTheDefaults) {
    CapturedConsole con;
    Layout l;
    driver::DEFPAR(dir.file("MURAL.INI"), l.AX, l.AY, l.XN, l.YN, l.ZH, l.FO, l.PLT, l.PAL);
    EXPECT_EQ(con.out(), " DEFPAR-W-Datei " + dir.file("MURAL.INI") + " nicht gefunden!\n");
    EXPECT_FLOAT_EQ(l.AX, 180.0f);
    EXPECT_FLOAT_EQ(l.ZH, 2.5f);
    EXPECT_TRUE(l.PLT.empty());
}

TEST_F(LayoutFile, ReadsKeysValuesAndComments) {
    CapturedConsole con;
    Layout l = read("! Plotlayout\nax=180\nAY = 120.5 ! Hoehe\n\nx\npl=run.plt\npa=VELIN.PAL,MURAL\nFO=Windows\nzh=3\n");
    EXPECT_FLOAT_EQ(l.AX, 180.0f);
    EXPECT_FLOAT_EQ(l.AY, 120.5f);
    EXPECT_FLOAT_EQ(l.ZH, 3.0f);
    EXPECT_EQ(l.PLT, "run.plt");
    EXPECT_EQ(l.PAL, "VELIN.PAL,MURAL");
    EXPECT_TRUE(l.FO);
    EXPECT_NE(con.out().find("DEFPAR-I-" + dir.file("MURAL.INI") + " geöffnet."), std::string::npos);
    l = read("fo=vector\n");
    EXPECT_FALSE(l.FO);
}

TEST_F(LayoutFile, ReadingEndsAtBracketOrDashes) {
    CapturedConsole con;
    Layout l = read("ax=150\n[Drucker]\nax=999\nunsinn\n");
    EXPECT_FLOAT_EQ(l.AX, 150.0f);
    l = read("xn=30\n-- Ende\nxn=999\n");
    EXPECT_FLOAT_EQ(l.XN, 30.0f);
}

TEST_F(LayoutFile, TraceEchoesTheFollowingLines) {
    CapturedConsole con;
    read("ax=150\ntr=1\nyn=25\n");
    EXPECT_EQ(con.out().find(" ax=150\n"), std::string::npos);
    EXPECT_NE(con.out().find(" tr=1\n yn=25\n"), std::string::npos);
}

TEST_F(LayoutFile, FallsBackToLowerCasePltdefIni) {
    CapturedConsole con;
    dir.write("pltdef.ini", "ax=222\n");
    fs::path old = fs::current_path();
    fs::current_path(dir.path());
    Layout l;
    driver::DEFPAR("PLTDEF_FEHLT.INI", l.AX, l.AY, l.XN, l.YN, l.ZH, l.FO, l.PLT, l.PAL);
    fs::current_path(old);
    EXPECT_FLOAT_EQ(l.AX, 222.0f);
}

TEST(PlotPage, SizeFollowsTheAspectOfTheArea) {
    driver::Settings s;
    // 180 mm wide by default: a 300 x 250 m area is 150 mm high, portrait.
    driver::choose_page(s, 300.0f, 250.0f);
    EXPECT_FLOAT_EQ(s.YLEN, 150.0f);
    EXPECT_EQ(s.PFORMAT, "DINA4H");
    // A narrow width is taken from the height (400 mm), which makes a landscape page.
    s = driver::Settings();
    s.XLEN = 100.0f;
    s.YLEN = 200.0f;
    driver::choose_page(s, 100.0f, 50.0f);
    EXPECT_EQ(s.PFORMAT, "DINA4Q");
    EXPECT_FLOAT_EQ(s.YLEN, 170.0f);  // 190 - 20 on a landscape page
    EXPECT_FLOAT_EQ(s.XLEN, 340.0f);
    // Too tall for a portrait page: reduced to 260 - 20.
    s = driver::Settings();
    driver::choose_page(s, 100.0f, 300.0f);
    EXPECT_EQ(s.PFORMAT, "DINA4H");
    EXPECT_FLOAT_EQ(s.YLEN, 240.0f);
    EXPECT_FLOAT_EQ(s.XLEN, 80.0f);
}

}  // namespace
