#include <gtest/gtest.h>

#include "mapelements/legend.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;
using namespace mapelements;

namespace {

class Legend : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        start_graph();
        velin::HEIGHT(2.5f);
    }
};

TEST_F(Legend, RefusesBadBoxesHeightsAndLevels) {
    EXPECT_EQ(fatal_message([] { LEGHEAD("Titel", 5, 'C'); }), "LEGHEAD-F-von falschem Level aufgerufen");
    EXPECT_EQ(fatal_message([] { LEGENT("_", 2, 0, 0.0f, "Text", ""); }), "LEGENT von falschem Level aufgerufen");
    EXPECT_EQ(fatal_message([] { LEGDEF(100, 0, 40, 0, 0); }), "LEGDEF-F-Breite/Höhe=0?");
    EXPECT_EQ(fatal_message([] { LEGDEF(100, 0, -40, 50, 0); }), "LEGDEF-F-Breite/Höhe=0?");
    EXPECT_EQ(fatal_message([] { LEGHEI(0.0f); }), "LEGHEI-F-falsche Zeichenhöhe");
}

TEST_F(Legend, PositionCodes) {
    float x, y, w, h, frame;
    ELEPOS("RO3", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_NE(out().find(" ELEPOS-I-Position: RO3\n"), std::string::npos);
    EXPECT_FLOAT_EQ(x, 100.0f);
    EXPECT_FLOAT_EQ(y, 40.0f);
    EXPECT_FLOAT_EQ(w, 40.0f);
    EXPECT_FLOAT_EQ(h, 40.0f);
    EXPECT_FLOAT_EQ(frame, 0.3f);
    ELEPOS("ur", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_FLOAT_EQ(x, 75.0f);
    EXPECT_FLOAT_EQ(w, 25.0f);
    EXPECT_FLOAT_EQ(h, 16.0f);
    EXPECT_FLOAT_EQ(frame, 0.0f);
    ELEPOS("ul", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_FLOAT_EQ(y, 20.0f);
    ELEPOS("Ru", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    EXPECT_FLOAT_EQ(h, 10.0f);
    answer("5, 6, 30, 20\n");
    ELEPOS("xy", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_NE(out().find(" Definition der Legende (Xpos,Ypos,Breite,Höhe): "), std::string::npos);
    EXPECT_FLOAT_EQ(x, 5.0f);
    EXPECT_FLOAT_EQ(h, 20.0f);
    // An unknown code keeps the values and waits for the user.
    answer("\n");
    ELEPOS("qq", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_NE(out().find(" Legendenposition nicht definiert!"), std::string::npos);
    EXPECT_FLOAT_EQ(x, 5.0f);
}

TEST_F(Legend, NoLegendDrawsNothing) {
    float x = 0, y = 0, w = 0, h = 0, frame = 0;
    ELEPOS("no", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_FLOAT_EQ(w, -1.0f);
    EXPECT_TRUE(legend_switched_off());
    const long long before = position();
    LEGHEAD("Titel", 5, 'C');
    LEGENT("_", 2, 0, 0.1f, "Eintrag", "");
    float xp = 7, yp = 8;
    LEGBORD(xp, yp);
    EXPECT_EQ(position(), before);
    EXPECT_FLOAT_EQ(xp, 7.0f);
    ELEPOS("ro", x, y, w, h, frame, 100.0f, 80.0f);
    EXPECT_FALSE(legend_switched_off());
}

TEST_F(Legend, DefaultsAndSpacings) {
    LEGDEF(100.0f, 0.0f, 40.0f, 60.0f, 0.0f);
    const LegendState& leg = RRLEGP();
    EXPECT_EQ(leg.LEVEL, 1);
    EXPECT_FLOAT_EQ(leg.YLEGP, 60.0f);
    EXPECT_FLOAT_EQ(leg.HEILEG, 2.5f);
    EXPECT_FLOAT_EQ(leg.XLSEP, 5.0f);
    EXPECT_FLOAT_EQ(leg.YLSEP, 7.5f);
    EXPECT_FLOAT_EQ(leg.XLLEN, 6.0f);
    LEGHEI(2.0f);
    EXPECT_FLOAT_EQ(leg.YLSEP, 6.0f);
    EXPECT_FLOAT_EQ(leg.YLLEN, 3.0f);
    EXPECT_FLOAT_EQ(leg.XTSEP, 3.0f);
    LEGSEP(4.0f, 1.5f, 2.0f);
    EXPECT_NE(out().find(" LEGSEP-W-y-Abstand zwischen Zeilen zu gering\n Zeichenhöhe=  2.00 mm"), std::string::npos);
    LEGSYM(6.0f, 3.0f);
    EXPECT_NE(out().find(" LEGSYM-W-YLEN zu groß angegeben - auf   1.50 mm gesetzt"), std::string::npos);
    EXPECT_FLOAT_EQ(leg.YLLEN, 1.5f);
    // Redefined at the same x: the extent reached so far stays.
    RRLEGP().XBORD = 130.0f;
    LEGDEF(100.0f, 10.0f, 40.0f, 60.0f, 0.0f);
    EXPECT_FLOAT_EQ(leg.XBORD, 130.0f);
    LEGDEF(90.0f, 10.0f, 40.0f, 60.0f, 0.0f);
    EXPECT_FLOAT_EQ(leg.XBORD, 90.0f);
}

TEST_F(Legend, HeadingsUpToTheirDollar) {
    LEGDEF(100.0f, 0.0f, 40.0f, 60.0f, 0.5f);
    const LegendState& leg = RRLEGP();
    const long long before = position();
    LEGHEAD("keine Ende-Marke", 100, 'L');
    EXPECT_EQ(leg.LEVEL, 1);
    EXPECT_EQ(position(), before);
    LEGHEAD("Windfeld$Rest", 100, 'L');
    EXPECT_EQ(leg.LEVEL, 2);
    EXPECT_GT(position(), before);
    EXPECT_NEAR(leg.XBORD, 105.0f + velin::XMESS("Windfeld", 8), 1e-4);
}

TEST_F(Legend, ColumnsStartAtTheExtentReached) {
    LEGDEF(100.0f, 0.0f, 60.0f, 80.0f, 0.0f);
    LEGCOL(3);
    LegendState& leg = RRLEGP();
    LEGENT("_", 2, 0, 0.1f, "eins", "");
    const float top = leg.YLEGP;
    LEGENT("L", 3, 1, 0.2f, "zwei", "");
    LEGENT("s", 4, 3, 1.0f, "drei", "");
    const float border = leg.XBORD;
    LEGENT("K", 5, 0, 0.1f, "vier", "");
    EXPECT_FLOAT_EQ(leg.XLEGP, border);
    EXPECT_FLOAT_EQ(leg.YLEGP, top);
    EXPECT_EQ(leg.IENTRY, 1);
    EXPECT_EQ(leg.LEVEL, 5);
}

TEST_F(Legend, NumbersAndUnitsAlignOnTheirRightEdges) {
    LEGDEF(100.0f, 0.0f, 60.0f, 80.0f, 0.0f);
    LegendState& leg = RRLEGP();
    LEGENT("_", 2, 0, 0.0f, "12.5&m/s", "");
    const float w1 = velin::XMESS("12.5", 4), w2 = velin::XMESS("m/s", 3);
    EXPECT_FLOAT_EQ(leg.xf1, w1);
    EXPECT_FLOAT_EQ(leg.xf2, w2);
    const float x = leg.XLEGP + leg.XLSEP + leg.XLLEN + leg.XTSEP;
    EXPECT_FLOAT_EQ(leg.XBORD, x + w1 + w2);
    // A narrower number keeps the columns of the first entry; text after a second "&" is dropped.
    LEGENT("_", 3, 0, 0.0f, "3&m/s&Rest", "");
    EXPECT_FLOAT_EQ(leg.xf1, w1);
    EXPECT_FLOAT_EQ(leg.xf2, w2);
    EXPECT_FLOAT_EQ(leg.XBORD, x + w1 + w2);
}

TEST_F(Legend, TwoTextLinesAndNoSampleBelowPenOne) {
    LEGDEF(100.0f, 0.0f, 60.0f, 80.0f, 0.0f);
    const LegendState& leg = RRLEGP();
    LEGENT("L", 0, 1, 0.2f, "Zeile eins", "zweite Zeile, länger");
    const float x = leg.XLEGP + leg.XLSEP + leg.XLLEN + leg.XTSEP;
    EXPECT_NEAR(leg.XBORD, x + velin::XMESS("zweite Zeile, länger", 100), 1e-4);
    float xp, yp;
    LEGBORD(xp, yp);
    EXPECT_FLOAT_EQ(xp, leg.XBORD + leg.XLSEP);
    EXPECT_FLOAT_EQ(yp, leg.YLEGP - leg.YLSEP);
}

TEST_F(Legend, BlankedBoxKeepsLinesOutButNotItsOwnTexts) {
    LEGDEF(20.0f, 20.0f, 40.0f, 40.0f, -0.2f);
    const LegendState& leg = RRLEGP();
    EXPECT_GE(leg.ILBLNK, 1);
    LEGENT("_", 2, 0, 0.1f, "Eintrag", "");
    // A line across the box is drawn in two pieces around it.
    const long long before = position();
    velin::CURVE(std::vector<float>{0.0f, 200.0f}, std::vector<float>{80.0f, 80.0f}, 2, 0);
    const std::string plot = finish();
    const std::string line = plot.substr(static_cast<std::size_t>(before));
    EXPECT_EQ(count(line, "PD"), 2) << line;
}

}  // namespace
