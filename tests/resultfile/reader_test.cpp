#include <gtest/gtest.h>

#include "result_image.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

class ResultReader : public ::testing::Test {
protected:
    void SetUp() override { rf::reset_model(); }
    void TearDown() override { rf::reset_model(); }

    std::string make(const ResultSpec& spec, const std::string& name = "run1.ERG") {
        dir.write(name, result_bytes(spec));
        return dir.file(name);
    }

    ScratchDir dir;
};

TEST_F(ResultReader, RefusesMissingUnknownAndLowerCaseFiles) {
    CapturedConsole con;
    EXPECT_NE(fatal_message([&] { read_result_file(dir.file("fehlt.ERG")); }).find("Ergebnisdatei existiert nicht!"),
              std::string::npos);

    ResultSpec spec;
    spec.family = "qem";
    std::string file = make(spec);
    EXPECT_EQ(fatal_message([&] { read_result_file(file); }), "GET_HEAD-F-Ergebnisdatei nicht auswertbar!");

    dir.write("kurz.ERG", std::string(20, 'x'));
    std::string msg = fatal_message([&] { read_result_file(dir.file("kurz.ERG")); });
    EXPECT_NE(msg.find("GET_HEAD-F-"), std::string::npos);
    EXPECT_NE(msg.find("kurz.ERG"), std::string::npos);
}

TEST_F(ResultReader, EnforcesTheOrderOfTheBlocks) {
    CapturedConsole con;
    int nx, ny, nz, kg;
    EXPECT_EQ(fatal_message([&] { rf::GET_DIM(nx, ny, nz, kg); }), "GQEM_DIM-F-GQEM_HED muss zuerst aufgerufen werden");
    EXPECT_EQ(fatal_message([] { rf::GET_GRID(); }), "GQEM_GRD-F-GQEM-HED, GQEM_DIM müssen zuerst aufgerufen werden");
    EXPECT_EQ(fatal_message([] { rf::GET_ANS(); }),
              "GQEM_ANS-F-GQEM_HED, GQEM_DIM, GQEM_GRD\n  müssen zuerst aufgerufen werden");
    float f[64];
    EXPECT_EQ(fatal_message([&] { rf::GET_UVW(f, 1, 1, 1); }), "GQEM_UVW-F-Aufrufreihenfolge GQEM_... beachten!  0");

    std::string file = make(ResultSpec());
    std::string mname;
    rf::GET_HEAD(file, false, mname);
    EXPECT_NE(fatal_message([] { rf::GET_GRID(); }).find("GQEM_GRD-F-"), std::string::npos);
}

TEST_F(ResultReader, AFourthWindComponentIsOutOfOrder) {
    CapturedConsole con;
    read_result_file(make(ResultSpec()));
    EXPECT_EQ(rf::reader_state().LEVEL_S, 0);
    std::vector<float> f(100);
    EXPECT_EQ(fatal_message([&] { rf::GET_UVW(f, 4, 2, 2); }), "GQEM_UVW-F-Aufrufreihenfolge GQEM_... beachten!  0");
}

TEST_F(ResultReader, ReadsCurrentQemFileWithGridAndInflow) {
    CapturedConsole con;
    read_result_file(make(ResultSpec()));
    const rf::Grid& g = rf::grid();
    const rf::ReaderState& rs = rf::reader_state();
    EXPECT_EQ(rs.MODELL, rf::kQEM);
    EXPECT_EQ(rs.MNAME, "QEM             ");
    EXPECT_EQ(rs.TITEL.substr(0, 12), "QEM Testlauf");
    EXPECT_EQ(rs.TITEL.size(), 80u);
    EXPECT_EQ(rs.IGBFILE, "C:\\RUN\\HAUS.DAT");
    EXPECT_EQ(rs.UVWDAT, "uvw.dat");
    EXPECT_EQ(g.NX, 3);
    EXPECT_EQ(g.NZ, 2);
    EXPECT_FLOAT_EQ(g.XMAX, 130.0f);
    EXPECT_FLOAT_EQ(g.YMAX, 210.0f);
    ASSERT_EQ(g.XU.n(), 4);
    EXPECT_FLOAT_EQ(g.XU(1), 100.0f);
    EXPECT_FLOAT_EQ(g.XU(4), 130.0f);
    EXPECT_FLOAT_EQ(g.YV(3), 210.0f);
    EXPECT_FLOAT_EQ(g.ZW(3), 5.0f);
    EXPECT_FLOAT_EQ(g.XL(1), 105.0f);
    EXPECT_FLOAT_EQ(g.YL(2), 207.5f);
    EXPECT_FLOAT_EQ(g.ZL(2), 3.5f);
    EXPECT_FLOAT_EQ(g.DXI(3), 10.0f);
    EXPECT_FLOAT_EQ(g.DYJ(1), 5.0f);

    const rf::WindData& w = rf::wind_data();
    EXPECT_FLOAT_EQ(w.WNord, 90.0f);
    EXPECT_FLOAT_EQ(w.DD, 270.0f);
    EXPECT_FLOAT_EQ(w.WEXP, 0.25f);
    EXPECT_FLOAT_EQ(w.Z0, 0.125f);
    EXPECT_FLOAT_EQ(w.U0(2), 3.0f);
    EXPECT_FLOAT_EQ(w.V0(2), -1.0f);
    EXPECT_FLOAT_EQ(w.ALPHA, 1.5f);
    EXPECT_TRUE(w.TOPZU);

    const rf::ModelFields& m = rf::model_fields();
    EXPECT_FLOAT_EQ(m.U(4, 2, 2), wind_value(1, 4, 2, 2));
    EXPECT_FLOAT_EQ(m.V(3, 3, 1), wind_value(2, 3, 3, 1));
    EXPECT_FLOAT_EQ(m.W(1, 2, 3), wind_value(3, 1, 2, 3));
    EXPECT_FLOAT_EQ(m.W(3, 2, 3), wind_value(3, 3, 2, 3));

    const std::string out = con.out();
    for (const char* text : {" - GET_HEAD - ", "   Ergebnisse vom Modell QEM", " - GQEM_HED - ",
                             " GQEM_HED-Daten aus dem Programmlauf: QEM 4.1 Testmodell", " Titel=QEM Testlauf\n",
                             "Xmin,Xmax,Ymin,Ymax:", "NX,NY,DX,DY:", " Anströmung:", " Profilexponent WEXP=",
                             " Winkel zw. Nord und x-Achse", " oberer Modellrand geschlossen", " U-Feld eingelesen",
                             " V-Feld eingelesen", " W-Feld eingelesen"})
        EXPECT_NE(out.find(text), std::string::npos) << text;
    EXPECT_EQ(out.find(" Weitermachen"), std::string::npos);
    // The file names are only shown in debug mode.
    EXPECT_EQ(out.find(" Hindernisse: "), std::string::npos);
}

