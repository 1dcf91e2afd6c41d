#include "evaluation/flux.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "plot_fixture.h"
#include "platform/freeformat.h"
#include "resultfile/model.h"

namespace {

namespace fs = std::filesystem;
using testing_support::count;
using testing_support::fatal_message;
using testing_support::read_file;

// A grid of 4 x 10 x 3 cells of 10 m x 5 m; layers of 3, 3 and 4 m. The tests
// run in the scratch directory, where the log is written.
class FluxTest : public testing_support::PlotTest {
protected:
    void SetUp() override {
        PlotTest::SetUp();
        resultfile::reset_model();
        resultfile::Grid& g = resultfile::grid();
        g.NX = 4, g.NY = 10, g.NZ = 3, g.DX = 10.0f, g.DY = 5.0f;
        g.XL.resize(4), g.XU.resize(5), g.YV.resize(11), g.ZW.resize(4), g.ZL.resize(3), g.DZK.resize(3);
        for (int i = 1; i <= 5; ++i) g.XU(i) = 10.0f * static_cast<float>(i - 1);
        for (int i = 1; i <= 4; ++i) g.XL(i) = 10.0f * static_cast<float>(i) - 5.0f;
        for (int j = 1; j <= 11; ++j) g.YV(j) = 5.0f * static_cast<float>(j - 1);
        const float dz[] = {3.0f, 3.0f, 4.0f};
        for (int k = 1; k <= 3; ++k) {
            g.DZK(k) = dz[k - 1];
            g.ZW(k + 1) = g.ZW(k) + dz[k - 1];
            g.ZL(k) = g.ZW(k) + 0.5f * dz[k - 1];
        }
        U.resize(5, 10, 3, 2.0f);
        previous_ = fs::current_path();
        fs::current_path(dir.path());
    }
    void TearDown() override {
        fs::current_path(previous_);
        resultfile::reset_model();
        PlotTest::TearDown();
    }
    void run(const std::string& answers, const char* file = "run1.ERG") {
        answer(answers);
        evaluation::EVAFLX(U, file, plot_file);
    }
    std::string log() const { return read_file(dir.file("FLX.LOG")); }

