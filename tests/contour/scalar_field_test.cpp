// The isoline value file, the raster definition file, the vertical
// resampling and the exaggeration question.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "contour/scalar_field.h"
#include "plot_fixture.h"

using namespace testing_support;
using namespace contour;

namespace {

class ScalarField : public PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        reset_isoline_values();
        reset_raster_classes();
    }
    void TearDown() override {
        reset_isoline_values();
        reset_raster_classes();
        PlotTest::TearDown();
    }
    void getival(const std::string& text, char key) {
        dir.write("MURAL.ISO", text);
        GETIVAL(dir.file("MURAL.ISO"), std::string(1, key));
    }
    void gerada(char key) {
        RasterClasses& r = raster_classes();
        GERADA(dir.file("MURAL.RAS"), std::string(1, key), r.IPEN, r.CLASS, r.LBEZ, r.NISO, r.LTIT, r.NTIT);
    }
    // The value lists as "value thickness mode labels pen;" per entry.
    static std::string values_read() {
        const IsolineValues& v = isoline_values();
        std::string s;
        for (std::size_t n = 0; n < static_cast<std::size_t>(std::max(v.NWISO, 0)); ++n) {
            char entry[80];
            std::snprintf(entry, sizeof entry, "%g %d %d %d %d;", v.WISO[n], v.ITHIK[n], v.MODE[n], v.LABEL[n],
                          v.ICOL[n]);
            s += entry;
        }
        return s;
    }
};

std::string repeated(const std::string& line, int n) {
    std::string s;
    for (int k = 1; k <= n; ++k) s += line;
    return s;
}

TEST_F(ScalarField, ValueFileFailures) {
    EXPECT_EQ(fatal_message([&] { getival("F\n" + repeated("1 1 1 0 2\n", 41), 'F'); }),
              "GETIVAL-F-max. 40 Isolinienwerte");
    reset_isoline_values();
    getival("F\n" + repeated("1 1 1 0 2\n", 40), 'F');
    EXPECT_EQ(isoline_values().NWISO, 40);
    // A missing file is reported; the file is looked for in the first call only.
    reset_isoline_values();
    std::filesystem::remove(dir.file("MURAL.ISO"));
    GETIVAL(dir.file("MURAL.ISO"), "F");
    EXPECT_NE(out().find("! GETIVAL-W-Kennung nicht gefunden\n"), std::string::npos);
    getival("F\n1 1 1 0 2\n", 'F');
    EXPECT_EQ(isoline_values().NWISO, -1);
    // A line thicker than 2 mm is thinned to 2 mm, with a warning.
    reset_isoline_values();
    getival("F\n1 1000000 1 0 2\n2 25 1 0 2\n", 'F');
    EXPECT_EQ(isoline_values().ITHIK[0], 25);
    EXPECT_EQ(count(out(), "GETIVAL-W-Dicke 1000000 der Isolinie 1.000 zu groß, auf 25 begrenzt"), 1) << out();
}

