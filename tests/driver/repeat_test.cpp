// Repeat counts ("r*v") of the free-format readers: a reader expands no more
// values than it reads, so a short line of huge repeats is read at once.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "driver/dialogue.h"
#include "driver/layout.h"
#include "platform/freeformat.h"
#include "test_support.h"
#include "velin/velin.h"

using namespace testing_support;

namespace {

// The items `head`, then 450 repeats of 100000 values: 45 million in all.
std::string flood(const std::string& head) {
    std::string line = head;
    for (int k = 0; k < 450; ++k) line += " 100000*1";
    return line;
}

struct RepeatCase {
    const char* name;
    std::function<std::string(const ScratchDir&)> read;  // what the reader made of its lines
    std::string expected;
};

void PrintTo(const RepeatCase& c, std::ostream* os) { *os << c.name; }

class RepeatCounts : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatCounts, ExpandOnlyTheValuesRead) {
    ScratchDir dir;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetParam().read(dir), GetParam().expected);
    // Expanding the whole line takes many seconds and gigabytes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(
    Readers, RepeatCounts,
    ::testing::Values(
        RepeatCase{"WholeLineWithoutCount",
                   [](const ScratchDir&) {
                       std::vector<std::optional<double>> v;
                       return std::string(platform::parse_reals(flood("1"), v, platform::kEveryValue) ? "gelesen"
                                                                                                       : "unlesbar");
                   },
                   "unlesbar"},
        RepeatCase{"Answer",
                   [](const ScratchDir&) {
                       CapturedConsole con(flood("2*1.5") + "\n");
                       return platform::format_real(driver::UEBERH());
                   },
                   "1.5"},
        RepeatCase{"LayoutLines",
                   [](const ScratchDir& d) {
                       d.write("MURAL.INI", "ax=" + flood("150") + "\nzh=" + flood("3*4") + "\n");
                       CapturedConsole con;
                       float ax = 0, ay = 0, xn = 0, yn = 0, zh = 0;
                       bool fo = false;
                       std::string plt, pal;
                       driver::DEFPAR(d.file("MURAL.INI"), ax, ay, xn, yn, zh, fo, plt, pal);
                       return platform::format_real(ax) + " " + platform::format_real(zh);
                   },
                   "150.0 4.0"},
        RepeatCase{"PaletteLines",
                   [](const ScratchDir& d) {
                       d.write("farben.pal", "P\n" + flood("2") + "\n" + flood("6*255") + "\n" + flood("1 3*9") +
                                                 "\n" + flood("2 0") + "\n");
                       CapturedConsole con;
                       velin::INIPLO("HPGL2", "DINA4Q");
                       velin::PLFILE(d.file("p.plt"));
                       velin::SETPAL(d.file("farben.pal"), "P");
                       const std::string setup = velin::plot_state().colour_setup;
                       velin::reset();
                       return setup;
                   },
                   "NP4CR255,255,255,255,255,255PC1,9,9,9PC2,0,1,1"}),
    [](const ::testing::TestParamInfo<RepeatCase>& info) { return std::string(info.param.name); });

}  // namespace