TEST_F(ResultReader, PrintsTheInflowValuesInOneColumn) {
    CapturedConsole con;
    read_result_file(make(ResultSpec()));
    std::istringstream lines(con.out());
    std::string line;
    std::vector<std::size_t> ends;
    while (std::getline(lines, line)) {
        if (line.find("DD=") != std::string::npos) {
            EXPECT_NE(line.find("270.0"), std::string::npos);
        }
        if (line.find("d0=") != std::string::npos) {
            EXPECT_NE(line.find("0.50"), std::string::npos);
        }
        if (line.find("z0=") != std::string::npos) {
            EXPECT_NE(line.find("0.12"), std::string::npos);
        }
        if (line.find("U und V am oberen Rand") != std::string::npos) {
            EXPECT_NE(line.find("3.0"), std::string::npos);
            EXPECT_NE(line.find("-1.0"), std::string::npos);
        }
        for (const char* label : {"DD=", "FF=", "WEXP=", "ZA=", "d0=", "z0=", "x-Achse"})
            if (line.find(label) != std::string::npos) {
                // The end of the value, counted in characters, not bytes.
                std::size_t n = 0;
                for (char c : line)
                    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
                ends.push_back(n);
            }
    }
    ASSERT_EQ(ends.size(), 7u);
    for (std::size_t e : ends) EXPECT_EQ(e, ends.front());
}

TEST_F(ResultReader, DebugModeShowsTheNamesOfTheRun) {
    CapturedConsole con;
    std::string file = make(ResultSpec());
    std::string mname;
    rf::GET_HEAD(file, true, mname);
    const std::string out = con.out();
    EXPECT_NE(out.find(" Hindernisse: C:\\RUN\\HAUS.DAT\n"), std::string::npos);
    EXPECT_NE(out.find(" Steuerdatei: steuer.inp\n"), std::string::npos);
    EXPECT_NE(out.find(" Orographie : oro.dat\n"), std::string::npos);
    EXPECT_NE(out.find(" Landnutzung: land.dat\n"), std::string::npos);
}

TEST_F(ResultReader, TrzFamilyHasShorterHeaderAndInflow) {
    CapturedConsole con;
    ResultSpec spec;
    spec.family = "TRZ";
    const std::string bytes = result_bytes(spec);
    ResultSpec qem;
    // Two fewer names of 128 bytes and no WEXP.
    EXPECT_EQ(result_bytes(qem).size() - bytes.size(), 3u * 128u + 4u);
    read_result_file(make(spec));
    EXPECT_EQ(rf::reader_state().MODELL, rf::kTRZ);
    EXPECT_EQ(rf::reader_state().TITEL.substr(0, 12), "TRZ Testlauf");
    EXPECT_FLOAT_EQ(rf::wind_data().Z0, 0.125f);
    EXPECT_FLOAT_EQ(rf::model_fields().W(3, 2, 3), wind_value(3, 3, 2, 3));
    const std::string out = con.out();
    EXPECT_NE(out.find(" - GTRZ_HED - "), std::string::npos);
    EXPECT_NE(out.find("   GTRZ_HED-Daten aus dem Programmlauf: "), std::string::npos);
    EXPECT_EQ(out.find("WEXP"), std::string::npos);
}

