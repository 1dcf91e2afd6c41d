// The colour raster: classes, background rectangle, merged runs in both
// methods, the isolated-cell filter, the option questions and the legend.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "contour/raster.h"
#include "mapelements/legend.h"
#include "plot_fixture.h"
#include "velin/velin.h"

using namespace testing_support;
using contour::FFPATR;

namespace {

struct Fill {
    int pen;
    float x1, x2, y1, y2;  // user units
};

// 6 x 3 cells; the value of a cell is 10 times its column.
platform::Field2D<float> linear_field() {
    platform::Field2D<float> f(6, 3);
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 6; ++i) f(i, j) = 10.0f * static_cast<float>(i);
    return f;
}

class Raster : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        contour::reset_raster_options();
        start_graph();
    }
    void TearDown() override {
        contour::reset_raster_options();
        PlotTest::TearDown();
    }
    // The plot stream that FFPATR writes.
    std::string raster(const platform::Field2D<float>& f, std::vector<float> limits, std::vector<int> pens,
                       std::vector<std::string> texts = {}, bool noleg = true) {
        texts.resize(limits.size(), "Klasse");
        const long long from = position();
        FFPATR(f, f.n1(), f.n2(), XI, YI, limits, static_cast<int>(limits.size()), pens, texts, noleg);
        return finish().substr(static_cast<std::size_t>(from));
    }
    // Cells of unequal widths and heights.
    std::vector<float> XI{0, 10, 30, 40, 70, 80, 100}, YI{0, 20, 50, 60, 80};
};

TEST_F(Raster, RefusesInconsistentArguments) {
    const auto f = linear_field();
    std::vector<float> limits{1, 2}, short_xi(XI.begin(), XI.end() - 1);
    std::vector<int> pens{1, 2}, bad_pens{1, 300};
    std::vector<std::string> texts{"a", "b"};
    EXPECT_EQ(fatal_message([&] { FFPATR(f, 6, 3, XI, YI, limits, 0, pens, texts, true); }),
              "FFPATR-F-keine Farbklassen");
    EXPECT_EQ(fatal_message([&] { FFPATR(f, 6, 3, short_xi, YI, limits, 2, pens, texts, true); }),
              "FFPATR-F-zu wenige Zellgrenzen für NX=6, NY=3");
    EXPECT_EQ(fatal_message([&] { FFPATR(f, 6, 4, XI, YI, limits, 2, pens, texts, true); }),
              "FFPATR-F-Feldgröße falsch: NX=6, NY=4");
    EXPECT_EQ(fatal_message([&] { FFPATR(f, 6, 3, XI, YI, limits, 2, bad_pens, texts, true); }),
              "FFPATR-F-Stift nicht vorhanden:   300");
}

// Values equal to a limit stay in that class and values above the last limit
// take the last class: with limits 20, 40, 50 the columns fall into bands
// 1-2, 3-4 and 5-6, each one fill per row, the background one fill in all.
// Cells without a value (NaN, infinite) stay paper, and then no background
// rectangle may cover them.
std::vector<Fill> rows(int pen, float x1, float x2) {
    return {{pen, x1, x2, 0, 20}, {pen, x1, x2, 20, 50}, {pen, x1, x2, 50, 60}};
}

