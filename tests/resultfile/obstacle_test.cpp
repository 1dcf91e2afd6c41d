#include <gtest/gtest.h>

#include "result_image.h"
#include "resultfile/obstacles.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

class ObstacleReader : public ::testing::Test {
protected:
    void SetUp() override { rf::reset_model(); }
    void TearDown() override { rf::reset_model(); }

    // The result file names 'C:\RUN\HAUS.DAT'; its obstacle file lies beside it.
    void read_run(const ObstacleSpec& spec, const std::string& answers = "") {
        ResultSpec r;
        r.family = spec.family;
        dir.write("run1.ERG", result_bytes(r));
        dir.write("haus.IGB", obstacle_bytes(spec));
        CapturedConsole con(answers);
        read_result_file(dir.file("run1.ERG"));
        rf::GET_HAUS();
        out = con.out();
    }

    ScratchDir dir;
    std::string out;
};

TEST(ObstacleFileName, CutsAtTheFirstPointOfTheFileNamePart) {
    EXPECT_EQ(rf::obstacle_file_name("c:\\run\\haus.dat"), "c:\\run\\haus.IGB");
    EXPECT_EQ(rf::obstacle_file_name("..\\run\\haus"), "..\\run\\haus.IGB");
    EXPECT_EQ(rf::obstacle_file_name("haus.v2.dat"), "haus.IGB");
    EXPECT_EQ(rf::obstacle_file_name("runs.v2/haus"), "runs.v2/haus.IGB");
}

TEST_F(ObstacleReader, RefusesMissingNamesAndFiles) {
    CapturedConsole con;
    int nb, no, np;
    EXPECT_EQ(fatal_message([&] { rf::GQEM_IGB("   ", false, nb, no, np); }), "GQEM_IGB-F-keine Hindernisdatei .IGB.");
    std::string msg = fatal_message([&] { rf::GQEM_IGB(dir.file("fehlt.dat"), false, nb, no, np); });
    EXPECT_NE(msg.find("GQEM_IGB-F-Hindernisdatei "), std::string::npos) << msg;
    EXPECT_NE(msg.find("fehlt.IGB"), std::string::npos) << msg;
    msg = fatal_message([&] { rf::GTRZ_IGB(dir.file("fehlt.dat"), false, nb, no, np); });
    EXPECT_NE(msg.find(" MURAL-F-Datei "), std::string::npos) << msg;
    EXPECT_NE(msg.find("Unterprogramm GTRZ_IGB"), std::string::npos) << msg;
}

TEST_F(ObstacleReader, EveryTruncationPointIsAFatalErrorNamingTheFile) {
    const std::string full = obstacle_bytes(ObstacleSpec());
    ResultSpec r;
    dir.write("run1.ERG", result_bytes(r));
    for (std::size_t n = 0; n < full.size(); ++n) {
        rf::reset_model();
        dir.write("haus.IGB", full.substr(0, n));
        CapturedConsole con;
        read_result_file(dir.file("run1.ERG"));
        std::string msg = fatal_message([] { rf::GET_HAUS(); });
        ASSERT_NE(msg.find("-F-"), std::string::npos) << n;
        ASSERT_NE(msg.find("haus.IGB"), std::string::npos) << msg;
    }
}

TEST_F(ObstacleReader, CountsThatClaimMoreThanTheFileHoldsAreRefused) {
    ObstacleSpec spec;
    std::string bytes = obstacle_bytes(spec);
    const std::size_t counts = 4 + 32 + 80 + 5 * 128 + 12 + 16 + 8;
    ResultSpec r;
    dir.write("run1.ERG", result_bytes(r));
    for (std::int32_t bad : {4, 2000000000, -1}) {
        rf::reset_model();
        dir.write("haus.IGB", std::string(bytes).replace(counts, 4, Bytes().i32(bad).str()));
        CapturedConsole con;
        read_result_file(dir.file("run1.ERG"));
        std::string msg = fatal_message([] { rf::GET_HAUS(); });
        EXPECT_NE(msg.find("GQEM_IGB-F-Datei "), std::string::npos) << msg;
        EXPECT_EQ(rf::obstacles().IGA.n(), 0);
    }
}

TEST_F(ObstacleReader, AnObstacleFileOfAnotherGridIsRefused) {
    ObstacleSpec other;
    other.NX = 4;
    std::string msg = fatal_message([&] { read_run(other); });
    EXPECT_NE(msg.find("GQEM_IGB-F-Hindernisdatei "), std::string::npos) << msg;
    EXPECT_NE(msg.find("passt nicht zur Ergebnisdatei"), std::string::npos) << msg;
    EXPECT_NE(msg.find("run1.ERG"), std::string::npos) << msg;
    rf::reset_model();
    ObstacleSpec layers;
    layers.DZK = {2.0f, 3.5f};
    msg = fatal_message([&] { read_run(layers); });
    EXPECT_NE(msg.find("Gitterweiten DX, DY, DZK"), std::string::npos) << msg;
}