struct VersionCase {
    const char* family;
    float version;
    bool asks;
    int LF;
    bool has_corner;
};

class ResultVersions : public ResultReader, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(ResultVersions, ReadsEveryFormatVersion) {
    const VersionCase& c = GetParam();
    CapturedConsole con(c.asks ? "j\n" : "");
    ResultSpec spec;
    spec.family = c.family;
    spec.version = c.version;
    read_result_file(make(spec));
    EXPECT_EQ(rf::reader_state().LF, c.LF);
    EXPECT_EQ(rf::reader_state().IGBFILE, "C:\\RUN\\HAUS.DAT");
    EXPECT_FLOAT_EQ(rf::grid().XMIN, c.has_corner ? 100.0f : 0.0f);
    EXPECT_FLOAT_EQ(rf::grid().XU(4), c.has_corner ? 130.0f : 30.0f);
    EXPECT_FLOAT_EQ(rf::grid().YL(1), c.has_corner ? 202.5f : 2.5f);
    EXPECT_FLOAT_EQ(rf::grid().DZK(2), 3.0f);
    EXPECT_FLOAT_EQ(rf::model_fields().U(1, 1, 1), wind_value(1, 1, 1, 1));
    EXPECT_FLOAT_EQ(rf::model_fields().W(3, 2, 3), wind_value(3, 3, 2, 3));
    const std::string out = con.out();
    EXPECT_EQ(out.find(" Weitermachen ? (N,j): ") != std::string::npos, c.asks);
    if (c.asks) {
        EXPECT_NE(out.find("-geändertes Dateiformat - akt.Version 2.10\tDateiversion"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, ResultVersions,
    ::testing::Values(VersionCase{"QEM", 2.1f, false, 128, true}, VersionCase{"TRZ", 2.1f, false, 128, true},
                      // stored as 2.0999999 or 2.1009: within the tolerance, no question
                      VersionCase{"QEM", 2.0999999f, false, 128, true}, VersionCase{"QEM", 2.1009f, false, 128, true},
                      VersionCase{"QEM", 2.102f, true, 128, true}, VersionCase{"QEM", 2.0f, true, 32, true},
                      VersionCase{"TRZ", 2.0f, true, 32, true}, VersionCase{"QEM", 1.7f, true, 32, false},
                      VersionCase{"TRZ", 1.7f, true, 32, false}, VersionCase{"QEM", 1.6f, true, 32, false},
                      VersionCase{"TRZ", 1.6f, true, 32, false}));

TEST_F(ResultReader, RefusedOrUnansweredVersionQuestionStopsQuietly) {
    ResultSpec spec;
    spec.version = 2.0f;
    std::string file = make(spec);
    for (const char* answer : {"N\n", "n\n", "x\n", "\n", ""}) {
        rf::reset_model();
        CapturedConsole con(answer);
        try {
            read_result_file(file);
            ADD_FAILURE() << "the run went on after the answer '" << answer << "'";
        } catch (const platform::Fatal& stop) {
            EXPECT_TRUE(stop.quiet()) << stop.what();
        }
        EXPECT_EQ(rf::reader_state().LEVEL_S, 0);
    }
    rf::reset_model();
    CapturedConsole con("J\n");
    read_result_file(file);
    EXPECT_FLOAT_EQ(rf::reader_state().SVERS, 2.0f);
}

TEST_F(ResultReader, NameLengthFollowsEachFilesOwnVersion) {
    // An old file first, then a current one: the current one reads 128-character names.
    ResultSpec old;
    old.version = 1.7f;
    ResultSpec current;
    std::string f1 = make(old, "alt.ERG");
    std::string f2 = make(current, "neu.ERG");
    CapturedConsole con("j\n");
    read_result_file(f1);
    EXPECT_EQ(rf::reader_state().LF, 32);
    read_result_file(f2);
    EXPECT_EQ(rf::reader_state().LF, 128);
    EXPECT_EQ(rf::reader_state().UVWDAT, "uvw.dat");
    EXPECT_FLOAT_EQ(rf::grid().XMIN, 100.0f);
}

TEST_F(ResultReader, OneLayerGrid) {
    CapturedConsole con;
    ResultSpec spec;
    spec.NZ = 1;
    spec.DZK = {4.0f};
    read_result_file(make(spec));
    const rf::Grid& g = rf::grid();
    ASSERT_EQ(g.ZW.n(), 2);
    EXPECT_FLOAT_EQ(g.ZW(1), 0.0f);
    EXPECT_FLOAT_EQ(g.ZW(2), 4.0f);
    ASSERT_EQ(g.ZL.n(), 1);
    EXPECT_FLOAT_EQ(g.ZL(1), 2.0f);
}

TEST_F(ResultReader, FindsTheResultFileWithoutRegardToCase) {
    CapturedConsole con;
    make(ResultSpec(), "run1.erg");
    read_result_file(dir.file("run1.ERG"));
    EXPECT_EQ(rf::grid().NX, 3);
}

}  // namespace