// A section starts at the line whose first word is the key: a heading word
// that begins with the key letter does not start it. A vertical section
// looks for its own key ("G:V") first.
TEST_F(ScalarField, SectionKeyIsAWordOfItsOwn) {
    const std::string file =
        "! Kopf\n"
        "F Horizontalwind\n'Wind'\nGrenze Stift Text\n1 2 'eins'\n---\n"
        "Gx\n'falsch'\n-\n9 9 'neun'\n---\n"
        "G Abweichung\n'Prozent'\n-\n-10 3 'weniger'\n10 4 'mehr'\n---\n"
        "W:V\n'senkrecht'\n-\n0.5 5 'halb'\n---\n"
        "W\n'waagrecht'\n-\n0.25 6 'viertel'\n---\n";
    struct Case {
        const char* key;
        const char* title;  // "" for a refused key
        const char* note;   // on the console
    };
    const Case cases[] = {
        {"G", "Prozent", ""},
        {"G:V", "Prozent", "GERADA-W-keine Kennung #G:V# für Vertikalschnitte (Werte in m/s); es gelten die Werte der Kennung #G#"},
        {"W:V", "senkrecht", ""},
        {"W", "waagrecht", ""},
        {"F:V", "Wind", ""},
        {"D", "", " GERADA-F-Kennung #D# nicht gefunden!"},
        {"D:V", "", " GERADA-F-Kennung #D# nicht gefunden!"},
    };
    dir.write("MURAL.RAS", file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        reset_raster_classes();
        out_.str("");
        if (*c.title == '\0') {
            EXPECT_EQ(fatal_message([&] { load_raster_classes(dir.file("MURAL.RAS"), c.key); }), c.note);
            continue;
        }
        load_raster_classes(dir.file("MURAL.RAS"), c.key);
        EXPECT_EQ(raster_classes().LTIT[0], c.title);
        EXPECT_NE(out().find(c.note), std::string::npos) << out();
    }
    // The classes of another key are read anew, those of the same key kept.
    load_raster_classes(dir.file("MURAL.RAS"), "G");
    EXPECT_EQ(raster_classes().NISO, 2);
    load_raster_classes(dir.file("MURAL.RAS"), "W");
    EXPECT_EQ(raster_classes().LTIT[0], "waagrecht");
    EXPECT_EQ(section_key('G', 1), "G:V");
    EXPECT_EQ(section_key('G', 3), "G");
}

// The labels show the decimals the values drawn need, at most three.
TEST(LabelFormat, FollowsAllTheValues) {
    struct Case {
        std::vector<float> values;
        std::vector<const char*> labels;
    };
    const Case cases[] = {
        {{1.0f, 2.0f, 2.5f, 3.0f, 3.5f}, {"1.0", "2.0", "2.5", "3.0", "3.5"}},
        {{0.0f, 5.0f, 10.0f, -80.0f}, {"0", "5", "10", "-80"}},
        {{0.25f, 0.5f, 0.75f, 1.0f}, {"0.25", "0.50", "0.75", "1.00"}},
        {{-0.6f, -0.4f, 0.2f}, {"-0.6", "-0.4", "0.2"}},
        {{0.1f, 0.3f, 0.7f, 1234.5f}, {"0.1", "0.3", "0.7", "1234.5"}},
        {{0.05f, 0.0004f}, {"0.050", "0.000"}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        const int decimals = label_decimals(c.values);
        for (std::size_t k = 0; k < c.values.size(); ++k) {
            char text[32];
            std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(c.values[k]));
            EXPECT_STREQ(text, c.labels[k]);
        }
    }
}

TEST_F(ScalarField, ValueFileSections) {
    const std::string file =
        "! Isolinienwerte\n"
        "W Vertikalwind\n-0.5 1 1 0 6\n"
        "F Horizontalwind\n0.5 1 1 2 3\n1.0, 2, 2, 0, 4\r\n1.5 1 3 1 5\nEnde\n2.0 1 1 1 1\n"
        // Four numbers within the first 32 characters: lists of four, the pens stay.
        "G\n0.25 1 1 2" + std::string(24, ' ') + "9\n0.5 2 0 0\n"
        // A mode that is no whole number ends the list.
        "H\n1 1 1 1 1\n2 1 1.5 1 1\n3 1 1 1 1\n";
    const std::vector<std::pair<char, std::string>> cases = {
        {'F', "0.5 1 1 2 3;1 2 2 0 4;1.5 1 3 1 5;"},
        {'G', "0.25 1 1 2 7;0.5 2 0 0 8;"},
        {'H', "1 1 1 1 1;"},
        {'X', ""},
    };
    for (const auto& [key, expected] : cases) {
        reset_isoline_values();
        isoline_values().ICOL[0] = 7;
        isoline_values().ICOL[1] = 8;
        getival(file, key);
        EXPECT_EQ(values_read(), expected) << key;
        EXPECT_EQ(isoline_values().NWISO, count(expected, ";"));
    }
}

