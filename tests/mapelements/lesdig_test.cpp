// Background maps: the records of a digitised data file drawn by LESDIG.
//
// The graph shows 0..200 on 100 mm from the page point (20, 20) mm, so one
// model unit is half a millimetre; the background window is 20..180.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "mapelements/background.h"
#include "mapelements/legend.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;
using namespace mapelements;

namespace {

std::string num(float v, int width) {
    char b[32];
    std::snprintf(b, sizeof b, "%*.1f", width, static_cast<double>(v));
    return b;
}

// A record in the fixed columns, numbers w (7 or 8) wide.
std::string record(char id, float gh0, std::array<float, 4> a, std::array<float, 4> b, int w = 8) {
    std::string s = std::string(1, id) + num(gh0, 5) + std::string(7, ' ');
    for (float v : a) s += num(v, w);
    s += "  ";
    for (float v : b) s += num(v, w);
    return s;
}

BackgroundClass cls(char id, char form, int pen, int mode = 0, int pat = 0, std::string legend = "") {
    BackgroundClass c;
    c.id = id, c.form = form, c.IPEN = pen, c.MODE = mode, c.IPAT = pat, c.LDSC = std::move(legend);
    return c;
}

class Lesdig : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        start_graph();
        background() = BackgroundDefinition();
        BackgroundDefinition& bg = background();
        bg.xmin = bg.ymin = 20.0f;
        bg.xmax = bg.ymax = 180.0f;
    }
    // What LESDIG adds to the plot stream.
    std::string draw(const std::vector<std::string>& lines, bool draft = false, int pen = 0) {
        background().data = lines;
        const long long start = position();
        LESDIG(draft, pen);
        return finish().substr(static_cast<std::size_t>(start));
    }
    // Whether s draws exactly the polyline through the points (user units).
    static bool has_line(const std::string& s, std::initializer_list<std::pair<float, float>> points,
                         std::size_t from = 0) {
        std::string l;
        for (const auto& [x, y] : points)
            l += (l.empty() ? "PU" : l.find(';') == std::string::npos ? ";PD" : ",") + plotter_point(x, y);
        const std::size_t at = s.find(l, from);
        return at != std::string::npos && s[at + l.size()] != ',' && !std::isdigit(s[at + l.size()]);
    }
    // The console lines of LESDIG.
    std::string said() const {
        const std::string all = out();
        const std::size_t start = std::min(all.find(" - LESDIG"), all.size());
        return all.substr(start, all.find(" ## ENDPL", start) - start);
    }
};

TEST_F(Lesdig, RecordsThatCannotBeReadStopWithTheLine) {
    background().classes = {cls('a', 'P', 2)};
    const std::string good = record('a', 0, {30, 40, 50, 60}, {30, 40, 50, 60});
    std::string letters = good, cut_short = good.substr(0, 45);
    letters.replace(24, 4, "x2.0");
    for (const std::string& bad : {letters, cut_short}) {
        background().data = {"Kopfzeile", good, bad};
        EXPECT_EQ(fatal_message([] { LESDIG(false, 0); }), "LESDIG-F-Zeile 3 nicht interpretierbar >>" + bad + "<<");
    }
}

TEST_F(Lesdig, NothingWithoutAClassToDraw) {
    background().classes = {cls('a', 'P', 0, 0, 0, "Strassen")};
    EXPECT_EQ(draw({record('a', 0, {30, 40, 50, 60}, {30, 40, 50, 60})}), "SP0PG;");  // only the plot's end
    EXPECT_EQ(said(), " - LESDIG - V1.00\n - keine darzustellenden Kennungen selektiert!\n");
}

