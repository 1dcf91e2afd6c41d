// A complete graph in both output modes: axes with numbers and names, a
// heading, curves in every line style, a thick curve, markers, arrows,
// circles, a frame, filled outline text and German text at several angles. The plots are left in
// the test's working directory and rendered with hp2xx when it is installed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fixture.h"
#include "velin/velin.h"

using namespace velin;

namespace {

class Demonstration : public velintest::VelinTest, public ::testing::WithParamInterface<const char*> {};

// A second graph beside the first: logarithmic axes with minor ticks,
// numbers and names on the far side of the axes, and a power law as a
// straight line.
void draw_spectrum() {
    OREL(280, 0);
    XNAME("Frequenz [1/s]", -100);
    YNAME("Spektrum", -100);
    XTICKS(10);
    YTICKS(10);
    AREA2D(150, 130);
    LOGLOG(1, 10, 1000, 0.01f, 10, 100);
    FRAME();
    std::vector<float> f(45), e(45);
    for (int i = 0; i <= 44; ++i) {
        f[static_cast<std::size_t>(i)] = std::pow(10.0f, 0.05f * static_cast<float>(i));
        e[static_cast<std::size_t>(i)] = 50.0f * std::pow(f[static_cast<std::size_t>(i)], -5.0f / 3.0f);
    }
    SELPEN(2);
    THKCRV(0.4f);
    CURVE(f, e, 45, 0);
    MARKER(5);
    SCLPIC(1.5f);
    CURVE(f, e, 45, -4);
    ENDGR(1);
}

void draw_demo(const std::string& file, const char* device) {
    INIPLO(device, "DINA4Q");
    PLFILE(file);
    PHYSOR(35, 30);
    XNAME("Abstand x [m]", 100);
    YNAME("Höhe z [m]", 100);
    YTICKS(5);
    HEADIN("VELIN - Vorführung", 100, 1.5f, 2);
    HEADIN("Grüße aus dem Windkanal: ÄÖÜ äöü ß", 100, 1.0f, 2);
    AREA2D(220, 130);
    GRAF(0, 10, 100, 0, 5, 50);
    THKFRM(0.5f);
    FRAME();

    std::vector<float> x(101), y(101);
    auto curve = [&](float amplitude, float offset, float phase) {
        for (int i = 0; i <= 100; ++i) {
            x[static_cast<std::size_t>(i)] = static_cast<float>(i);
            y[static_cast<std::size_t>(i)] =
                offset + amplitude * std::sin(0.08f * static_cast<float>(i) + phase);
        }
    };
    struct Style {
        void (*set)();
        int pen;
    };
    const Style styles[] = {{nullptr, 1}, {DOT, 2}, {DASH, 3}, {CHNDOT, 4}, {CHNDSH, 5}};
    float offset = 44.0f;
    for (const auto& style : styles) {
        SELPEN(style.pen);
        if (style.set) style.set();
        curve(2.5f, offset, offset * 0.1f);
        CURVE(x, y, 101, 0);
        RESET("dash");
        offset -= 6.0f;
    }
    SELPEN(6);
    float pattern[4] = {4.0f, 1.0f, 1.0f, 1.0f};
    MRSCOD(pattern, 4);
    curve(2.5f, offset, 1.0f);
    CURVE(x, y, 101, 0);
    RESET("mrs");
    offset -= 6.0f;
    SELPEN(2);
    THKCRV(0.8f);
    curve(2.5f, offset, 2.0f);
    CURVE(x, y, 101, 0);
    RESET("thk");

    SELPEN(1);
    float mx[10], my[10];
    for (int i = 0; i < 10; ++i) {
        mx[i] = 5.0f + 10.0f * static_cast<float>(i);
        my[i] = 8.0f + 2.0f * static_cast<float>(i % 3);
    }
    MARKER(1);
    for (int k = 0; k < 4; ++k) {
        float row[10];
        for (int i = 0; i < 10; ++i) row[i] = my[i] - 3.0f * static_cast<float>(k) + 2.0f;
        CURVE(mx, row, 10, k == 0 ? 1 : -1);
    }

    SELPEN(5);
    RLVEC(60, 3, 75, 3, 1100);
    RLVEC(60, 6, 75, 8, 2110);
    RLVEC(80, 3, 95, 3, 1020);
    RLVEC(80, 6, 95, 9, 1030);
    SELPEN(7);
    CIRCLE(XPOSN(20, 40), YPOSN(20, 40), 6, 0);
    SELPEN(8);
    CIRCLE(XPOSN(40, 40), YPOSN(40, 40), 6, 90000);
    SELPEN(3);
    CIRCLE(XPOSN(60, 40), YPOSN(60, 40), 6, 45110);

    SELPEN(1);
    HEIGHT(3.5f);
    MESSAG("Größe Übung", 100, 8, 100);
    ANGLE(30);
    HEIGHT(3);
    MESSAG("schräg: äöü ÄÖÜ ß", 100, 120, 70);
    ANGLE(-15);
    MESSAG("abwärts", 100, 170, 110);
    ANGLE(90);
    MESSAG("senkrecht 90 Grad", 100, 207, 12);
    ANGLE(0);
    SWISS(1);  // the test's outline style: a filled ring "O" and bar "I"
    HEIGHT(8);
    MESSAG("OIO", 3, 100, 72);
    RESET("swiss");
    HEIGHT(2);
    REALNO(3.14159f, 3, 150, 20);
    INTNO(2026, 150, 15);
    ENDGR(1);

    draw_spectrum();
    DONEPL();
}

TEST_P(Demonstration, FullGraphRenders) {
    std::string name = std::string("velin_demo_") + GetParam();
    std::string file = name + ".plt";
    draw_demo(file, GetParam());
    std::string stream = velintest::read_file(file);
    ASSERT_GT(stream.size(), 5000u);
    EXPECT_EQ(stream[0], '\x1b');
    EXPECT_EQ(stream.find_first_of(" \r\n"), std::string::npos);
    EXPECT_EQ(stream.substr(stream.size() - 6), "SP0PG;");
    EXPECT_EQ(out().find("MESSAG-W-"), std::string::npos) << out();
    EXPECT_EQ(out().find("außerhalb"), std::string::npos) << out();
    if (std::system("command -v hp2xx >/dev/null 2>&1") != 0) GTEST_SKIP() << "hp2xx is not installed";
    std::string png = name + ".png";
    std::remove(png.c_str());
    int rc = std::system(("hp2xx -q -m png -f " + png + " " + file + " 2>" + name + ".log").c_str());
    EXPECT_EQ(rc, 0) << velintest::read_file(name + ".log");
    EXPECT_TRUE(velintest::file_exists(png));
}

INSTANTIATE_TEST_SUITE_P(BothModes, Demonstration, ::testing::Values("HPGL2", "HPGL"));

}  // namespace