std::vector<Fill> join(const std::vector<std::vector<Fill>>& parts) {
    std::vector<Fill> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct LinearCase {
    const char* name;
    int method;
    std::vector<float> limits;
    std::vector<int> pens;
    std::vector<Fill> fills;
    bool holes = false;     // cell (3, 2) NaN, (6, 1) infinite
    const char* note = "";  // on the console
};

std::vector<LinearCase> linear_cases() {
    const auto b5 = rows(5, 30, 70), b7 = rows(7, 70, 100);
    const std::vector<Fill> background{{3, 0, 100, 0, 60}};
    return {
        // Equal counts: the lowest pen is the background.
        {"pen by pen", 2, {20, 40, 50}, {3, 5, 7}, join({background, b5, b7})},
        {"row by row", 1, {20, 40, 50}, {3, 5, 7},
         join({background, {b5[0], b7[0], b5[1], b7[1], b5[2], b7[2]}})},
        // White (pen 0) occurs: no background, white cells are left out.
        {"white class", 2, {20, 40, 50}, {0, 5, 7}, join({b5, b7})},
        {"larger count", 2, {40, 60}, {6, 2}, join({{{6, 0, 100, 0, 60}}, rows(2, 70, 100)})},
        {"one class", 1, {1000, 2000}, {4, 6}, {{4, 0, 100, 0, 60}}, false,
         " FFPATR-W-alle Zellen in einer Klasse (Klasse): Werte von 10 bis 60, Klassengrenzen von 1000 bis 2000"},
        {"holes", 2, {20, 40, 50}, {3, 5, 7},
         join({rows(3, 0, 30),
               {{5, 30, 70, 0, 20}, {5, 40, 70, 20, 50}, {5, 30, 70, 50, 60}},
               {{7, 70, 80, 0, 20}, {7, 70, 100, 20, 50}, {7, 70, 100, 50, 60}}}),
         true},
    };
}

class LinearField : public Raster, public ::testing::WithParamInterface<LinearCase> {};

TEST_P(LinearField, GivesBackgroundAndOneRunPerRowAndClass) {
    const LinearCase& c = GetParam();
    SCOPED_TRACE(c.name);
    contour::raster_options() = {.IFILTER = 0, .METHOD = c.method};
    std::string expected;
    int pen = -1;
    for (const Fill& f : c.fills) {
        if (f.pen != pen) expected += "SP" + std::to_string(f.pen) + ";";
        pen = f.pen;
        expected += "PU" + plotter_point(f.x1, f.y1) + "RA" + plotter_point(f.x2, f.y2);
    }
    expected += "SP1;";
    auto field = linear_field();
    if (c.holes) {
        field(3, 2) = std::numeric_limits<float>::quiet_NaN();
        field(6, 1) = std::numeric_limits<float>::infinity();
    }
    const std::string stream = raster(field, c.limits, c.pens);
    EXPECT_EQ(stream.substr(0, expected.size()), expected);
    EXPECT_EQ(count(stream, "RA"), static_cast<int>(c.fills.size()));
    EXPECT_NE(out().find(c.note), std::string::npos) << out();
    EXPECT_EQ(contains(out(), "alle Zellen in einer Klasse"), *c.note != '\0');
}

INSTANTIATE_TEST_SUITE_P(Cases, LinearField, ::testing::ValuesIn(linear_cases()));

// A 3 x 4 field of pen 4 with some cells of pens 3 and 5 around cell (2,2).
struct FilterCase {
    const char* name;
    int filter;
    std::vector<std::pair<int, int>> threes, fives;
    int changed;  // -1: no filter report
};

class Filter : public Raster, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(Filter, ReplacesIsolatedCells) {
    const FilterCase& c = GetParam();
    contour::raster_options() = {.IFILTER = c.filter, .METHOD = 2};
    platform::Field2D<float> f(3, 4, 4.0f);
    for (auto [i, j] : c.threes) f(i, j) = 3.0f;
    for (auto [i, j] : c.fives) f(i, j) = 5.0f;
    raster(f, {3, 4, 5}, {3, 4, 5});
    const int changed = std::max(c.changed, 0);
    EXPECT_EQ(count(out(), " Punkte gefiltert:       " + std::to_string(changed) + "\n"), c.changed < 0 ? 0 : 1);
    const int fives = static_cast<int>(c.fives.size()) - changed;
    EXPECT_NE(out().find("\n     5         " + std::to_string(fives) + " "), std::string::npos) << out();
}

INSTANTIATE_TEST_SUITE_P(Neighbourhoods, Filter, ::testing::Values(
        FilterCase{"sides and below", 1, {{1, 2}, {3, 2}, {2, 1}}, {{2, 2}}, 1},
        FilterCase{"sides and above", 1, {{1, 2}, {3, 2}, {2, 3}, {1, 3}, {3, 3}}, {{2, 2}}, 1},
        FilterCase{"sides only", 1, {{1, 2}, {3, 2}}, {{2, 2}}, 0},
        FilterCase{"one side and below", 1, {{1, 2}, {2, 1}}, {{2, 2}}, 0},
        // The changed cell (2,2) is the lower neighbour that turns (2,3).
        FilterCase{"in place", 1, {{1, 2}, {3, 2}, {2, 1}, {1, 3}, {3, 3}}, {{2, 2}, {2, 3}}, 2},
        FilterCase{"filter off", 0, {{1, 2}, {3, 2}, {2, 1}}, {{2, 2}}, -1}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// The questions come when an option is unset, or out of range while the
// protocol is on the console; an unreadable answer is asked again.
struct OptionCase {
    int filter, method;
    bool log_unit;
    const char* input;
    int filter_asked, method_asked, final_filter, final_method, fills;
};

class Options : public Raster, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(Options, AskedWhenUnsetOrOutOfRange) {
    const OptionCase& c = GetParam();
    std::ostringstream log;
    if (c.log_unit) {
        velin::connect_unit(99, &log);
        velin::SETIOC(99);
    }
    answer(c.input);
    contour::raster_options() = {.IFILTER = c.filter, .METHOD = c.method};
    EXPECT_EQ(count(raster(linear_field(), {20, 40, 50}, {3, 5, 7}), "RA"), c.fills);
    EXPECT_EQ(count(out(), " Singuläre Punkte Filtern (0,1): "), c.filter_asked);
    EXPECT_EQ(count(out(), " Methode (1-zeilenweise ,2-farbweise): "), c.method_asked);
    EXPECT_EQ(contour::raster_options().IFILTER, c.final_filter);
    EXPECT_EQ(contour::raster_options().METHOD, c.final_method);
    EXPECT_EQ(contains(log.str(), " Hintergrundrechteck mit Stift   3"), c.log_unit);
}

INSTANTIATE_TEST_SUITE_P(Answers, Options,
                         ::testing::Values(OptionCase{-1, 0, false, "x\n0\n1\n", 2, 1, 0, 1, 7},
                                           OptionCase{2, 3, false, "1\n2\n", 1, 1, 1, 2, 7},
                                           OptionCase{1, 2, false, "", 0, 0, 1, 2, 7},
                                           // With the protocol in a log, a method out of
                                           // range draws the background only.
                                           OptionCase{2, 3, true, "", 0, 0, 2, 3, 1}));

// A class text beginning with "!" is drawn but has no legend entry (whose
// box would select its pen once more).
class Legend : public Raster, public ::testing::WithParamInterface<bool> {};

TEST_P(Legend, OneEntryPerNamedClass) {
    const bool noleg = GetParam();
    velin::HEIGHT(2.5f);
    mapelements::LEGDEF(100.0f, 0.0f, 40.0f, 60.0f, 0.0f);
    contour::raster_options() = {.IFILTER = 0, .METHOD = 2};
    const std::string stream = raster(linear_field(), {20, 40, 50}, {3, 5, 7}, {"leicht", "!mittel", "stark"}, noleg);
    EXPECT_EQ(mapelements::RRLEGP().LEVEL, noleg ? 1 : 3);
    EXPECT_EQ(count(stream, "SP5"), 1);
    EXPECT_EQ(count(stream, "SP3"), noleg ? 1 : 2);
    EXPECT_EQ(count(stream, "SP7"), noleg ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutEntries, Legend, ::testing::Bool());

}  // namespace