TEST_F(Lesdig, UnknownIdentifiersAreSkipped) {
    background().classes = {cls('a', 'P', 2)};
    const std::string s = draw({record('a', 0, {30, 60, 90, 0}, {30, 30, 60, 0}), "x unknown class   **", "!",
                                "#" + std::string(150, 'z')});
    EXPECT_TRUE(has_line(s, {{30, 30}, {60, 30}, {90, 60}})) << s;
    EXPECT_EQ(said(), " - LESDIG - V1.00\n LESDIG-I-Zeichnungselemente am Rand abschneiden\n");
}

TEST_F(Lesdig, BothFieldWidthsReadTheSameCoordinatesWithOffsets) {
    BackgroundDefinition& bg = background();
    bg.classes = {cls('a', 'P', 2)};
    bg.RW = 1000.0f, bg.HW = 2000.0f;
    std::string drawn[2];
    for (int w : {7, 8}) {
        const std::vector<std::string> lines = {
            "Hintergrund " + std::to_string(w),
            record('a', 1.5f, {-970, -940, -910, -910}, {-1960, -1960, -1930, -1900}, w),
            record('a', 1.5f, {-950, 0, 0, 0}, {-1880, 0, 0, 0}, w), "!"};
        ASSERT_EQ(lines[1][18] == '.', w == 7);
        bg.data = lines;
        const long long start = position();
        LESDIG(false, 0);
        drawn[w - 7] = finish().substr(static_cast<std::size_t>(start));
        start_graph();
    }
    EXPECT_EQ(drawn[0], drawn[1]);
    EXPECT_TRUE(has_line(drawn[0], {{30, 40}, {60, 40}, {90, 70}, {90, 100}, {50, 120}})) << drawn[0];
}

TEST_F(Lesdig, AreaOverTheWindowCornerIsFilledInsideTheWindow) {
    background().classes = {cls('w', 'P', 3, 0, -1)};
    // An open series of a class with a pattern is closed.
    const std::string s = draw({record('w', 0, {-20, 100, 100, -20}, {-20, -20, 100, 100}), "!"});
    const std::size_t pu = s.rfind("PU", s.find("PM0")), fp = s.find("PM2FTFP", pu);  // solid
    ASSERT_NE(fp, std::string::npos) << s;
    // Inside the window's 40 x 40 mm of the square and as large: it covers the corner.
    const std::vector<Stroke> edges = plot_strokes(s.substr(pu, fp - pu));
    double area = 0.5 * (edges.back().x1 * edges.front().y0 - edges.front().x0 * edges.back().y1);
    for (const Stroke& e : edges) {
        EXPECT_TRUE(e.x1 > 29.99 && e.x1 < 70.01 && e.y1 > 29.99 && e.y1 < 70.01) << e.x1 << "," << e.y1;
        area += 0.5 * (e.x0 * e.y1 - e.x1 * e.y0);
    }
    EXPECT_NEAR(std::fabs(area), 1600.0, 2.0);
    // The outline is drawn only where the feature runs, not along the border.
    EXPECT_TRUE(has_line(s, {{100, 20}, {100, 100}, {20, 100}}, fp)) << s;
}

TEST_F(Lesdig, CirclesInsideAreTheDevicesCirclesCutOnesArePolygons) {
    background().classes = {cls('k', 'K', 1)};
    const std::string inside = draw({record('k', 9, {100, 100, 40, 0}, {0, 0, 0, 0})}, false, 7);
    EXPECT_NE(inside.find("SP7;PU" + plotter_point(100, 100) + ";CI804"), std::string::npos) << inside;
    start_graph();
    const std::string cut = draw({record('k', 9, {170, 100, 40, 0}, {0, 0, 0, 0})});
    EXPECT_EQ(cut.find("CI"), std::string::npos);
    for (const Stroke& e : plot_strokes(cut)) EXPECT_LE(std::max(e.x0, e.x1), 110.01);
    EXPECT_FALSE(plot_strokes(cut).empty());
}