TEST_F(ObstacleReader, BoxesOutsideTheGridAreSkippedWithAWarning) {
    ObstacleSpec spec;
    spec.massive = {{0, 1, 1, 1, 1, 1, 1}, {1, 4, 1, 1, 1, 1, 1}, {2, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 2, 1, 9, 1}};
    spec.porous = {{1, 1, -3, 1, 1, 1, 4}, {1, 1, 1, 1, 3, 3, 4}, {3, 3, 2, 2, 1, 1, 4}};
    read_run(spec);
    const rf::ObstacleList& list = rf::obstacles();
    // Kept: the massive obstacle reaching above the model top, the last tree.
    EXPECT_EQ(list.nb, 1);
    EXPECT_EQ(list.np, 1);
    EXPECT_EQ(list.ngb, 2);
    EXPECT_EQ(list.KGE(1), 9);
    EXPECT_EQ(list.IGA(2), 3);
    for (const char* text : {" GQEM_KGB-W-Hindernis 1 liegt nicht im Gitter", "Hindernis 2 liegt", "Hindernis 3 liegt",
                             "Hindernis 5 liegt", "Hindernis 6 liegt nicht im Gitter und wird übergangen: I 1..1 J 1..1 K 3..3"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    EXPECT_EQ(out.find("Hindernis 4 liegt"), std::string::npos);
}

TEST_F(ObstacleReader, ReadsTheQemObstacleList) {
    read_run(ObstacleSpec());
    const rf::ObstacleList& list = rf::obstacles();
    EXPECT_EQ(list.nb, 3);
    EXPECT_EQ(list.no, 0);
    EXPECT_EQ(list.np, 2);
    EXPECT_EQ(list.ngb, 5);
    ASSERT_EQ(list.HTYP.n(), 5);
    EXPECT_EQ(list.IGE(2), 3);
    EXPECT_EQ(list.JGA(3), 2);
    EXPECT_EQ(list.KGE(5), 3);
    EXPECT_EQ(list.HTYP(4), 4);
    EXPECT_EQ(list.HTYP(5), 14);
    EXPECT_FLOAT_EQ(rf::grid().X0, 500.0f);
    EXPECT_FLOAT_EQ(rf::grid().Y0, 600.0f);
    EXPECT_EQ(list.title, "Titel der Hindernisdatei");
    // The run keeps its own title.
    EXPECT_EQ(rf::reader_state().TITEL.substr(0, 12), "QEM Testlauf");
    for (const char* text : {" - GQEM_IGB - ", "haus.IGB", "   GETIGB-Daten aus dem Programmlauf: QEM Hinderniserzeugung",
                             " IGB-Gitter X:500.0 530.0 Y:600.0 610.0 Z:0.0 5.0", " massive Hindernisse:    3",
                             " orogr. Hindernisse:     0", " poröse Hindernisse:     2", " - GQEM_KGB -    5"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    EXPECT_EQ(out.find("Weitermachen"), std::string::npos);
}

TEST_F(ObstacleReader, TrzFilesHaveNoTitleAndNoOrography) {
    ObstacleSpec spec;
    spec.family = "TRZ";
    spec.version = 2.0f;
    read_run(spec, "J\n");
    const rf::ObstacleList& list = rf::obstacles();
    EXPECT_EQ(list.nb, 3);
    EXPECT_EQ(list.np, 2);
    EXPECT_EQ(list.HTYP(5), 14);
    EXPECT_EQ(rf::reader_state().TITEL.substr(0, 12), "TRZ Testlauf");
    for (const char* text : {" - GTRZ_IGB - ", " GETIGB-falsche Programmversion\nDatei:2.0\tGETIGB:2.1\n",
                             " Weitermachen ? (N,J): ", " Hindernisse: haus.dat", " - GTRZ_KGB -    5"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    EXPECT_EQ(out.find("orogr."), std::string::npos);
}

TEST_F(ObstacleReader, RefusedVersionStopsQuietly) {
    ObstacleSpec spec;
    spec.version = 1.7f;
    try {
        read_run(spec, "n\n");
        ADD_FAILURE() << "the run went on";
    } catch (const platform::Fatal& stop) {
        EXPECT_TRUE(stop.quiet());
    }
}

}  // namespace