TEST_F(ScalarField, RasterFileFailures) {
    const std::string head = "F Horizontalwind\n'Titel'\nGrenze Stift Text\n";
    std::string sixteen;
    for (int k = 1; k <= 16; ++k) sixteen += std::to_string(k) + " " + std::to_string(k) + " 'Klasse'\n";
    const std::string path = dir.file("MURAL.RAS");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "! GERADA-F-Rasterdefinitionsdatei " + path + " nicht gefunden"},
        {"W\n'Titel'\n-\n1 2 'a'\n", " GERADA-F-Kennung #F# nicht gefunden!"},
        {"F\n" + repeated("'Titel'\n", 6) + "-\n1 2 'a'\n", "GERADA-F-max 5 Titelzeilen"},
        {head + sixteen + "17 17 'zuviel'\n", " GERADA-F-Abbruch-maximal 16 Farben + weiß verwendbar"},
        {head + "---\n1 2 'a'\n", "GERADA-F-keine Farbklasse unter der Kennung #F# in " + path},
        // Limits that do not ascend would put every cell in the first class.
        {head + "5 2 'bis 5'\n1 3 'bis 1'\n",
         "GERADA-F-Klassengrenzen unter der Kennung #F# nicht aufsteigend: Klasse 2 bis 1.000 nach Klasse 1 bis "
         "5.000 in " + path},
        {head + "1 2 'bis 1'\n1 3 'auch bis 1'\n",
         "GERADA-F-Klassengrenzen unter der Kennung #F# nicht aufsteigend: Klasse 2 bis 1.000 nach Klasse 1 bis "
         "1.000 in " + path},
    };
    for (const auto& [file, message] : cases) {
        std::filesystem::remove(path);
        if (!file.empty()) dir.write("MURAL.RAS", file);
        EXPECT_EQ(fatal_message([&] { gerada('F'); }), message);
    }
    dir.write("MURAL.RAS", head + sixteen);
    gerada('F');
    EXPECT_EQ(raster_classes().NISO, 16);
}

TEST_F(ScalarField, RasterFileSections) {
    const std::string head =
        "! Farbraster\nW\n'falscher Abschnitt'\n-\n9 9 'neun'\n"
        "F Horizontalwind\n'Windgeschwindigkeit'\n'in m/s, ''gemittelt'''\nGrenze  Stift  Text\n"
        "0.5  2 'unter 0,5'\n1.0, 3, 'bis 1'\n2.0  4 \"bis 2\"\n";
    const std::vector<std::pair<std::string, int>> cases = {
        {"---\n", 3},      {"0 -1 'Ende'\n", 3},  {"0.0,-3,'x'\n", 3}, {"1.5x 5 'x'\n", 3},
        {"7 5\n", 3},      {"7 5 'offen\n", 3},   {"", 3},             {"3 2 'drei'\n---\n", 4},
    };
    for (const auto& [end, classes] : cases) {
        SCOPED_TRACE(end);
        reset_raster_classes();
        out_.str("");
        // Nothing is read after the line that ends the list.
        dir.write("MURAL.RAS", head + end + (end.empty() ? "" : "8 8 'danach'\n"));
        gerada('F');
        const RasterClasses& r = raster_classes();
        ASSERT_EQ(r.NISO, classes);
        EXPECT_EQ(r.NTIT, 2);
        EXPECT_EQ(r.LTIT[1], "in m/s, 'gemittelt'");
        EXPECT_EQ(std::vector<int>(r.IPEN.begin(), r.IPEN.begin() + 3), (std::vector<int>{2, 3, 4}));
        EXPECT_EQ(r.LBEZ[2], "bis 2");
        EXPECT_FLOAT_EQ(r.CLASS[1], 1.0f);
        EXPECT_EQ(count(out(), " -- Farbrasterdarstellung mit  " + std::to_string(classes) + " Farben"), 1);
    }
    // Classes already read are kept: the file is not looked at again.
    std::filesystem::remove(dir.file("MURAL.RAS"));
    gerada('F');
    EXPECT_EQ(raster_classes().NISO, 4);
}

