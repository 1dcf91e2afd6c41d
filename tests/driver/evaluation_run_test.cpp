// The options of the evaluation build ("/v", "/w", "/$") and its series of
// pictures on one plot; in the delivered program they do nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/settings.h"
#include "resultfile/model.h"
#include "resultfile/separate.h"
#include "resultfile/writer.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class EvaluationRun : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.dat"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
    }
    // The example with its wind scaled by `factor` (and, with `wider`, one
    // column more; with `shift`, its grid moved east by that many metres) as a second run.
    void write_second_run(const std::string& name, float factor, bool wider = false, float shift = 0.0f) {
        std::string mname;
        CapturedConsole quiet;
        resultfile::ResultFileImage r = resultfile::read_result_separately(dir.file("run1.ERG"), false, mname);
        for (auto* f : {&r.U, &r.V, &r.W})
            for (float& v : *f) v *= factor;
        if (wider) {
            r.NX += 1;
            r.U.assign(static_cast<std::size_t>(r.NX + 1) * r.NY * r.NZ, 1.0f);
            r.V.assign(static_cast<std::size_t>(r.NX) * (r.NY + 1) * r.NZ, 0.0f);
            r.W.assign(static_cast<std::size_t>(r.NX) * r.NY * (r.NZ + 1), 0.0f);
        }
        r.XMIN += shift;
        resultfile::write_result_file(dir.file(name), r);
        resultfile::reset_model();
    }
    ScratchDir dir;
};

}  // namespace

#if MURAL_TRZ

TEST_F(EvaluationRun, DeliveredProgramIgnoresTheEvaluationOptions) {
    RunResult r = run_mural(dir.path(), {"run1", "/l:RO", "/v", "/w", "/$"}, "V\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* prompt : {" Vergleichsdatei: ", " Schnitt bei I=", " Multi_datei: "})
        EXPECT_FALSE(contains(r.out, prompt)) << prompt;
    EXPECT_EQ(count(r.out, " - PLVEKT -"), 1);
}

#else

TEST_F(EvaluationRun, DifferencePicturesShowTheMainRunMinusTheComparisonRun) {
    write_second_run("half.ERG", 0.5f);
    write_second_run("wide.ERG", 1.0f, true);
    write_second_run("east.ERG", 1.0f, false, 300.0f);
    // A grid that does not match, also one of another site, stops before any
    // plot, naming both files; a name without extension is a result file.
    for (const char* other : {"/v=wide.ERG", "/v=east"}) {
        RunResult r = run_mural(dir.path(), {"run1", "/l:RO", other}, "XI\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.err, std::string("Gitter der Vergleichsdatei ") + (other + 3) +
                                        (other[4] == 'a' ? ".ERG" : "") + " passt nicht zu run1.ERG"))
            << r.err;
    }
    RunResult r;

    // Half the wind subtracted leaves half the speed: the largest horizontal
    // speed of level 3 (4.5539 m/s in the main run) halves.
    r = run_mural(dir.path(), {"run1", "/l:RO", "/v=half"}, "XI\nK03\n\n0.5\n0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "   Min/Max:            0        2.277")) << r.out;
    EXPECT_TRUE(contains(r.out, "Differenz der Horizontalgeschwindigkeit [m/s]"));
    // The example's raster classes cover the difference pictures of the
    // README, in level and vertical sections.
    fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / "MURAL.RAS", dir.path() / "MURAL.RAS");
    for (const auto& [answers, classes] : {std::pair{"X\nK03\n0\n", " - GERADA - MURAL.RAS X"},
                                           std::pair{"C\nK03\n0\n", " - GERADA - MURAL.RAS C"},
                                           std::pair{"C\nJ25\n\n\n\n0\n", " - GERADA - MURAL.RAS C:V"}}) {
        r = run_mural(dir.path(), {"run1", "/l:RO", "/v=half.ERG"}, answers);
        ASSERT_EQ(r.status, 0) << answers << r.err;
        EXPECT_TRUE(contains(r.out, classes)) << r.out;
        EXPECT_TRUE(contains(r.out, " -- Farbrasterdarstellung mit  9 Farben") ||
                    contains(r.out, " -- Farbrasterdarstellung mit  6 Farben"))
            << r.out;
        EXPECT_FALSE(contains(r.out, "FFPATR-W-") || contains(r.out, "GERADA-W-")) << answers << r.out;
    }
    // The same run as comparison: no difference, so no arrow at all.
    r = run_mural(dir.path(), {"run1", "/l:RO", "/v=run1.ERG"}, "Y\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " - PLVEKT -"));
}

// Further pictures of the same kind stand above each other on one plot
// until the section prompt is ended or the page is full; all drawn stay.
TEST_F(EvaluationRun, PicturesFollowEachOtherOnOnePlot) {
    // Pictures of 60 mm: three fit above each other, 25 mm apart.
    dir.write("MURAL.INI", "ax=72\nay=60\n");
    const std::string picture = "\n\n2\n\n";
    RunResult r = run_mural(dir.path(), {"run1", "/l:RO"}, "V\nK03" + picture + "K05" + picture + "K00\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " - PLVEKT -"), 2);
    EXPECT_TRUE(contains(r.out, " ## Lage des Nullpunkts=    20.0 mm   105.0 mm")) << r.out;
    r = run_mural(dir.path(), {"run1", "/l:RO"}, "V\nK03" + picture + "K05" + picture + "K07" + picture + "K09" + picture);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " - PLVEKT -"), 3);
    EXPECT_TRUE(contains(r.out, " MURAL-W-Zeichnung in y-Richtung zu groß! Keine weiteren Bilder auf dieser Seite"))
        << r.out;
    const std::string three = read_file(dir.file("MURAL.PLT"));
    // Answers that end after a picture end the series the same way.
    r = run_mural(dir.path(), {"run1", "/l:RO"}, "V\nK03" + picture + "K05" + picture + "K07" + picture);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Ende der Eingabe: keine weiteren Bilder"));
    EXPECT_EQ(read_file(dir.file("MURAL.PLT")), three);
}

