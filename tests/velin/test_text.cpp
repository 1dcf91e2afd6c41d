// Stroked text, numbers as text, and the text matrices. The test style's
// glyphs are 0.6 text heights wide; "L" is the four strokes f, e, d, D of a
// segment display.
#include <cmath>
#include <functional>

#include "fixture.h"
#include "platform/fatal.h"
#include "velin/velin.h"

using namespace velin;

namespace {

class Text : public velintest::VelinTest {
protected:
    // The stream that drawing `what` adds.
    std::string drawn(const std::function<void()>& what) {
        long long from = position();
        what();
        PENUP(0, 0);  // ends the last PD list so that both sides compare alike
        long long to = position();
        streams_.push_back({from, to});
        return {};
    }
    std::vector<std::string> finish_all() {
        std::string all = finish(0);
        std::vector<std::string> parts;
        for (auto [from, to] : streams_)
            parts.push_back(all.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
        return parts;
    }
    std::vector<std::pair<long long, long long>> streams_;
};

std::string num(float v, const char* fmt) {
    std::string s;
    int n = NUM2S(v, s, fmt);
    EXPECT_EQ(n, static_cast<int>(s.size()));
    return s;
}

TEST_F(Text, StrokesOfOneLetter) {
    start_graph("HPGL2");
    long long from = position();
    MESSAG("L", 1, 10, 20);
    EXPECT_EQ(finish(from), "PU402,884;PD402,844PU402,844;PD402,804PU402,804;PD426,804PU426,804;PD450,804SP0PG;");
}

TEST_F(Text, UmlautsFromEveryCodePageDrawAlike) {
    start_graph("HPGL2");
    drawn([] { MESSAG("Gr\x81\xe1" "e", 5, 10, 20); });  // code page 850
    drawn([] { MESSAG("Gr\xfc\xdf" "e", 5, 10, 20); });  // ISO 8859-1
    drawn([] { MESSAG("Grüße", 5, 10, 20); });          // UTF-8
    auto parts = finish_all();
    EXPECT_GT(parts[0].size(), 100u);
    EXPECT_EQ(parts[0], parts[1]);
    EXPECT_EQ(parts[0], parts[2]);
    EXPECT_EQ(out().find("undefined"), std::string::npos);
}

TEST_F(Text, ContinuationAndDollarEnd) {
    start_graph("HPGL2");
    drawn([] {
        MESSAG("abc", 3, 10, 20);
        MESSAG("def", 3, -999, -999);
    });
    drawn([] { MESSAG("abcdef", 6, 10, 20); });
    drawn([] { MESSAG("ABCD$EF", 100, 10, 30); });
    drawn([] { MESSAG("ABCD", 4, 10, 30); });
    auto parts = finish_all();
    EXPECT_EQ(parts[0], parts[1]);
    EXPECT_EQ(parts[2], parts[3]);
    EXPECT_EQ(LANTXT("ABC$D", 100), 3);
    EXPECT_EQ(LANTXT("ABCD", 100), 4);
    std::string lower;
    CUP2LO("AbCD", lower, 3);
    EXPECT_EQ(lower, "abc");
}

TEST_F(Text, UndefinedCharacters) {
    start_graph("HPGL2");
    drawn([] { MESSAG("A\x01" "B", 3, 10, 20); });
    drawn([] { MESSAG("AB", 2, 10, 20); });
    drawn([] { MESSAG("A€B", 3, 10, 20); });
    drawn([] { MESSAG("A▀B", 3, 10, 20); });
    EXPECT_NEAR(XMESS("A€B", 3), XMESS("A?B", 3), 1e-6);
    auto parts = finish_all();
    // Warnings name the character's code page 850 byte, or its Unicode number when that code page lacks it.
    EXPECT_NE(out().find(" MESSAG-W-undefined character (?) ASCII=  1\n"), std::string::npos);
    EXPECT_NE(out().find(" MESSAG-W-undefined character (€) ASCII=U+20AC\n"), std::string::npos);
    EXPECT_NE(out().find(" MESSAG-W-undefined character (▀) ASCII=223\n"), std::string::npos);
    EXPECT_NE(out().find(" XMESS-W-undefined Character:U+20AC€\n"), std::string::npos);
    EXPECT_EQ(parts[0], parts[1]);
    EXPECT_EQ(parts[2], parts[1]);
    EXPECT_EQ(parts[3], parts[1]);
}

TEST_F(Text, Widths) {
    INIPLO("HPGL2", "DINA4Q");
    EXPECT_FLOAT_EQ(XMESS("AB", 2), (0.6f + 0.3f + 0.6f) * 2.0f);
    ANGLE(90);
    EXPECT_FLOAT_EQ(XMESS("AB", 2), 3.0f);
    HEIGHT(4);
    EXPECT_FLOAT_EQ(XMESS("AB", 2), 6.0f);
    CHARSP(1.0f);  // the width of "m" plus 1 mm per character
    EXPECT_FLOAT_EQ(XMESS("AB", 2), 2.0f * (1.0f + 2.4f));
    CHARSP(1.0f);  // again: still the proportional width of "m"
    EXPECT_FLOAT_EQ(XMESS("AB", 2), 2.0f * (1.0f + 2.4f));
    CHARSP(0.0f);
    EXPECT_FLOAT_EQ(XMESS("AB", 2), 6.0f);
}

TEST_F(Text, AngleTurnsTheBaseline) {
    start_graph("HPGL2");
    ANGLE(90);
    long long from = position();
    MESSAG("L", 1, 10, 20);  // the baseline runs upward, glyph tops point to -x
    float x, y;
    GETCCP(x, y);
    EXPECT_NEAR(x, 10.0f, 1e-5);
    EXPECT_NEAR(y, 20.0f + 0.9f * 2.0f, 1e-5);
    EXPECT_EQ(finish(from), "PU321,804;PD361,804PU361,804;PD402,804PU402,804;PD402,828PU402,828;PD402,852SP0PG;");
}

TEST_F(Text, TextIsSolidAndTheStyleComesBack) {
    start_graph("HPGL2");
    DASH();
    THKCRV(0.5f);
    float x[2] = {10, 20}, y[2] = {10, 10};
    long long from = position();
    CURVE(x, y, 2, 0);
    MESSAG("-", 1, 30, 30);
    CURVE(x, y, 2, 0);
    EXPECT_EQ(finish(from),
              "PW0.50LT2,3.,1PU402,402;PD804,402LT;PW0PU1206,1246;PD1230,1246PU1230,1246;PD1254,1246"
              "PW0.50LT2,3.,1PU402,402;PD804,402SP0PG;");
}

TEST_F(Text, FilledGlyphsKeepTheirHoles) {
    start_graph("HPGL2");
    SWISS(1);
    long long from = position();
    MESSAG("O", 1, 10, 20);
    EXPECT_EQ(finish(from),
              "PU402,804PM0PD450,804,450,884,402,884,402,804PM1PU418,820PD418,868,434,868,434,820,418,820PM2FTFP"
              "SP0PG;");
}

TEST_F(Text, FilledGlyphsByScanLinesInHpgl) {
    start_graph("HPGL");
    SWISS(1);
    long long from = position();
    MESSAG("O", 1, 10, 20);
    std::string stream = finish(from);
    int pd = 0;
    for (auto p = stream.find("PD"); p != std::string::npos; p = stream.find("PD", p + 1)) ++pd;
    EXPECT_EQ(pd, 64);  // 40 scan lines, 24 of them cut by the hole
    // The scan line through the middle runs in two pieces beside the hole.
    EXPECT_NE(stream.find("418,845"), std::string::npos);
    EXPECT_NE(stream.find("434,845"), std::string::npos);
}

TEST_F(Text, EditDescriptors) {
    EXPECT_THROW(num(1, "(X5)"), platform::Fatal);
    EXPECT_EQ(num(3.14159f, "(F15.3)"), "3.142");
    EXPECT_EQ(num(3.0f, "(1PE10.1)"), "3.0E+00");
    EXPECT_EQ(num(1000.0f, "(1PE10.1)"), "1.0E+03");
    EXPECT_EQ(num(0.01f, "(1PE10.1)"), "1.0E-02");
    EXPECT_EQ(num(3.14159f, "(E15.1)"), "0.3E+01");
    EXPECT_EQ(num(-2.5f, "(E9.2)"), "-0.25E+01");
    EXPECT_EQ(num(2.6f, "(I10)"), "3");
    EXPECT_EQ(num(-2.5f, "(I10)"), "-3");
    EXPECT_EQ(num(12345.0f, "(F4.1)"), "****");
    EXPECT_EQ(num(123456.0f, "(I5)"), "*****");
    EXPECT_EQ(num(0.5f, "(F3.2)"), ".50");
    EXPECT_EQ(num(-0.04f, "(F10.1)"), "0.0");
    EXPECT_EQ(num(1e20f, "(I10)"), "**********");
}

TEST_F(Text, AxisNumberFormats) {
    std::string fmt;
    GETFMT(0, 0.25f, 1, fmt);
    EXPECT_EQ(fmt, "(F10.2)");
    GETFMT(0, 10, 100, fmt);
    EXPECT_EQ(fmt, "(F10.1)");
    GETFMT(0, 50000, 200000, fmt);
    EXPECT_EQ(fmt, "(E10.1)");
    GETFMT(0, 0.01f, 0.1f, fmt);
    EXPECT_EQ(fmt, "(F10.2)");
    GETFMT(0.5f, 0.5f, 3, fmt);
    EXPECT_EQ(fmt, "(F10.1)");
}

TEST_F(Text, NumbersAreDrawnAsTheirText) {
    start_graph("HPGL2");
    drawn([] { REALNO(3.14159f, 2, 10, 20); });
    drawn([] { MESSAG("3.14", 4, 10, 20); });
    drawn([] { REALNO(3.14159f, -1, 10, 20); });
    drawn([] { MESSAG("0.3E+01", 7, 10, 20); });
    drawn([] { REALNO(3.14159f, 12, 10, 20); });
    drawn([] { MESSAG("3.142", 5, 10, 20); });
    drawn([] { RLINT(-42, 10, 20); });
    drawn([] { INTNO(-42, 10, 20); });
    EXPECT_FLOAT_EQ(XINT(-42), XMESS("-42", 3));
    EXPECT_FLOAT_EQ(XREAL(2.5f, 1), XMESS("2.5", 3));
    auto parts = finish_all();
    EXPECT_EQ(parts[0], parts[1]);
    EXPECT_EQ(parts[2], parts[3]);
    EXPECT_EQ(parts[4], parts[5]);
    EXPECT_EQ(parts[6], parts[7]);
    EXPECT_NE(out().find(" REALNO-W-max 9 Nachkommastellen\n"), std::string::npos);
}

TEST(TextMatrices, ProductAppliesRightToLeft) {
    Matrix m;
    MULT2(BSHIFT(1, 2), BSCALE(2, 3), m);
    float x = 1, y = 1;
    ROTCS(m, x, y);
    EXPECT_FLOAT_EQ(x, 3.0f);
    EXPECT_FLOAT_EQ(y, 5.0f);
    velin::reset();
    MULT2(BSHIFT(1, 2), BANGLE(90), m);
    x = 1;
    y = 0;
    ROTCS(m, x, y);
    EXPECT_NEAR(x, 1.0f, 1e-6);
    EXPECT_NEAR(y, 3.0f, 1e-6);
}

}  // namespace