TEST_F(Lesdig, RectanglesAndSymbols) {
    background().classes = {cls('r', 'R', 2), cls('s', 'S', 3, 1)};
    const std::string s = draw({record('r', 12, {40, 80, 80, 40}, {40, 40, 60, 60}),
                                record('s', 4, {100, 120, 0, 0}, {0, 0, 0, 0})});
    EXPECT_TRUE(has_line(s, {{40, 40}, {80, 40}, {80, 60}, {40, 60}, {40, 40}})) << s;
    // Symbol 1, a square 4 mm wide around the page point (70, 80).
    double lo = 1e9, hi = -1e9;
    for (const Stroke& e : plot_strokes(s.substr(s.find("SP3")))) {
        lo = std::min({lo, e.x0, e.x1, e.y0 - 10.0, e.y1 - 10.0});
        hi = std::max({hi, e.x0, e.x1, e.y0 - 10.0, e.y1 - 10.0});
    }
    EXPECT_NEAR(lo, 68.0, 0.03);
    EXPECT_NEAR(hi, 72.0, 0.03);
}

TEST_F(Lesdig, TextsStartEndOrCentreAtTheirPoint) {
    background().classes = {cls('T', 'T', 1)};
    // Only the first 96 columns count.
    std::string text = "T  5.0       " + num(100, 8) + num(100, 8) + " Rathaus";
    text += std::string(96 - text.size(), ' ') + "Zusatz";
    double left[3];
    for (int mode : {0, 1, 2}) {
        background().arrangement = mode;
        double x = 1e9;
        for (const Stroke& e : plot_strokes(draw({text, "T  0.0       " + num(50, 8) + num(50, 8) + " unsichtbar"})))
            x = std::min({x, e.x0, e.x1});
        left[mode] = x;
        start_graph();
    }
    EXPECT_EQ(velin::plot_state().style_name, "SIMPLX");
    velin::LODSTY("SWISSL");
    velin::HEIGHT(5.0f);
    const double width = velin::XMESS("Rathaus", 7);
    EXPECT_GT(left[1], 69.5);
    EXPECT_LT(left[1], 71.0);
    EXPECT_NEAR(left[1] - left[0], width, 0.01);
    EXPECT_NEAR(left[1] - left[2], 0.5 * width, 0.01);
}