// "/w" evaluates the flux through a wall instead of a picture and ends the
// run; "/$" writes the mean of the listed runs before the picture.
TEST_F(EvaluationRun, FluxAndSuperpositionFromTheCommandLine) {
    RunResult r = run_mural(dir.path(), {"run1", "/w"}, "30\n5,40\n1,10\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Gesamtfluss in m3/s:")) << r.out;
    EXPECT_TRUE(contains(read_file(dir.file("FLX.LOG")), " Datei: run1.ERG"));
    EXPECT_TRUE(read_file(dir.file("MURAL.PLT")).ends_with("SP0PG;"));
    EXPECT_FALSE(contains(r.out, " =============> "));

    dir.write("liste.lst", "Mittel\n1 run1.ERG 3.0\n2 run1.ERG 1.0\nmittel.ERG\n");
    r = run_mural(dir.path(), {"run1", "/$=liste.lst", "/l:RO"}, "v\n\n\nV\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string mname;
    CapturedConsole quiet;
    const resultfile::ResultFileImage mean = resultfile::read_result_separately(dir.file("mittel.ERG"), false, mname);
    const resultfile::ResultFileImage run = resultfile::read_result_separately(dir.file("run1.ERG"), false, mname);
    ASSERT_EQ(mean.U.size(), run.U.size());
    EXPECT_NEAR(mean.U[1234], run.U[1234], 1e-5f);  // the mean of a run with itself is the run
    EXPECT_EQ(count(r.out, " - PLVEKT -"), 1);
    // A plot named like the mean just written would replace it.
    const std::string written = read_file(dir.file("mittel.ERG"));
    r = run_mural(dir.path(), {"run1", "/$=liste.lst", "/l:RO", "/p=MITTEL.erg"}, "v\n\n\nV\nK03\n\n2\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Plotdatei MITTEL.erg ist die soeben geschriebene Überlagerung mittel.ERG")) << r.err;
    EXPECT_EQ(read_file(dir.file("mittel.ERG")), written);
    // The written run is plotted like any other.
    r = run_mural(dir.path(), {"mittel", "/l:RO", "/p=mittel.plt"}, "V\nK03\n\n2\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Ergebnisse vom Modell QEM")) << r.out;
    EXPECT_TRUE(read_file(dir.file("mittel.plt")).ends_with("SP0PG;"));
}

// An append that fails half-way (here at the file-size limit, 300 bytes
// into the block) leaves the log as it was, and no plot of the run.
TEST_F(EvaluationRun, FluxLogIsWholeOrUntouched) {
    const std::string old = std::string(200 * 1024 - 300, 'x') + "\n";
    dir.write("FLX.LOG", old);
    dir.write("MURAL.PLT", "alter Plot");
    RunResult r = run_mural(dir.path(), {"run1", "/w"}, "30\n5,40\n1,10\n", {}, "ulimit -f 200");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "EVAFLX-F-FLX.LOG kann nicht geschrieben werden: Größengrenze für Dateien überschritten"))
        << r.err;
    EXPECT_TRUE(read_file(dir.file("FLX.LOG")) == old);
    EXPECT_EQ(read_file(dir.file("MURAL.PLT")), "alter Plot");
    // With room the block follows whole.
    r = run_mural(dir.path(), {"run1", "/w"}, "30\n5,40\n1,10\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_file(dir.file("FLX.LOG")).starts_with(old + " Datei: run1.ERG"));
}

#endif