TEST_F(ScalarField, ResamplingNeedsRoomForTheNewLayers) {
    platform::Field2D<float> in(2, 3), work(2, 6);
    int mnz = 0;
    std::vector<float> dz{1, 2, 4}, equal{2, 2, 2};
    EXPECT_EQ(fatal_message([&] { MAKDZC(in, 2, 3, dz, work, 6, 1.0f, mnz); }), "MAKDZC-NZI zu klein angegeben");
    EXPECT_EQ(fatal_message([&] { MAKDZC(in, 2, 3, equal, work, 2, 1.0f, mnz); }), "MAKDZC-NZI zu klein angegeben");
    EXPECT_EQ(fatal_message([&] { MAKDZC(in, 2, 3, dz, work, 5, 0.0f, mnz); }),
              "MAKDZC-F-Schichtdicke DZI muss positiv sein");
}

// Layer centres of DZ = 1, 2, 4 lie at 0.5, 2 and 5 m, the top at 7 m. Column
// 1 holds 20 z and column 2 holds 5 - 2 z at the centres, so interpolated
// values follow these lines up to the last centre and stay constant above.
TEST_F(ScalarField, ResamplingOntoEquidistantLayers) {
    struct Case {
        std::vector<float> dz;
        float dzi;
        std::vector<float> column1, column2;
        int above;
    };
    const std::vector<Case> cases = {
        {{1, 2, 4}, 1.0f, {10, 30, 50, 70, 90, 100, 100}, {4, 2, 0, -2, -4, -5, -5}, 2},
        {{1, 2, 4}, 2.0f, {20, 60, 100}, {3, -1, -5}, 0},
        {{2, 2, 2}, 1.0f, {10, 40, 100}, {4, 1, -5}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dzi);
        out_.str("");
        platform::Field2D<float> in(2, 3), work(2, 12, -99.0f);
        for (int k = 1; k <= 3; ++k) {
            in(1, k) = std::vector<float>{10, 40, 100}[static_cast<std::size_t>(k - 1)];
            in(2, k) = std::vector<float>{4, 1, -5}[static_cast<std::size_t>(k - 1)];
        }
        int mnz = 0;
        MAKDZC(in, 2, 3, c.dz, work, 12, c.dzi, mnz);
        ASSERT_EQ(mnz, static_cast<int>(c.column1.size()));
        for (int k = 1; k <= mnz; ++k) {
            EXPECT_NEAR(work(1, k), c.column1[static_cast<std::size_t>(k - 1)], 1e-4) << k;
            EXPECT_NEAR(work(2, k), c.column2[static_cast<std::size_t>(k - 1)], 1e-5) << k;
        }
        EXPECT_EQ(work(1, mnz + 1), -99.0f);
        EXPECT_EQ(count(out(), " über dem obersten Punkt"), c.above);
    }
}

TEST_F(ScalarField, ExaggerationDefaultsToTwo) {
    const std::vector<std::pair<std::string, float>> cases = {
        {"3.5\n", 3.5f}, {"0\n", 2.0f}, {"-1\n", 2.0f}, {"\n", 2.0f}, {"drei\n", 2.0f}, {"1e99\n", 2.0f}};
    for (const auto& [input, factor] : cases) {
        answer(input);
        EXPECT_FLOAT_EQ(UEBERH(), factor) << input;
    }
    EXPECT_EQ(count(out(), " Überhöhungsfaktor für z-Achse: "), static_cast<int>(cases.size()));
}

}  // namespace