// A series of more points than the buffers hold is left out with a
// warning naming its first line; the rest of the map is drawn.
TEST_F(Lesdig, SeriesTooLongIsLeftOutAndTheRestDrawn) {
    background().classes = {cls('a', 'P', 2), cls('b', 'P', 3)};
    const std::string line = record('a', 0, {30, 40, 50, 60}, {30, 40, 50, 60});
    std::vector<std::string> lines(250'001, line);
    lines.insert(lines.begin(), "Kopfzeile");
    lines.push_back("!");
    lines.push_back(record('b', 0, {30, 90, 0, 0}, {100, 100, 0, 0}));
    lines.push_back("!");
    const std::string s = draw(lines);
    EXPECT_TRUE(has_line(s, {{30, 100}, {90, 100}})) << s;
    EXPECT_EQ(s.find("SP2"), std::string::npos);
    EXPECT_NE(said().find(" LESDIG-W-Koordinatenreihe ab Zeile 2 (Kennung a) hat mehr als 1000000 Punkte - nicht "
                          "gezeichnet\n"),
              std::string::npos) << said();
}

TEST_F(Lesdig, InfoListsSeriesAndWarnsOfASeriesWithoutEnd) {
    BackgroundDefinition& bg = background();
    bg.info = true;
    bg.classes = {cls('a', 'P', 2, 0, -1), cls('b', 'P', 3, 1)};
    const std::string s = draw({record('a', 0, {30, 60, 60, 30}, {30, 30, 60, 30}),
                                record('b', 0, {40, 80, 0, 0}, {90, 90, 0, 0}), "!",
                                record('b', 0, {40, 80, 0, 0}, {50, 50, 0, 0})},
                               true);
    EXPECT_EQ(s.find("FP"), std::string::npos) << s;  // outlines only in a draft
    EXPECT_TRUE(has_line(s, {{40, 90}, {80, 90}}, s.find("LT2,3.,1"))) << s;
    EXPECT_EQ(count(s, "LT2,3.,1"), 2) << s;
    EXPECT_EQ(said(), " - LESDIG - V1.00\n LESDIG-I-Zeichnungselemente am Rand abschneiden\n"
                     " Einleseformat: (f5.1,5x,2(2x,4f8.1))\n"
                     " LESDIG-W-Ende einer Koordinatenreihe nicht mit !-Kennung\n"
                     " Zeile:     1  a  Polygon g.  Punkte:     4\n"
                     " Zeile:     2  b  Polygon o.  Punkte:     2\n"
                     " LESDIG-W-Ende einer Koordinatenreihe nicht mit !-Kennung\n"
                     " Zeile:     4  b  Polygon o.  Punkte:     2\n");
}

// The headings in pen 1 whatever pen drew last, the first one half its
// height clear of the label of a reference arrow above it (which reaches
// down to y = 92 mm here), then one entry per drawn class with a text.
TEST_F(Lesdig, LegendHasTheHeadingsAndAnEntryPerClassWithText) {
    LEGDEF(110.0f, 0.0f, 40.0f, 100.0f, 0.0f);
    RRLEGP().YLOW = 92.0f;
    BackgroundDefinition& bg = background();
    bg.ZHLEG = 2.0f;
    bg.headings = {"Karte", "Stand 2020"};
    bg.classes = {cls('a', 'P', 2, 0, 45510, "Wald"), cls('b', 'P', 3, 1, 0, "Wege"),
                  cls('c', 'S', 4, 3, 0, "Brunnen"), cls('d', 'T', 1, 0, 0, "!ohne"),
                  cls('e', 'P', 5, 0, 0, "   "),      cls('f', 'P', 0, 0, 0, "nicht gezeichnet")};
    const std::string s = draw({record('b', 0, {30, 60, 0, 0}, {30, 30, 0, 0}), "!"});
    EXPECT_EQ(RRLEGP().LEVEL, 1 + 2 + 3);
    EXPECT_FLOAT_EQ(RRLEGP().YLEGP, 92.0f - 1.5f * 2.0f - 4 * 6.0f);
    const std::size_t feature = s.find("SP3"), sample = s.find("SP2", feature);
    ASSERT_NE(sample, std::string::npos) << s;
    EXPECT_NE(s.find("SP1", feature), std::string::npos);
    EXPECT_LT(s.find("SP1", feature), sample) << "the headings in pen 1";
    EXPECT_EQ(count(s, "FT3"), 1) << s;        // the hatched sample
    EXPECT_EQ(count(s, "LT2,3.,1"), 2) << s;   // the dashed feature and its sample
}

// The text follows the y field of its layout, however short the numbers:
// a y below 100 leaves blanks in the field, which are no part of the name.
TEST(LdName, TextFollowsTheYFieldOfEitherLayout) {
    for (int w : {7, 8}) {
        auto text = [w](float x, float y, const std::string& rest) {
            return "T  5.0       " + num(x, w) + num(y, w) + rest;
        };
        const struct {
            std::string line, name;
        } cases[] = {
            {text(100, 1000, " Rathaus   "), "Rathaus"},
            {text(100, 1000, "    Alter  Markt "), "Alter  Markt"},
            {text(10, 10, " Bahnhof"), "Bahnhof"},
            {text(3, 0, "Kirche"), "Kirche"},
            {text(100, 1000, "").substr(0, static_cast<std::size_t>(12 + 2 * w)), ""},
            {text(100, 1000, "      "), ""},
        };
        for (const auto& c : cases) EXPECT_EQ(LDNAME(c.line, static_cast<std::size_t>(w)), c.name) << c.line;
    }
}

}  // namespace
