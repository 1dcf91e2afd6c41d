#include <gtest/gtest.h>

#include "platform/console.h"
#include "platform/freeformat.h"
#include "test_support.h"

using namespace testing_support;

namespace {

TEST(Console, EndOfInputEndsTheRunNamingThePrompt) {
    CapturedConsole con("erste Zeile\r\n");
    auto& c = platform::console();
    c.prompt(" Plotdatei: ");
    EXPECT_EQ(c.read_line(), "erste Zeile");
    c.prompt(" Xvon,Xbis,Yvon,Ybis: ");
    EXPECT_EQ(fatal_message([&] { c.read_line(); }),
              "MURAL-F-Eingabe zu Ende bei der Abfrage \"Xvon,Xbis,Yvon,Ybis:\"");
    // The open prompt line was closed before the message.
    EXPECT_EQ(con.out(), " Plotdatei:  Xvon,Xbis,Yvon,Ybis: \n");
}

TEST(Console, SkipsAByteOrderMarkAtTheStartOfTheInputOnly) {
    CapturedConsole con("\xEF\xBB\xBFV\r\n\xEF\xBB\xBFK03\n");
    EXPECT_EQ(platform::console().read_line(), "V");
    EXPECT_EQ(platform::console().read_line(), "\xEF\xBB\xBFK03");
}

TEST(Console, ErrorsGoToStandardError) {
    CapturedConsole con;
    platform::console().line("normal");
    platform::console().error("MURAL-F-Fehler");
    EXPECT_EQ(con.out(), "normal\n");
    EXPECT_EQ(con.err(), "MURAL-F-Fehler\n");
}

TEST(FreeFormat, RefusesWhatIsNotANumber) {
    std::vector<std::optional<double>> reals;
    EXPECT_FALSE(platform::parse_reals("1.0 zwei 3", reals));
    EXPECT_FALSE(platform::parse_reals("inf", reals));
    EXPECT_FALSE(platform::parse_reals("nan", reals));
    EXPECT_FALSE(platform::parse_reals("0x10", reals));
    EXPECT_FALSE(platform::parse_reals("1e999", reals));
    EXPECT_FALSE(platform::parse_reals("4000*1 96*2 3", reals));  // more values than a line may expand to
    std::vector<std::optional<long>> ints;
    EXPECT_FALSE(platform::parse_ints("1.5", ints));
    EXPECT_FALSE(platform::parse_ints("99999999999", ints));
    EXPECT_FALSE(platform::parse_ints("-", ints));
}

TEST(FreeFormat, ReadsListDirectedValues) {
    std::vector<std::optional<double>> v;
    ASSERT_TRUE(platform::parse_reals(" 100, 900 0,,800 ", v));
    ASSERT_EQ(v.size(), 5u);
    EXPECT_DOUBLE_EQ(*v[0], 100.0);
    EXPECT_DOUBLE_EQ(*v[1], 900.0);
    EXPECT_DOUBLE_EQ(*v[2], 0.0);
    EXPECT_FALSE(v[3].has_value());
    EXPECT_DOUBLE_EQ(*v[4], 800.0);

    ASSERT_TRUE(platform::parse_reals("1.5D2 -.5 3*2 / 7 8", v));
    ASSERT_EQ(v.size(), 5u);
    EXPECT_DOUBLE_EQ(*v[0], 150.0);
    EXPECT_DOUBLE_EQ(*v[1], -0.5);
    EXPECT_DOUBLE_EQ(*v[4], 2.0);

    ASSERT_TRUE(platform::parse_reals("", v));
    EXPECT_TRUE(v.empty());

    std::vector<std::optional<long>> n;
    ASSERT_TRUE(platform::parse_ints("5,-3 +7", n));
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(*n[1], -3);
    EXPECT_EQ(*n[2], 7);
}

TEST(FreeFormat, WritesRealsLikeListDirectedOutput) {
    EXPECT_EQ(platform::format_real(3500.0), "3500.0");
    EXPECT_EQ(platform::format_real(2.5), "2.5");
    EXPECT_EQ(platform::format_real(0.125), "0.125");
}

}  // namespace