    platform::Field3D<float> U;
    fs::path previous_;
};

TEST_F(FluxTest, WallOutsideTheGridOrRangesTheWrongWayRoundStop) {
    const struct {
        const char* answers;
        const char* message;
    } cases[] = {
        {"0\n", "Index nicht im Feld"},
        {"5\n", "Index nicht im Feld"},
        {"2\n3,3\n", "Angaben von - bis falsch"},
        {"2\n7,4\n", "Angaben von - bis falsch"},
        {"2\n0,5\n", "Index nicht im Feld"},
        {"2\n1,11\n", "Index nicht im Feld"},
        {"2\n1,10\n2,2\n", "Angaben von - bis falsch"},
        {"2\n1,10\n0,2\n", "Index nicht im Feld"},
        {"2\n1,10\n2,4\n", "Index nicht im Feld"},
        {"-3\n", "Index nicht im Feld"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        EXPECT_EQ(fatal_message([&] { run(c.answers); }), c.message);
        EXPECT_FALSE(fs::exists(dir.file("FLX.LOG")));
    }
}

TEST_F(FluxTest, WindFieldThatDoesNotFitTheGridStops) {
    U.resize(4, 10, 3, 2.0f);
    EXPECT_NE(fatal_message([&] { run("2\n1,10\n1,2\n"); }).find("EVAFLX-F-"), std::string::npos);
}

TEST_F(FluxTest, WindThatIsNoNumberStopsBeforeThePlot) {
    U(3, 4, 2) = std::numeric_limits<float>::quiet_NaN();
    EXPECT_NE(fatal_message([&] { run("2\n1,10\n1,2\n"); }).find("EVAFLX-F-Fluss nicht berechenbar"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("FLX.LOG")));
}

TEST_F(FluxTest, UnreadableAnswersAreAskedAgainAndEndOfInputStops) {
    run("zwei\n2\n1\n1,10\n\n1 2\n");
    EXPECT_EQ(count(out(), " Schnitt bei I="), 2);
    EXPECT_EQ(count(out(), " Ausschnitt Jvon,Jbis: "), 2);
    EXPECT_EQ(count(out(), " Ausschnitt Kvon,Kbis: "), 2);
    EXPECT_NE(out().find(" Gesamtfluss in m3/s: 600.0"), std::string::npos);
    EXPECT_NE(fatal_message([&] { run("2\n1,10\n"); }).find("Kvon,Kbis"), std::string::npos);
}

TEST_F(FluxTest, UniformWindThroughTenRowsAndTwoLayers) {
    run("2\n1,10\n1,2\n");
    // Per layer 10 rows x 5 m x 3 m x 2 m/s; listed from the top down.
    const std::string o = out();
    const auto top = o.find("    2  4.5  300.0  20.0\n"), bottom = o.find("    1  1.5  300.0  20.0\n");
    ASSERT_NE(top, std::string::npos);
    ASSERT_NE(bottom, std::string::npos);
    EXPECT_LT(top, bottom);
    EXPECT_NE(o.find(" Gesamtfluss in m3/s: 600.0\n"), std::string::npos);
    EXPECT_EQ(o.find("existiert"), std::string::npos);
    EXPECT_EQ(log(),
              " Datei: run1.ERG\n\n"
              " Wand bei x=  15.0 m  (   0.0m < y <   50.0m)\t( 0.0m < z <  6.0m)\n"
              " k=  1   1.5  0.3000E+03  0.2000E+02\n"
              " k=  2   4.5  0.3000E+03  0.2000E+02\n"
              "\n Gesamtfluss in m\xB3/s: 0.60000000E+03\n");
    const std::string plot = read_file(plot_file);
    EXPECT_EQ(plot.substr(plot.size() - 6), "SP0PG;");
}

TEST_F(FluxTest, SecondEvaluationAppendsFlowTowardsMinusX) {
    run("2\n1,10\n1,2\n");
    const std::string first = log();
    // U = -i: the mean of the faces 3 and 4 is -3.5 m/s; two rows of 5 m.
    for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 10; ++j)
            for (int k = 1; k <= 3; ++k) U(i, j, k) = -static_cast<float>(i);
    run("3\n3,4\n2,3\n", "run2.ERG");
    EXPECT_NE(out().find(" FLX.LOG existiert - Ergebnisse werden angeh\xC3\xA4ngt\n"), std::string::npos);
    EXPECT_EQ(log(), first +
                         " Datei: run2.ERG\n\n"
                         " Wand bei x=  25.0 m  (  10.0m < y <   20.0m)\t( 3.0m < z < 10.0m)\n"
                         " k=  2   4.5 -0.1050E+03  0.7000E+01\n"
                         " k=  3   8.0 -0.1400E+03  0.7000E+01\n"
                         "\n Gesamtfluss in m\xB3/s:-0.24500000E+03\n");
}

TEST_F(FluxTest, LogThatIsNoRegularFileIsLeftAlone) {
    fs::create_directory(dir.file("FLX.LOG"));
    EXPECT_NE(fatal_message([&] { run("2\n1,10\n1,2\n"); }).find("EVAFLX-F-FLX.LOG"), std::string::npos);
    fs::remove(dir.file("FLX.LOG"));
    dir.write("elsewhere", "alt\n");
    fs::create_symlink(dir.file("elsewhere"), dir.file("FLX.LOG"));
    EXPECT_NE(fatal_message([&] { run("2\n1,10\n1,2\n"); }).find("EVAFLX-F-FLX.LOG"), std::string::npos);
    EXPECT_EQ(read_file(dir.file("elsewhere")), "alt\n");
}

TEST(FluxAxis, ReachesAWholeHundredBeyondTheFluxesOnEitherSideOfZero) {
    const struct {
        std::vector<float> flux;
        float from, to;
    } cases[] = {
        // A whole hundred is not beyond: the curve would run along the frame.
        {{300.0f, 300.0f}, 0.0f, 400.0f},    {{-105.0f, -140.0f}, -200.0f, 0.0f},
        {{-50.0f, 250.5f}, -100.0f, 300.0f},  {{-100.0f, 100.0f}, -200.0f, 200.0f},
        {{-300.0f, -200.0f}, -400.0f, 0.0f},
        {{0.0f, 0.0f}, 0.0f, 100.0f},         {{0.5f}, 0.0f, 100.0f},
        {{-0.5f}, -100.0f, 0.0f},             {{12345.0f, 7.0f}, 0.0f, 12400.0f},
        {{}, 0.0f, 100.0f},
    };
    for (const auto& c : cases) {
        const evaluation::FluxAxis a = evaluation::flux_axis_range(c.flux);
        EXPECT_EQ(a.from, c.from);
        EXPECT_EQ(a.to, c.to);
    }
}

TEST(ExponentForm, WritesTheMantissaBelowOneAndATwoDigitExponent) {
    const struct {
        double value;
        int w, d;
        const char* text;
    } cases[] = {
        {600.0, 15, 8, " 0.60000000E+03"}, {300.0, 12, 4, "  0.3000E+03"},  {0.0, 12, 4, "  0.0000E+00"},
        {-105.0, 12, 4, " -0.1050E+03"},   {9.99996, 12, 4, "  0.1000E+02"}, {0.000123456, 12, 4, "  0.1235E-03"},
        {1.5e-30, 12, 4, "  0.1500E-29"},  {-105.0, 8, 4, "-0.1050E+03"},   {1.0e100, 12, 4, " 0.1000E+101"},
        {0.5, 6, 1, "0.5E+00"},           {std::nan(""), 12, 4, "         NaN"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::exponent_form(c.value, c.w, c.d), c.text) << c.value;
}

}  // namespace
